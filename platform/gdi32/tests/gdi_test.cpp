// GDI: images loaded from files (bitmaps, icons, cursors), palettes, the screen's device context.
// The test images are made here, byte by byte, as the file formats lay them out.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<BYTE>;

// A picture: 0x00RRGGBB pixels from the top row down; the palette for 1 to 8 bits per pixel.
struct Picture
{
    LONG width = 0;
    LONG height = 0;
    WORD bpp = 24;
    std::vector<uint32_t> pixels;
    std::vector<uint32_t> palette;
};

void Put16(Bytes &b, unsigned v)
{
    b.push_back(static_cast<BYTE>(v));
    b.push_back(static_cast<BYTE>(v >> 8));
}

void Put32(Bytes &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void PutInfoHeader(Bytes &b, LONG width, LONG height, WORD bpp, DWORD compression, DWORD colors)
{
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(width));
    Put32(b, static_cast<uint32_t>(height));
    Put16(b, 1);
    Put16(b, bpp);
    Put32(b, compression);
    Put32(b, 0);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, colors);
    Put32(b, 0);
}

void PutPalette(Bytes &b, const std::vector<uint32_t> &palette, bool triples = false)
{
    for (uint32_t c : palette)
    {
        b.push_back(static_cast<BYTE>(c));
        b.push_back(static_cast<BYTE>(c >> 8));
        b.push_back(static_cast<BYTE>(c >> 16));
        if (!triples)
            b.push_back(0);
    }
}

// The rows of the picture as a DIB holds them, each padded to four bytes.
Bytes Rows(const Picture &p, bool topDown)
{
    const size_t stride = ((static_cast<size_t>(p.width) * p.bpp + 31) / 32) * 4;
    Bytes out(stride * static_cast<size_t>(p.height), 0);
    for (LONG y = 0; y < p.height; ++y)
    {
        BYTE *row = out.data() + stride * static_cast<size_t>(topDown ? y : p.height - 1 - y);
        for (LONG x = 0; x < p.width; ++x)
        {
            const uint32_t c = p.pixels[static_cast<size_t>(y * p.width + x)];
            if (p.bpp <= 8)
            {
                const auto index = static_cast<unsigned>(std::find(p.palette.begin(), p.palette.end(), c) -
                                                         p.palette.begin());
                const size_t bit = static_cast<size_t>(x) * p.bpp;
                row[bit / 8] |= static_cast<BYTE>(index << (8 - p.bpp - bit % 8));
            }
            else if (p.bpp == 16) // 5-5-5
            {
                const unsigned v = (((c >> 19) & 31) << 10) | (((c >> 11) & 31) << 5) | ((c >> 3) & 31);
                row[2 * x] = static_cast<BYTE>(v);
                row[2 * x + 1] = static_cast<BYTE>(v >> 8);
            }
            else
                for (int i = 0; i < p.bpp / 8; ++i)
                    row[x * (p.bpp / 8) + i] = i < 3 ? static_cast<BYTE>(c >> (8 * i)) : 0;
        }
    }
    return out;
}

// A .bmp file: the file header, then the headers and colour table, then the pixel rows.
Bytes BmpFileOf(const Bytes &headers, const Bytes &rows)
{
    Bytes file;
    Put16(file, 0x4D42);
    Put32(file, static_cast<uint32_t>(14 + headers.size() + rows.size()));
    Put32(file, 0);
    Put32(file, static_cast<uint32_t>(14 + headers.size()));
    file.insert(file.end(), headers.begin(), headers.end());
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

Bytes BmpFile(const Picture &p, bool topDown = false)
{
    Bytes info;
    PutInfoHeader(info, p.width, topDown ? -p.height : p.height, p.bpp, BI_RGB,
                  static_cast<DWORD>(p.palette.size()));
    PutPalette(info, p.palette);
    return BmpFileOf(info, Rows(p, topDown));
}

// An icon or cursor image: the picture with its transparent pixels and, for cursors, the hotspot.
struct IconImage
{
    Picture picture;
    std::vector<bool> transparent;
    WORD hotX = 0;
    WORD hotY = 0;
};

Bytes IconFile(const std::vector<IconImage> &images, WORD type = 1)
{
    std::vector<Bytes> blobs;
    for (const IconImage &image : images)
    {
        const Picture &p = image.picture;
        Bytes blob;
        PutInfoHeader(blob, p.width, p.height * 2, p.bpp, BI_RGB, static_cast<DWORD>(p.palette.size()));
        PutPalette(blob, p.palette);
        const Bytes rows = Rows(p, false);
        blob.insert(blob.end(), rows.begin(), rows.end());
        const size_t maskStride = ((static_cast<size_t>(p.width) + 31) / 32) * 4;
        Bytes mask(maskStride * static_cast<size_t>(p.height), 0);
        for (LONG y = 0; y < p.height; ++y)
            for (LONG x = 0; x < p.width; ++x)
                if (!image.transparent.empty() && image.transparent[static_cast<size_t>(y * p.width + x)])
                    mask[maskStride * static_cast<size_t>(p.height - 1 - y) + static_cast<size_t>(x / 8)] |=
                        static_cast<BYTE>(0x80 >> (x % 8));
        blob.insert(blob.end(), mask.begin(), mask.end());
        blobs.push_back(std::move(blob));
    }
    Bytes file;
    Put16(file, 0);
    Put16(file, type);
    Put16(file, static_cast<unsigned>(images.size()));
    size_t offset = 6 + 16 * images.size();
    for (size_t i = 0; i < images.size(); ++i)
    {
        const Picture &p = images[i].picture;
        file.push_back(static_cast<BYTE>(p.width));
        file.push_back(static_cast<BYTE>(p.height));
        file.push_back(static_cast<BYTE>(p.bpp <= 8 ? p.palette.size() : 0));
        file.push_back(0);
        Put16(file, type == 2 ? images[i].hotX : 1);
        Put16(file, type == 2 ? images[i].hotY : p.bpp);
        Put32(file, static_cast<uint32_t>(blobs[i].size()));
        Put32(file, static_cast<uint32_t>(offset));
        offset += blobs[i].size();
    }
    for (const Bytes &blob : blobs)
        file.insert(file.end(), blob.begin(), blob.end());
    return file;
}

// A file of the temporary folder.
std::string TempPath(const std::string &name)
{
    char folder[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    return std::string(folder, length < MAX_PATH ? length : 0) + name;
}

std::string WriteTemp(const std::string &name, const Bytes &content)
{
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(content.data()), static_cast<std::streamsize>(content.size()));
    return path;
}

// A picture whose every pixel differs from its neighbours, in the colours of a small palette.
Picture Sample(LONG width, LONG height, WORD bpp)
{
    const std::vector<uint32_t> colors = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                          0x0000FF, 0x808000, 0x008080, 0x800080};
    Picture p;
    p.width = width;
    p.height = height;
    p.bpp = bpp;
    const size_t used = bpp == 1 ? 2 : colors.size();
    if (bpp <= 8)
        p.palette.assign(colors.begin(), colors.begin() + static_cast<long>(used));
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x)
        {
            uint32_t c = colors[static_cast<size_t>(x + 3 * y) % used];
            if (bpp == 16) // what 5 bits a component keep, widened back
                c = ((((c >> 19) & 31) * 255 / 31) << 16) | ((((c >> 11) & 31) * 255 / 31) << 8) |
                    (((c >> 3) & 31) * 255 / 31);
            p.pixels.push_back(c);
        }
    return p;
}

// A bitmap's pixels through GetDIBits, top row first, without the alpha byte.
std::vector<uint32_t> PixelsOf(HBITMAP bitmap, LONG width, LONG height, bool keepAlpha = false)
{
    HDC dc = GetDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> out(static_cast<size_t>(width * height) + 1, 0xdeadbeef); // one guard pixel
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), out.data(), &info, DIB_RGB_COLORS), height);
    EXPECT_EQ(out.back(), 0xdeadbeefu);
    out.pop_back();
    ReleaseDC(nullptr, dc);
    if (!keepAlpha)
        for (uint32_t &p : out)
            p &= 0xFFFFFF;
    return out;
}

// Pixels alike to within `tolerance` a component.
::testing::AssertionResult Near(const std::vector<uint32_t> &actual, const std::vector<uint32_t> &expected,
                                int tolerance)
{
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << actual.size() << " pixels, not " << expected.size();
    for (size_t i = 0; i < actual.size(); ++i)
        for (int shift : {0, 8, 16})
        {
            const int a = static_cast<int>((actual[i] >> shift) & 0xFF);
            const int e = static_cast<int>((expected[i] >> shift) & 0xFF);
            if (a < e - tolerance || a > e + tolerance)
                return ::testing::AssertionFailure()
                       << "pixel " << i << ": " << std::hex << actual[i] << " for " << expected[i];
        }
    return ::testing::AssertionSuccess();
}

HANDLE LoadFile(const std::string &path, UINT type, int cx = 0, int cy = 0, UINT flags = 0)
{
    return LoadImageA(nullptr, path.c_str(), type, cx, cy, flags | LR_LOADFROMFILE);
}
} // namespace

// Bitmaps ---------------------------------------------------------------------------------------

namespace
{
// Loads a 5 x 3 picture of every depth from a file of the given row order, as a DDB and as a
// DIB section.
void CheckEveryDepth(bool topDown)
{
    HDC screen = GetDC(nullptr);
    const int screenBits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    for (WORD bpp : {1, 4, 8, 16, 24, 32})
    {
        SCOPED_TRACE(testing::Message() << bpp << " bits, top-down " << topDown);
#ifdef _WIN32
        const int widening = bpp == 16 ? 2 : 0; // how 5 bits widen to 8 is not documented
#else
        const int widening = 0;
#endif
        const Picture p = Sample(5, 3, bpp); // odd width: rows need padding
        const std::string path = WriteTemp("depth.bmp", BmpFile(p, topDown));

        SetLastError(0xdeadbeef);
        auto ddb = static_cast<HBITMAP>(LoadFile(path, IMAGE_BITMAP));
        ASSERT_NE(ddb, nullptr) << GetLastError();
        BITMAP bm{};
        EXPECT_EQ(GetObjectA(ddb, sizeof bm, &bm), static_cast<int>(sizeof(BITMAP)));
        EXPECT_EQ(bm.bmWidth, 5);
        EXPECT_EQ(bm.bmHeight, 3);
        // A compatible bitmap: the screen's format (a two-colour file may stay monochrome).
        if (bpp == 1 && bm.bmBitsPixel == 1)
            EXPECT_NE(screenBits, 0);
        else
            EXPECT_EQ(bm.bmBitsPixel, screenBits);
        EXPECT_EQ(bm.bmPlanes, 1);
        EXPECT_EQ(bm.bmBits, nullptr);
        EXPECT_TRUE(Near(PixelsOf(ddb, 5, 3), p.pixels, widening));
        EXPECT_TRUE(DeleteObject(ddb));

        auto dib = static_cast<HBITMAP>(LoadFile(path, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ASSERT_NE(dib, nullptr);
        DIBSECTION ds{};
        EXPECT_EQ(GetObjectA(dib, sizeof ds, &ds), static_cast<int>(sizeof(DIBSECTION)));
        EXPECT_EQ(ds.dsBm.bmBitsPixel, bpp);
        EXPECT_EQ(ds.dsBm.bmHeight, 3);
        EXPECT_EQ(ds.dsBm.bmWidthBytes, static_cast<LONG>(((5 * bpp + 31) / 32) * 4));
        EXPECT_NE(ds.dsBm.bmBits, nullptr);
#ifndef _WIN32
        EXPECT_EQ(ds.dsBmih.biHeight, topDown ? -3 : 3); // the PC keeps the file's header
#endif
        EXPECT_EQ(ds.dsBmih.biBitCount, bpp);
        EXPECT_TRUE(Near(PixelsOf(dib, 5, 3), p.pixels, widening));
        EXPECT_TRUE(DeleteObject(dib));
    }
}
} // namespace

TEST(GdiBitmap, EveryDepthBottomUp)
{
    CheckEveryDepth(false);
}

TEST(GdiBitmap, EveryDepthTopDown)
{
    CheckEveryDepth(true);
}

TEST(GdiBitmap, DibSectionBitsAreTheFileRows)
{
    const Picture p = Sample(4, 2, 8);
    const Bytes file = BmpFile(p);
    auto dib =
        static_cast<HBITMAP>(LoadFile(WriteTemp("bits.bmp", file), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(dib, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(dib, sizeof bm, &bm), static_cast<int>(sizeof bm));
    const Bytes rows = Rows(p, false);
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), static_cast<const BYTE *>(bm.bmBits)));
    // Writing the bits changes the picture, as with a real DIB section.
    static_cast<BYTE *>(bm.bmBits)[0] = 2; // bottom-left pixel -> palette entry 2 (red)
    EXPECT_EQ(PixelsOf(dib, 4, 2)[4], 0xFF0000u);
    DeleteObject(dib);
}

TEST(GdiBitmap, CoreHeaderAndBitfields)
{
    // An OS/2 bitmap: 12-byte header, colour table of triples.
    Picture p = Sample(3, 2, 8);
    Bytes core;
    Put32(core, 12);
    Put16(core, 3);
    Put16(core, 2);
    Put16(core, 1);
    Put16(core, 8);
    core.resize(core.size()); // 256 triples follow in a core file unless fewer are used: all of them
    std::vector<uint32_t> table = p.palette;
    table.resize(256, 0);
    PutPalette(core, table, true);
    Bytes rows = Rows(p, false);
    Bytes file = BmpFileOf(core, rows);
    auto bitmap = static_cast<HBITMAP>(LoadFile(WriteTemp("core.bmp", file), IMAGE_BITMAP));
    ASSERT_NE(bitmap, nullptr) << GetLastError();
    EXPECT_EQ(PixelsOf(bitmap, 3, 2), p.pixels);
    DeleteObject(bitmap);

    // 16 bits 5-6-5 with the masks after the info header.
    Bytes info;
    PutInfoHeader(info, 2, 1, 16, BI_BITFIELDS, 0);
    Put32(info, 0xF800);
    Put32(info, 0x07E0);
    Put32(info, 0x001F);
    Bytes pixels = {0x00, 0xF8, 0xE0, 0x07}; // pure red, pure green
    file = BmpFileOf(info, pixels);
    bitmap =
        static_cast<HBITMAP>(LoadFile(WriteTemp("565.bmp", file), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr) << GetLastError();
    EXPECT_EQ(PixelsOf(bitmap, 2, 1), (std::vector<uint32_t>{0xFF0000, 0x00FF00}));
#ifndef _WIN32
    // The PC's DIB section keeps the file's masks (Windows documents no format for it).
    DIBSECTION ds{};
    GetObjectA(bitmap, sizeof ds, &ds);
    EXPECT_EQ(ds.dsBitfields[0], 0xF800u);
    EXPECT_EQ(ds.dsBitfields[1], 0x07E0u);
#endif
    DeleteObject(bitmap);
}

TEST(GdiBitmap, WideMaskFieldsKeepTheirScale)
{
    // A 25-bit red field: its values times 255 pass 32 bits.
    Bytes info;
    PutInfoHeader(info, 3, 1, 32, BI_BITFIELDS, 0);
    Put32(info, 0xFFFFFF80);
    Put32(info, 0x00000070);
    Put32(info, 0x0000000F);
    Bytes pixels;
    for (uint32_t v : {0xFFFFFF80u, 0x80000000u, 0x0000007Fu})
        Put32(pixels, v);
    Bytes file = BmpFileOf(info, pixels);
    auto bitmap = static_cast<HBITMAP>(LoadFile(WriteTemp("wide.bmp", file), IMAGE_BITMAP));
    ASSERT_NE(bitmap, nullptr) << GetLastError();
    const std::vector<uint32_t> expected = {0xFF0000, 0x7F0000, 0x00FFFF};
    const std::vector<uint32_t> loaded = PixelsOf(bitmap, 3, 1);
#ifdef _WIN32
    // How a field widens to eight bits is not documented: near enough is the field's scale.
    ASSERT_EQ(loaded.size(), expected.size());
    for (size_t i = 0; i < loaded.size(); ++i)
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(static_cast<int>((loaded[i] >> shift) & 0xFF),
                        static_cast<int>((expected[i] >> shift) & 0xFF), 4)
                << i << " " << shift;
#else
    EXPECT_EQ(loaded, expected);
#endif
    DeleteObject(bitmap);
}

TEST(GdiBitmap, SizeAskedStretches)
{
    const Picture p = Sample(2, 2, 24);
    const std::string path = WriteTemp("stretch.bmp", BmpFile(p));
    for (UINT flags : {0u, static_cast<UINT>(LR_CREATEDIBSECTION)})
    {
        auto bitmap = static_cast<HBITMAP>(LoadFile(path, IMAGE_BITMAP, 4, 2, flags));
        ASSERT_NE(bitmap, nullptr);
        BITMAP bm{};
        GetObjectA(bitmap, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 4);
        EXPECT_EQ(bm.bmHeight, 2);
        const std::vector<uint32_t> pixels = PixelsOf(bitmap, 4, 2);
        EXPECT_EQ(pixels[0], p.pixels[0]);
        EXPECT_EQ(pixels[7], p.pixels[3]);
#ifndef _WIN32
        // The PC stretches by the nearest pixel; Windows' way of stretching is its own.
        EXPECT_EQ(pixels[1], p.pixels[0]);
        EXPECT_EQ(pixels[2], p.pixels[1]);
#endif
        DeleteObject(bitmap);
    }
}

#ifndef _WIN32
// One side asked for, the other taken from the file: the picture that makes is held to the same
// limits as a picture asked for whole (the PC's limits; Windows documents none).
TEST(GdiBitmap, OneSideAskedKeepsTheLimits)
{
    const std::string wide = WriteTemp("wide.bmp", BmpFile(Sample(16384, 1, 1)));
    for (UINT flags : {0u, static_cast<UINT>(LR_CREATEDIBSECTION)})
    {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(LoadFile(wide, IMAGE_BITMAP, 0, 16384, flags), nullptr); // 16384 x 16384
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        auto bitmap = static_cast<HBITMAP>(LoadFile(wide, IMAGE_BITMAP, 0, 2, flags));
        ASSERT_NE(bitmap, nullptr);
        BITMAP bm{};
        GetObjectA(bitmap, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 16384);
        EXPECT_EQ(bm.bmHeight, 2);
        DeleteObject(bitmap);
    }
    IconImage strip;
    strip.picture = Sample(4096, 1, 32);
    strip.transparent.assign(4096, false);
    const std::string icon = WriteTemp("strip.ico", IconFile({strip}));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LoadFile(icon, IMAGE_ICON, 0, 16384), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    auto loaded = static_cast<HICON>(LoadFile(icon, IMAGE_ICON, 0, 4));
    ASSERT_NE(loaded, nullptr);
    DestroyIcon(loaded);
}
#endif

TEST(GdiBitmap, RefusedFiles)
{
    const Bytes good = BmpFile(Sample(4, 4, 8));
    auto patched = [&](size_t offset, std::vector<BYTE> bytes) {
        Bytes b = good;
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(offset));
        return b;
    };
    // onlyThePc: a file Windows may read its own way (it is lenient with damaged files and
    // decodes RLE); the reasons are the PC's, as Windows documents no error codes for them.
    struct Case
    {
        const char *what;
        Bytes file;
        DWORD error;
        bool onlyThePc;
    };
    const std::vector<Case> cases = {
        {"empty", {}, ERROR_INVALID_DATA, false},
        {"not BM", patched(0, {'X', 'Y'}), ERROR_INVALID_DATA, false},
        {"rows cut", Bytes(good.begin(), good.end() - 1), ERROR_INVALID_DATA, true},
        {"header cut", Bytes(good.begin(), good.begin() + 30), ERROR_INVALID_DATA, true},
        {"zero width", patched(18, {0, 0, 0, 0}), ERROR_INVALID_DATA, true},
        {"huge width", patched(18, {0xFF, 0xFF, 0xFF, 0x7F}), ERROR_INVALID_DATA, false},
        {"height INT_MIN", patched(22, {0, 0, 0, 0x80}), ERROR_INVALID_DATA, false},
        {"7 bits a pixel", patched(28, {7, 0}), ERROR_INVALID_DATA, true},
        {"two planes", patched(26, {2, 0}), ERROR_INVALID_DATA, true},
        {"RLE8", patched(30, {BI_RLE8, 0, 0, 0}), ERROR_CALL_NOT_IMPLEMENTED, true},
        {"RLE4", patched(30, {BI_RLE4, 0, 0, 0}), ERROR_CALL_NOT_IMPLEMENTED, true},
        {"PNG inside", patched(30, {BI_PNG, 0, 0, 0}), ERROR_CALL_NOT_IMPLEMENTED, true},
        {"bitfields at 8 bits", patched(30, {BI_BITFIELDS, 0, 0, 0}), ERROR_INVALID_DATA, true},
        {"1000 colours", patched(46, {0xE8, 0x03, 0, 0}), ERROR_INVALID_DATA, true},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
#ifdef _WIN32
        if (c.onlyThePc)
            continue;
#endif
        SetLastError(0xdeadbeef);
        HANDLE loaded = LoadFile(WriteTemp("bad.bmp", c.file), IMAGE_BITMAP);
        EXPECT_EQ(loaded, nullptr);
#ifndef _WIN32
        EXPECT_EQ(GetLastError(), c.error);
#endif
        if (loaded)
            DeleteObject(loaded);
    }
}

TEST(GdiBitmap, ArgumentsAndFlags)
{
    const std::string path = WriteTemp("ok.bmp", BmpFile(Sample(2, 2, 24)));
    const std::string noFolder = TempPath("nofolder/such.bmp");
    const std::string noFile = TempPath("none.bmp");
    struct Case
    {
        const char *what;
        LPCSTR name;
        UINT type;
        int cx;
        UINT flags;
        DWORD error;
        bool onlyThePc; // a flag the PC does not offer, or a reason Windows does not document
    };
    const Case cases[] = {
        {"missing folder", noFolder.c_str(), IMAGE_BITMAP, 0, LR_LOADFROMFILE, ERROR_PATH_NOT_FOUND, false},
        {"missing file", noFile.c_str(), IMAGE_BITMAP, 0, LR_LOADFROMFILE, ERROR_FILE_NOT_FOUND, false},
        {"resource", MAKEINTRESOURCEA(101), IMAGE_BITMAP, 0, 0, ERROR_RESOURCE_TYPE_NOT_FOUND, true},
#ifndef _WIN32
        // Windows takes the name as a file name whatever it is: a number there reads a bad address.
        {"number as file", MAKEINTRESOURCEA(101), IMAGE_BITMAP, 0, LR_LOADFROMFILE, ERROR_INVALID_PARAMETER,
         true},
#endif
        {"null name", nullptr, IMAGE_BITMAP, 0, LR_LOADFROMFILE, ERROR_INVALID_PARAMETER, true},
        {"bad type", path.c_str(), 7, 0, LR_LOADFROMFILE, ERROR_INVALID_PARAMETER, true},
        {"metafile", path.c_str(), IMAGE_ENHMETAFILE, 0, LR_LOADFROMFILE, ERROR_CALL_NOT_IMPLEMENTED, true},
        {"shared", path.c_str(), IMAGE_BITMAP, 0, LR_LOADFROMFILE | LR_SHARED, ERROR_CALL_NOT_IMPLEMENTED,
         true},
        {"monochrome", path.c_str(), IMAGE_BITMAP, 0, LR_LOADFROMFILE | LR_MONOCHROME,
         ERROR_CALL_NOT_IMPLEMENTED, true},
        {"transparent", path.c_str(), IMAGE_BITMAP, 0, LR_LOADFROMFILE | LR_LOADTRANSPARENT,
         ERROR_CALL_NOT_IMPLEMENTED, true},
        {"negative size", path.c_str(), IMAGE_BITMAP, -1, LR_LOADFROMFILE, ERROR_INVALID_PARAMETER, true},
        {"absurd size", path.c_str(), IMAGE_BITMAP, 1 << 20, LR_LOADFROMFILE, ERROR_INVALID_PARAMETER, true},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
        SetLastError(0xdeadbeef);
        HANDLE loaded = LoadImageA(nullptr, c.name, c.type, c.cx, 0, c.flags);
#ifdef _WIN32
        // No such resource, no name, and a type LoadImage does not load fail; why is not documented.
        const bool refusedOnWindows =
            c.type != IMAGE_BITMAP || c.name == nullptr || !(c.flags & LR_LOADFROMFILE);
        if (c.onlyThePc && !refusedOnWindows)
        {
            if (loaded)
                DeleteObject(loaded);
            continue;
        }
        EXPECT_EQ(loaded, nullptr);
        if (!c.onlyThePc)
        {
            EXPECT_EQ(GetLastError(), c.error);
        }
#else
        EXPECT_EQ(loaded, nullptr);
        EXPECT_EQ(GetLastError(), c.error);
#endif
    }
}

TEST(GdiBitmap, HandlesBelongToGdi)
{
    auto bitmap = static_cast<HBITMAP>(LoadFile(WriteTemp("h.bmp", BmpFile(Sample(2, 2, 24))), IMAGE_BITMAP));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(bitmap));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(DestroyIcon(reinterpret_cast<HICON>(bitmap)));
    EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
    BITMAP small{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof small - 1, &small), 0);
    EXPECT_TRUE(DeleteObject(bitmap));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteObject(bitmap));
#ifndef _WIN32
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)); // Windows' GDI says no reason
#endif
    EXPECT_EQ(GetObjectA(bitmap, sizeof small, &small), 0);
}

TEST(GdiBitmap, GetDIBitsDescribesAndSelectsLines)
{
    const Picture p = Sample(3, 4, 24);
    auto bitmap = static_cast<HBITMAP>(LoadFile(WriteTemp("lines.bmp", BmpFile(p)), IMAGE_BITMAP));
    HDC dc = GetDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 0, nullptr, &info, DIB_RGB_COLORS), 4);
    EXPECT_EQ(info.bmiHeader.biWidth, 3);
    EXPECT_EQ(info.bmiHeader.biHeight, 4);
    EXPECT_EQ(info.bmiHeader.biBitCount, 32);

    // Bottom-up: scan line 0 is the bottom row.
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> two(6, 0);
    EXPECT_EQ(GetDIBits(dc, bitmap, 1, 2, two.data(), &info, DIB_RGB_COLORS), 2);
    for (int x = 0; x < 3; ++x)
    {
        EXPECT_EQ(two[static_cast<size_t>(x)] & 0xFFFFFF, p.pixels[static_cast<size_t>(2 * 3 + x)]);
        EXPECT_EQ(two[static_cast<size_t>(3 + x)] & 0xFFFFFF, p.pixels[static_cast<size_t>(1 * 3 + x)]);
    }
    EXPECT_EQ(GetDIBits(dc, bitmap, 3, 5, two.data(), &info, DIB_RGB_COLORS), 1);
#ifndef _WIN32
    // The PC's limits: lines past the end, other depths and palette indexes are not offered.
    EXPECT_EQ(GetDIBits(dc, bitmap, 4, 1, two.data(), &info, DIB_RGB_COLORS), 0);
    SetLastError(0xdeadbeef);
    info.bmiHeader.biBitCount = 8;
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 4, two.data(), &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    info.bmiHeader.biBitCount = 32;
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 4, two.data(), &info, DIB_PAL_COLORS), 0);
#endif
    EXPECT_EQ(GetDIBits(reinterpret_cast<HDC>(bitmap), bitmap, 0, 4, two.data(), &info, DIB_RGB_COLORS), 0);
    ReleaseDC(nullptr, dc);
    DeleteObject(bitmap);
}

// Icons and cursors -----------------------------------------------------------------------------

namespace
{
IconImage SampleIcon(LONG size, WORD bpp)
{
    IconImage image;
    image.picture = Sample(size, size, bpp);
    image.transparent.assign(static_cast<size_t>(size * size), false);
    image.transparent[0] = true; // the top-left corner shows what is behind
    return image;
}

struct IconPixels
{
    ICONINFO info{};
    LONG width = 0;
    LONG height = 0;
    std::vector<uint32_t> color;
    std::vector<uint32_t> mask;
};

IconPixels Inspect(HICON icon)
{
    IconPixels out;
    EXPECT_TRUE(GetIconInfo(icon, &out.info));
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(out.info.hbmColor, sizeof bm, &bm), static_cast<int>(sizeof bm));
    out.width = bm.bmWidth;
    out.height = bm.bmHeight;
    BITMAP mask{};
    GetObjectA(out.info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmBitsPixel, 1);
    out.color = PixelsOf(out.info.hbmColor, bm.bmWidth, bm.bmHeight, true);
    out.mask = PixelsOf(out.info.hbmMask, bm.bmWidth, bm.bmHeight);
    EXPECT_TRUE(DeleteObject(out.info.hbmColor));
    EXPECT_TRUE(DeleteObject(out.info.hbmMask));
    return out;
}
} // namespace

TEST(GdiIcon, ChoosesTheImageBySizeThenDepth)
{
    const IconImage small = SampleIcon(16, 4);
    const IconImage middle = SampleIcon(32, 8);
    const IconImage middleDeep = SampleIcon(32, 24);
    const std::string path = WriteTemp("app.ico", IconFile({small, middle, middleDeep}));
    struct Case
    {
        int cx;
        UINT flags;
        LONG size;
        const IconImage *source;
    };
    const Case cases[] = {
        {0, LR_DEFAULTSIZE, 32, &middleDeep}, // the system size, the deepest colours
        {0, 0, 16, &small},                   // no size: the first image's
        {16, 0, 16, &small},
        {32, 0, 32, &middleDeep},
        {20, 0, 20, &small}, // nearest size, stretched
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(testing::Message() << "cx " << c.cx);
        auto icon = static_cast<HICON>(LoadFile(path, IMAGE_ICON, c.cx, c.cx, c.flags));
        ASSERT_NE(icon, nullptr) << GetLastError();
        IconPixels px = Inspect(icon);
        EXPECT_TRUE(px.info.fIcon);
        EXPECT_EQ(px.width, c.size);
        EXPECT_EQ(px.height, c.size);
        EXPECT_EQ(px.info.xHotspot, static_cast<DWORD>(c.size / 2));
        if (c.size == c.source->picture.width)
        {
            for (size_t i = 1; i < px.color.size(); ++i)
#ifdef _WIN32
                // The alpha byte of an icon without one is not documented.
                ASSERT_EQ(px.color[i] & 0xFFFFFFu, c.source->picture.pixels[i]) << i;
#else
                ASSERT_EQ(px.color[i], c.source->picture.pixels[i] | 0xFF000000u) << i;
#endif
        }
        EXPECT_EQ(px.color[0] >> 24, 0u); // transparent corner
        EXPECT_EQ(px.mask[0], 0xFFFFFFu);
        EXPECT_EQ(px.mask.back(), 0u);
        EXPECT_TRUE(DestroyIcon(icon));
    }
}

TEST(GdiIcon, AlphaChannelWins)
{
    IconImage image = SampleIcon(8, 32);
    Bytes file = IconFile({image});
    // Give the pixels an alpha channel: half transparent everywhere but the bottom-left pixel.
    const size_t bits = 6 + 16 + 40;
    for (size_t i = 0; i < 64; ++i)
        file[bits + 4 * i + 3] = i == 0 ? 0 : 0x80;
    auto icon = static_cast<HICON>(LoadFile(WriteTemp("alpha.ico", file), IMAGE_ICON, 8, 8));
    ASSERT_NE(icon, nullptr);
    IconPixels px = Inspect(icon);
    EXPECT_EQ(px.color[1] >> 24, 0x80u);
    EXPECT_EQ(px.color[7 * 8] >> 24, 0u); // bottom-left
    DestroyIcon(icon);
}

TEST(GdiIcon, CursorHotspot)
{
    IconImage image = SampleIcon(32, 8);
    image.hotX = 3;
    image.hotY = 5;
    const std::string path = WriteTemp("arrow.cur", IconFile({image}, 2));
    auto cursor = static_cast<HCURSOR>(LoadFile(path, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    ASSERT_NE(cursor, nullptr);
    IconPixels px = Inspect(cursor);
    EXPECT_FALSE(px.info.fIcon);
    EXPECT_EQ(px.info.xHotspot, 3u);
    EXPECT_EQ(px.info.yHotspot, 5u);
    EXPECT_TRUE(DestroyCursor(cursor));

    cursor = static_cast<HCURSOR>(LoadFile(path, IMAGE_CURSOR, 64, 64));
    ASSERT_NE(cursor, nullptr);
    px = Inspect(cursor);
    EXPECT_EQ(px.info.xHotspot, 6u); // scaled with the picture
    EXPECT_EQ(px.info.yHotspot, 10u);
    DestroyCursor(cursor);
}

TEST(GdiIcon, RefusedFilesAndHandles)
{
    const Bytes good = IconFile({SampleIcon(16, 8)});
    Bytes png = good;
    std::copy_n("\x89PNG", 4, png.begin() + 22);
    Bytes farOffset = good;
    farOffset[18] = 0xFF; // offset beyond the file
    Bytes noImages = good;
    noImages[4] = 0;
    // The colour rows end early; the directory says so, so the image itself is short.
    Bytes cut(good.begin(), good.end() - 100);
    cut[14] = static_cast<BYTE>(cut.size() - 22);
    cut[15] = static_cast<BYTE>((cut.size() - 22) >> 8);
    Bytes wrongType = good;
    wrongType[2] = 3;
    // onlyThePc: Windows reads PNG icons (Vista and later) and may be lenient with the rest; the
    // reasons are the PC's, as Windows documents no error codes for them.
    struct Case
    {
        const char *what;
        Bytes file;
        DWORD error;
        bool onlyThePc;
    };
    const Case cases[] = {
        {"png image", png, ERROR_CALL_NOT_IMPLEMENTED, true},
        {"offset outside", farOffset, ERROR_INVALID_DATA, false},
        {"no images", noImages, ERROR_INVALID_DATA, false},
        {"pixels cut", cut, ERROR_INVALID_DATA, true},
        {"type 3", wrongType, ERROR_INVALID_DATA, true},
        {"a bitmap", BmpFile(Sample(2, 2, 8)), ERROR_INVALID_DATA, false},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
#ifdef _WIN32
        if (c.onlyThePc)
            continue;
#endif
        SetLastError(0xdeadbeef);
        auto loaded = static_cast<HICON>(LoadFile(WriteTemp("bad.ico", c.file), IMAGE_ICON, 16, 16));
        EXPECT_EQ(loaded, nullptr);
#ifndef _WIN32
        EXPECT_EQ(GetLastError(), c.error);
#endif
        if (loaded)
            DestroyIcon(loaded);
    }

    auto icon = static_cast<HICON>(LoadFile(WriteTemp("ok.ico", good), IMAGE_ICON));
    ASSERT_NE(icon, nullptr);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteObject(icon));
    EXPECT_EQ(GetObjectA(icon, 0, nullptr), 0);
    EXPECT_TRUE(DestroyIcon(icon));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DestroyIcon(icon));
#ifndef _WIN32
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_CURSOR_HANDLE)); // no reason documented
#endif
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(icon, &info));
}

TEST(GdiIcon, SystemSizes)
{
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CXCURSOR), 32);
    EXPECT_EQ(GetSystemMetrics(9999), 0);
}

// Palettes --------------------------------------------------------------------------------------

TEST(GdiPalette, CreateAndRead)
{
    struct
    {
        LOGPALETTE header;
        PALETTEENTRY more[2];
    } log{};
    log.header.palVersion = 0x300;
    log.header.palNumEntries = 3;
    log.header.palPalEntry[0] = {255, 0, 0, 0};
    log.more[0] = {0, 255, 0, PC_NOCOLLAPSE};
    log.more[1] = {1, 2, 3, 0};
    HPALETTE palette = CreatePalette(&log.header);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(GetObjectType(palette), static_cast<DWORD>(OBJ_PAL));
    WORD count = 0xdead;
    EXPECT_EQ(GetObjectA(palette, sizeof count, &count), 2);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 3u);
    PALETTEENTRY entries[4];
    std::fill(std::begin(entries), std::end(entries), PALETTEENTRY{0xAA, 0xAA, 0xAA, 0xAA});
    EXPECT_EQ(GetPaletteEntries(palette, 1, 5, entries), 2u);
    EXPECT_EQ(entries[0].peGreen, 255);
    EXPECT_EQ(entries[0].peFlags, PC_NOCOLLAPSE);
    EXPECT_EQ(entries[1].peBlue, 3);
    EXPECT_EQ(entries[2].peRed, 0xAA); // untouched
    EXPECT_EQ(GetPaletteEntries(palette, 3, 1, entries), 0u);
    EXPECT_TRUE(DeleteObject(palette));
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 0u);

#ifndef _WIN32
    // The PC's checks of the header; Windows documents only version 0x300.
    for (auto [version, entriesCount] : {std::pair{0x200, 1}, std::pair{0x300, 0}})
    {
        log.header.palVersion = static_cast<WORD>(version);
        log.header.palNumEntries = static_cast<WORD>(entriesCount);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(CreatePalette(&log.header), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
#endif
    EXPECT_EQ(CreatePalette(nullptr), nullptr);
}

// The screen ------------------------------------------------------------------------------------

TEST(GdiScreen, LogicalResolutionFromThePc)
{
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_DC));
    EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
    EXPECT_EQ(GetDeviceCaps(dc, 12345), 0);
#ifndef _WIN32
    // The PC's display: its settings in machine.ini.
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 1024);
    ASSERT_TRUE(kitpc::SetIdentityValue("Display", "LogPixelsX", "120")); // large fonts
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 120);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 120);
    // A setting no display has reads as the standard resolution; nothing divides by it.
    for (const char *damaged : {"0", "-120", "100000", "grande"})
    {
        SCOPED_TRACE(damaged);
        ASSERT_TRUE(kitpc::SetIdentityValue("Display", "LogPixelsX", damaged));
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
        EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), 1024 * 254 / 960);
        EXPECT_EQ(GetDeviceCaps(dc, VERTSIZE), 768 * 254 / 960);
    }
    EXPECT_FALSE(DeleteObject(dc)); // a DC goes with ReleaseDC (Windows: undefined, do not)
#endif
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 0);
    EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSX), 0);
}

TEST(GdiScreen, WindowDeviceContexts)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x1234)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    HDC screen = GetDC(nullptr);
#ifndef _WIN32
    EXPECT_EQ(ReleaseDC(reinterpret_cast<HWND>(0x1234), screen), 0); // not that window's
#endif
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}
