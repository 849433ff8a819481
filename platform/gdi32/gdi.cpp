// GDI objects and images from files: bitmaps (.bmp), icons (.ico) and cursors (.cur) decoded
// into pixels kept with their object, logical palettes, the screen's device context, and the
// sizes the system uses for images. Every object is an entry of the handle table (CloseHandle
// refuses them, as Windows does). The screen is 1024 x 768 at 32 bits per pixel; its logical
// resolution is the PC's (machine.ini [Display] LogPixelsX: 96, or 120 with large fonts).
#include "platform/kit/kitmachine.h"
#include "platform/core/handles.h"
#include "platform/core/lasterror.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace
{
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr WORD kScreenBitsPixel = 32;
constexpr int kIconSize = 32;      // SM_CXICON / SM_CYICON
constexpr int kSmallIconSize = 16; // SM_CXSMICON / SM_CYSMICON
constexpr int kCursorSize = 32;    // SM_CXCURSOR / SM_CYCURSOR

// What an image may be here: larger files or pictures are refused rather than risking the
// memory they would take.
constexpr LONG kMaxDimension = 16384;
constexpr uint64_t kMaxPixels = uint64_t{1} << 24;
constexpr DWORD kMaxImageFile = 64u << 20;
constexpr WORD kPaletteVersion = 0x300;

constexpr DWORD kSupportedLoadFlags = LR_LOADFROMFILE | LR_DEFAULTSIZE | LR_CREATEDIBSECTION;

// Pixels as 0xAARRGGBB (the bytes of a 32-bit BI_RGB DIB), rows from the top.
using Pixels = std::vector<uint32_t>;

// Little-endian reads from a file image, each checked against its end.
class Bytes
{
  public:
    explicit Bytes(std::span<const BYTE> data) : data_(data) {}
    size_t Size() const { return data_.size(); }
    bool Has(size_t offset, size_t count) const
    {
        return offset <= data_.size() && count <= data_.size() - offset;
    }
    WORD U16(size_t offset) const { return static_cast<WORD>(data_[offset] | (data_[offset + 1] << 8)); }
    DWORD U32(size_t offset) const
    {
        return static_cast<DWORD>(data_[offset]) | (static_cast<DWORD>(data_[offset + 1]) << 8) |
               (static_cast<DWORD>(data_[offset + 2]) << 16) | (static_cast<DWORD>(data_[offset + 3]) << 24);
    }
    const BYTE *At(size_t offset) const { return data_.data() + offset; }

  private:
    std::span<const BYTE> data_;
};

size_t StrideOf(LONG width, WORD bitCount)
{
    return ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
}

// A device-independent bitmap as a .bmp file or an icon holds it.
struct Dib
{
    BITMAPINFOHEADER header{}; // biHeight negative: rows from the top
    std::vector<RGBQUAD> colors;
    DWORD masks[3] = {}; // red, green, blue for 16 and 32 bits per pixel
    std::vector<BYTE> bits;

    LONG Width() const { return header.biWidth; }
    LONG Height() const { return header.biHeight < 0 ? -header.biHeight : header.biHeight; }
    bool TopDown() const { return header.biHeight < 0; }
    size_t Stride() const { return StrideOf(header.biWidth, header.biBitCount); }
};

class BitmapObject : public plat::KernelObject
{
  public:
    BitmapObject() : KernelObject(plat::ObjectKind::Bitmap) {}
    bool ClosableByCloseHandle() const override { return false; }

    LONG width = 0;
    LONG height = 0;
    WORD bitsPixel = kScreenBitsPixel;
    bool isDibSection = false;
    Dib dib;       // a DIB section's own bits (bmBits points into them)
    Pixels pixels; // a device-dependent bitmap's pixels
};

class IconObject : public plat::KernelObject
{
  public:
    IconObject() : KernelObject(plat::ObjectKind::Icon) {}
    bool ClosableByCloseHandle() const override { return false; }

    bool isIcon = true;
    LONG width = 0;
    LONG height = 0;
    DWORD hotX = 0;
    DWORD hotY = 0;
    Pixels color;
    std::vector<BYTE> mask; // one byte a pixel, 1 = transparent
};

class PaletteObject : public plat::KernelObject
{
  public:
    PaletteObject() : KernelObject(plat::ObjectKind::Palette) {}
    bool ClosableByCloseHandle() const override { return false; }
    std::vector<PALETTEENTRY> entries;
};

class DcObject : public plat::KernelObject
{
  public:
    explicit DcObject(HWND window) : KernelObject(plat::ObjectKind::DeviceContext), window(window) {}
    bool ClosableByCloseHandle() const override { return false; }
    HWND window;
};

// The PC's logical resolution (machine.ini [Display] LogPixelsX); a value no display has (0,
// negative, absurdly large) reads as the standard 96, so nothing divides by it unchecked.
int LogicalPixelsPerInch()
{
    constexpr int kStandard = 96;
    constexpr int kLargest = 480; // 500 %, beyond any display setting of these systems
    const int dpi = kitpc::ReadIdentity().logPixelsX;
    return dpi > 0 && dpi <= kLargest ? dpi : kStandard;
}

bool SizeAllowed(LONG width, LONG height)
{
    return width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension &&
           static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kMaxPixels;
}

// Reads a DIB header (core, info or a later version) at `offset` and the colour table and masks
// after it; `next` is where the bits would follow. ERROR_SUCCESS or the reason it is refused.
DWORD ReadDibHeader(const Bytes &b, size_t offset, Dib &dib, size_t &next)
{
    if (!b.Has(offset, 4))
        return ERROR_INVALID_DATA;
    const DWORD size = b.U32(offset);
    BITMAPINFOHEADER &h = dib.header;
    h = {};
    h.biSize = sizeof(BITMAPINFOHEADER);
    bool core = false;
    if (size == sizeof(BITMAPCOREHEADER) && b.Has(offset, size))
    {
        core = true;
        h.biWidth = b.U16(offset + 4);
        h.biHeight = b.U16(offset + 6);
        h.biPlanes = b.U16(offset + 8);
        h.biBitCount = b.U16(offset + 10);
    }
    else if (size >= sizeof(BITMAPINFOHEADER) && size <= 4096 && b.Has(offset, size))
    {
        h.biWidth = static_cast<LONG>(b.U32(offset + 4));
        h.biHeight = static_cast<LONG>(b.U32(offset + 8));
        h.biPlanes = b.U16(offset + 12);
        h.biBitCount = b.U16(offset + 14);
        h.biCompression = b.U32(offset + 16);
        h.biXPelsPerMeter = static_cast<LONG>(b.U32(offset + 24));
        h.biYPelsPerMeter = static_cast<LONG>(b.U32(offset + 28));
        h.biClrUsed = b.U32(offset + 32);
        h.biClrImportant = b.U32(offset + 36);
    }
    else
        return ERROR_INVALID_DATA;

    const WORD bpp = h.biBitCount;
    if (h.biCompression == BI_RLE4 || h.biCompression == BI_RLE8 || h.biCompression == BI_JPEG ||
        h.biCompression == BI_PNG)
        return ERROR_CALL_NOT_IMPLEMENTED; // compressed bitmaps are not decoded here
    if (h.biPlanes != 1 || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return ERROR_INVALID_DATA;
    if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32)))
        return ERROR_INVALID_DATA;
    if (h.biHeight == INT32_MIN || !SizeAllowed(h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight))
        return ERROR_INVALID_DATA;

    next = offset + size;
    if (h.biCompression == BI_BITFIELDS)
    {
        // Version 2 and later headers hold the masks; the info header is followed by them.
        const size_t at = size >= 52 ? offset + 40 : next;
        if (!b.Has(at, 12))
            return ERROR_INVALID_DATA;
        for (int i = 0; i < 3; ++i)
            dib.masks[i] = b.U32(at + 4 * static_cast<size_t>(i));
        if (size < 52)
            next += 12;
    }
    else if (bpp == 16)
    {
        dib.masks[0] = 0x7C00;
        dib.masks[1] = 0x03E0;
        dib.masks[2] = 0x001F;
    }
    else if (bpp == 32)
    {
        dib.masks[0] = 0xFF0000;
        dib.masks[1] = 0x00FF00;
        dib.masks[2] = 0x0000FF;
    }

    // The colour table: required below 16 bits per pixel, an optional hint above.
    const DWORD fullTable = bpp <= 8 ? (1u << bpp) : 0;
    const DWORD count = h.biClrUsed ? h.biClrUsed : fullTable;
    if (bpp <= 8 && count > fullTable)
        return ERROR_INVALID_DATA;
    const size_t entrySize = core ? 3 : 4;
    if (!b.Has(next, static_cast<size_t>(count) * entrySize))
        return ERROR_INVALID_DATA;
    if (bpp <= 8)
    {
        dib.colors.resize(count);
        for (DWORD i = 0; i < count; ++i)
        {
            const BYTE *e = b.At(next + i * entrySize);
            dib.colors[i] = RGBQUAD{e[0], e[1], e[2], 0};
        }
        h.biClrUsed = count;
    }
    else
        h.biClrUsed = 0;
    next += static_cast<size_t>(count) * entrySize;
    h.biSizeImage = static_cast<DWORD>(dib.Stride() * static_cast<size_t>(dib.Height()));
    return ERROR_SUCCESS;
}

// One colour component under a mask, widened to 8 bits.
BYTE Component(DWORD value, DWORD mask)
{
    if (!mask)
        return 0;
    const int shift = std::countr_zero(mask);
    const DWORD field = mask >> shift;
    const int width = std::min(std::countr_one(field), 31);
    const DWORD maximum = (DWORD{1} << width) - 1;
    const DWORD v = (value >> shift) & maximum;
    return static_cast<BYTE>(v * 255u / maximum);
}

uint32_t Rgb(BYTE r, BYTE g, BYTE b, BYTE a = 0)
{
    return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) |
           (static_cast<uint32_t>(g) << 8) | b;
}

// The DIB's pixels, rows from the top. Indexes beyond the colour table read as black.
Pixels Decode(const Dib &dib)
{
    const LONG width = dib.Width(), height = dib.Height();
    const size_t stride = dib.Stride();
    const WORD bpp = dib.header.biBitCount;
    Pixels out(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (LONG y = 0; y < height; ++y)
    {
        const LONG sourceRow = dib.TopDown() ? y : height - 1 - y;
        const BYTE *row = dib.bits.data() + static_cast<size_t>(sourceRow) * stride;
        uint32_t *target = out.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (LONG x = 0; x < width; ++x)
        {
            const size_t ux = static_cast<size_t>(x);
            uint32_t pixel = 0;
            if (bpp <= 8)
            {
                const size_t bit = ux * bpp;
                const unsigned index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                if (index < dib.colors.size())
                {
                    const RGBQUAD &c = dib.colors[index];
                    pixel = Rgb(c.rgbRed, c.rgbGreen, c.rgbBlue);
                }
            }
            else if (bpp == 16)
            {
                const DWORD v = static_cast<DWORD>(row[2 * ux] | (row[2 * ux + 1] << 8));
                pixel =
                    Rgb(Component(v, dib.masks[0]), Component(v, dib.masks[1]), Component(v, dib.masks[2]));
            }
            else if (bpp == 24)
                pixel = Rgb(row[3 * ux + 2], row[3 * ux + 1], row[3 * ux]);
            else if (dib.header.biCompression == BI_RGB)
                pixel = Rgb(row[4 * ux + 2], row[4 * ux + 1], row[4 * ux], row[4 * ux + 3]);
            else
            {
                const DWORD v = static_cast<DWORD>(row[4 * ux]) | (static_cast<DWORD>(row[4 * ux + 1]) << 8) |
                                (static_cast<DWORD>(row[4 * ux + 2]) << 16) |
                                (static_cast<DWORD>(row[4 * ux + 3]) << 24);
                pixel =
                    Rgb(Component(v, dib.masks[0]), Component(v, dib.masks[1]), Component(v, dib.masks[2]));
            }
            target[x] = pixel;
        }
    }
    return out;
}

// Nearest-neighbour resampling, as COLORONCOLOR stretching does.
template <class T>
std::vector<T> Stretch(const std::vector<T> &source, LONG width, LONG height, LONG newWidth, LONG newHeight)
{
    if (width == newWidth && height == newHeight)
        return source;
    std::vector<T> out(static_cast<size_t>(newWidth) * static_cast<size_t>(newHeight));
    for (LONG y = 0; y < newHeight; ++y)
    {
        const size_t sy =
            static_cast<size_t>(y) * static_cast<size_t>(height) / static_cast<size_t>(newHeight);
        for (LONG x = 0; x < newWidth; ++x)
        {
            const size_t sx =
                static_cast<size_t>(x) * static_cast<size_t>(width) / static_cast<size_t>(newWidth);
            out[static_cast<size_t>(y) * static_cast<size_t>(newWidth) + static_cast<size_t>(x)] =
                source[sy * static_cast<size_t>(width) + sx];
        }
    }
    return out;
}

// A 32-bit bottom-up DIB holding the pixels.
Dib DibOfPixels(const Pixels &pixels, LONG width, LONG height)
{
    Dib dib;
    dib.header.biSize = sizeof(BITMAPINFOHEADER);
    dib.header.biWidth = width;
    dib.header.biHeight = height;
    dib.header.biPlanes = 1;
    dib.header.biBitCount = 32;
    dib.header.biCompression = BI_RGB;
    dib.header.biSizeImage = static_cast<DWORD>(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    dib.masks[0] = 0xFF0000;
    dib.masks[1] = 0x00FF00;
    dib.masks[2] = 0x0000FF;
    dib.bits.resize(dib.header.biSizeImage);
    for (LONG y = 0; y < height; ++y)
        std::memcpy(dib.bits.data() + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width) * 4,
                    pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width),
                    static_cast<size_t>(width) * 4);
    return dib;
}

// The results of a failing handle or count function, with the last error set.
std::nullptr_t FailNull(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

int FailZero(DWORD error)
{
    SetLastError(error);
    return 0;
}

HANDLE Insert(std::shared_ptr<plat::KernelObject> object)
{
    return plat::InsertHandle(std::move(object));
}

// A whole file through the platform's own file functions (their errors stand).
bool ReadWholeFile(LPCSTR path, std::vector<BYTE> &data)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
    {
        const DWORD error = GetLastError();
        CloseHandle(file);
        return plat::Fail(error);
    }
    if (high != 0 || size > kMaxImageFile)
    {
        CloseHandle(file);
        return plat::Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    data.resize(size);
    DWORD done = 0;
    const BOOL ok = size == 0 || ReadFile(file, data.data(), size, &done, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok)
        return plat::Fail(error);
    data.resize(done);
    return true;
}

HANDLE LoadBitmapFile(const Bytes &b, int cx, int cy, UINT flags)
{
    if (!b.Has(0, sizeof(BITMAPFILEHEADER)) || b.U16(0) != 0x4D42) // "BM"
        return FailNull(ERROR_INVALID_DATA);
    Dib dib;
    size_t next = 0;
    if (DWORD error = ReadDibHeader(b, sizeof(BITMAPFILEHEADER), dib, next))
        return FailNull(error);
    const DWORD offBits = b.U32(10);
    const size_t bitsAt = offBits != 0 ? offBits : next;
    const size_t bitsSize = dib.Stride() * static_cast<size_t>(dib.Height());
    if (!b.Has(bitsAt, bitsSize))
        return FailNull(ERROR_INVALID_DATA);
    dib.bits.assign(b.At(bitsAt), b.At(bitsAt) + bitsSize);

    const LONG width = cx ? cx : dib.Width();
    const LONG height = cy ? cy : dib.Height();
    if (!SizeAllowed(width, height)) // one side asked for, the other the file's
        return FailNull(ERROR_INVALID_PARAMETER);
    auto bitmap = std::make_shared<BitmapObject>();
    bitmap->width = width;
    bitmap->height = height;
    if (flags & LR_CREATEDIBSECTION)
    {
        bitmap->isDibSection = true;
        if (width == dib.Width() && height == dib.Height())
            bitmap->dib = std::move(dib);
        else
            bitmap->dib =
                DibOfPixels(Stretch(Decode(dib), dib.Width(), dib.Height(), width, height), width, height);
        bitmap->bitsPixel = bitmap->dib.header.biBitCount;
    }
    else
        bitmap->pixels = Stretch(Decode(dib), dib.Width(), dib.Height(), width, height);
    return Insert(std::move(bitmap));
}

struct IconEntry
{
    LONG width = 0;
    LONG height = 0;
    WORD bitCount = 0;
    WORD hotX = 0;
    WORD hotY = 0;
    size_t offset = 0;
    size_t size = 0;
};

// The images of an icon or cursor file that this decoder can read (PNG images are left out).
DWORD ReadIconDirectory(const Bytes &b, WORD &fileType, std::vector<IconEntry> &entries, bool &sawPng)
{
    if (!b.Has(0, 6) || b.U16(0) != 0)
        return ERROR_INVALID_DATA;
    fileType = b.U16(2);
    const WORD count = b.U16(4);
    if ((fileType != 1 && fileType != 2) || count == 0 || !b.Has(6, static_cast<size_t>(count) * 16))
        return ERROR_INVALID_DATA;
    for (WORD i = 0; i < count; ++i)
    {
        const size_t at = 6 + static_cast<size_t>(i) * 16;
        IconEntry entry;
        entry.hotX = b.U16(at + 4);
        entry.hotY = b.U16(at + 6);
        entry.size = b.U32(at + 8);
        entry.offset = b.U32(at + 12);
        if (!b.Has(entry.offset, entry.size) || entry.size < 8)
            continue;
        if (std::memcmp(b.At(entry.offset), "\x89PNG", 4) == 0)
        {
            sawPng = true;
            continue;
        }
        // The image's own header is the authority on its size and depth.
        if (entry.size < sizeof(BITMAPINFOHEADER) || b.U32(entry.offset) < sizeof(BITMAPINFOHEADER))
            continue;
        entry.width = static_cast<LONG>(b.U32(entry.offset + 4));
        entry.height = static_cast<LONG>(b.U32(entry.offset + 8)) / 2;
        entry.bitCount = b.U16(entry.offset + 14);
        if (!SizeAllowed(entry.width, entry.height))
            continue;
        entries.push_back(entry);
    }
    if (entries.empty())
        return sawPng ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_INVALID_DATA;
    return ERROR_SUCCESS;
}

// The image closest in size, then the deepest colour, as Windows chooses among an icon's images.
const IconEntry &BestEntry(const std::vector<IconEntry> &entries, LONG cx, LONG cy)
{
    const IconEntry *best = &entries.front();
    int64_t bestDistance = INT64_MAX;
    for (const IconEntry &entry : entries)
    {
        const int64_t distance = std::abs(int64_t{entry.width} - cx) + std::abs(int64_t{entry.height} - cy);
        if (distance < bestDistance || (distance == bestDistance && entry.bitCount > best->bitCount))
        {
            best = &entry;
            bestDistance = distance;
        }
    }
    return *best;
}

HANDLE LoadIconFile(const Bytes &b, UINT type, int cx, int cy, UINT flags)
{
    WORD fileType = 0;
    std::vector<IconEntry> entries;
    bool sawPng = false;
    if (DWORD error = ReadIconDirectory(b, fileType, entries, sawPng))
        return FailNull(error);

    const int systemSize = type == IMAGE_CURSOR ? kCursorSize : kIconSize;
    const LONG width = cx ? cx : (flags & LR_DEFAULTSIZE) ? systemSize : entries.front().width;
    const LONG height = cy ? cy : (flags & LR_DEFAULTSIZE) ? systemSize : entries.front().height;
    if (!SizeAllowed(width, height))
        return FailNull(ERROR_INVALID_PARAMETER);
    const IconEntry &entry = BestEntry(entries, width, height);

    // The image: a DIB of twice the height, the colour (XOR) rows then the AND mask rows.
    Dib dib;
    size_t next = 0;
    const Bytes image(std::span<const BYTE>(b.At(entry.offset), entry.size));
    if (DWORD error = ReadDibHeader(image, 0, dib, next))
        return FailNull(error);
    if (dib.TopDown())
        return FailNull(ERROR_INVALID_DATA);
    dib.header.biHeight = entry.height;
    const size_t colorSize = dib.Stride() * static_cast<size_t>(entry.height);
    const size_t maskStride = StrideOf(entry.width, 1);
    const size_t maskSize = maskStride * static_cast<size_t>(entry.height);
    if (!image.Has(next, colorSize))
        return FailNull(ERROR_INVALID_DATA);
    dib.bits.assign(image.At(next), image.At(next) + colorSize);
    Pixels color = Decode(dib);

    const size_t pixelCount = color.size();
    std::vector<BYTE> mask(pixelCount, 0);
    const bool hasMask = image.Has(next + colorSize, maskSize);
    if (hasMask)
        for (LONG y = 0; y < entry.height; ++y)
        {
            const BYTE *row =
                image.At(next + colorSize + static_cast<size_t>(entry.height - 1 - y) * maskStride);
            for (LONG x = 0; x < entry.width; ++x)
                mask[static_cast<size_t>(y) * static_cast<size_t>(entry.width) + static_cast<size_t>(x)] =
                    (row[x / 8] >> (7 - x % 8)) & 1;
        }
    // Images with an alpha channel use it; the others are opaque where the mask is clear.
    const bool hasAlpha = dib.header.biBitCount == 32 &&
                          std::any_of(color.begin(), color.end(), [](uint32_t p) { return (p >> 24) != 0; });
    if (!hasMask && !hasAlpha)
        return FailNull(ERROR_INVALID_DATA);
    for (size_t i = 0; i < pixelCount; ++i)
    {
        if (hasAlpha)
        {
            if (!hasMask)
                mask[i] = (color[i] >> 24) == 0;
        }
        else
            color[i] = (color[i] & 0xFFFFFF) | (mask[i] ? 0u : 0xFF000000u);
    }

    auto icon = std::make_shared<IconObject>();
    icon->isIcon = type == IMAGE_ICON;
    icon->width = width;
    icon->height = height;
    icon->color = Stretch(color, entry.width, entry.height, width, height);
    icon->mask = Stretch(mask, entry.width, entry.height, width, height);
    if (type == IMAGE_CURSOR && fileType == 2)
    {
        icon->hotX = static_cast<DWORD>(int64_t{entry.hotX} * width / entry.width);
        icon->hotY = static_cast<DWORD>(int64_t{entry.hotY} * height / entry.height);
    }
    else
    {
        icon->hotX = static_cast<DWORD>(width / 2);
        icon->hotY = static_cast<DWORD>(height / 2);
    }
    return Insert(std::move(icon));
}

std::shared_ptr<BitmapObject> DdbOf(const Pixels &pixels, LONG width, LONG height, WORD bitsPixel)
{
    auto bitmap = std::make_shared<BitmapObject>();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bitsPixel = bitsPixel;
    bitmap->pixels = pixels;
    return bitmap;
}

BOOL DestroyIconObject(HICON icon)
{
    if (!plat::GetHandleObject<IconObject>(icon, plat::ObjectKind::Icon) || !plat::RemoveHandle(icon))
        return plat::Fail(ERROR_INVALID_CURSOR_HANDLE);
    return TRUE;
}

void FillBitmap(const BitmapObject &bitmap, BITMAP &out)
{
    out = {};
    out.bmWidth = bitmap.width;
    out.bmHeight = bitmap.height;
    out.bmPlanes = 1;
    out.bmBitsPixel = bitmap.bitsPixel;
    if (bitmap.isDibSection)
    {
        out.bmWidthBytes = static_cast<LONG>(bitmap.dib.Stride());
        out.bmBits = const_cast<BYTE *>(bitmap.dib.bits.data());
    }
    else // device-dependent rows are WORD-aligned
        out.bmWidthBytes =
            static_cast<LONG>(((static_cast<size_t>(bitmap.width) * bitmap.bitsPixel + 15) / 16) * 2);
}
} // namespace

// LoadImageA: a bitmap, icon or cursor from a file (LR_LOADFROMFILE). Bitmaps: uncompressed
// .bmp files of 1, 4, 8, 16, 24 or 32 bits per pixel (BI_RGB or BI_BITFIELDS), rows bottom-up or
// top-down, core or info headers; a device-dependent bitmap at the screen's depth, or with
// LR_CREATEDIBSECTION a DIB section keeping the file's format; cx/cy stretch it (nearest pixel).
// Icons and cursors: the .ico/.cur image closest to the size asked for (cx/cy, or with 0 the
// system size under LR_DEFAULTSIZE, else the first image's size), deepest colour first, stretched
// to that size. Differs: RLE, JPEG and PNG images fail with ERROR_CALL_NOT_IMPLEMENTED, as do
// LR_MONOCHROME, LR_LOADTRANSPARENT, LR_LOADMAP3DCOLORS, LR_VGACOLOR, LR_SHARED and the copy flags;
// images from a module's resources fail with ERROR_RESOURCE_TYPE_NOT_FOUND (the kit's libraries
// carry no Windows resources); damaged files fail with ERROR_INVALID_DATA; pictures over 16384
// pixels a side or 16M pixels, and files over 64 MB, are refused.
HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad)
{
    if (type == IMAGE_ENHMETAFILE || (fuLoad & ~kSupportedLoadFlags))
        return FailNull(ERROR_CALL_NOT_IMPLEMENTED);
    if (type != IMAGE_BITMAP && type != IMAGE_ICON && type != IMAGE_CURSOR)
        return FailNull(ERROR_INVALID_PARAMETER);
    if (!(fuLoad & LR_LOADFROMFILE))
        return FailNull(ERROR_RESOURCE_TYPE_NOT_FOUND);
    if (!name || IS_INTRESOURCE(name) || cx < 0 || cy < 0 || cx > kMaxDimension || cy > kMaxDimension ||
        static_cast<uint64_t>(std::max(cx, 1)) * static_cast<uint64_t>(std::max(cy, 1)) > kMaxPixels)
        return FailNull(ERROR_INVALID_PARAMETER);
    std::vector<BYTE> data;
    if (!ReadWholeFile(name, data))
        return nullptr;
    const Bytes bytes(data);
    return type == IMAGE_BITMAP ? LoadBitmapFile(bytes, cx, cy, fuLoad)
                                : LoadIconFile(bytes, type, cx, cy, fuLoad);
}

// DestroyIcon: frees an icon (or a cursor); other handles give ERROR_INVALID_CURSOR_HANDLE.
BOOL WINAPI DestroyIcon(HICON hIcon)
{
    return DestroyIconObject(hIcon);
}

// DestroyCursor: frees a cursor (or an icon); other handles give ERROR_INVALID_CURSOR_HANDLE.
BOOL WINAPI DestroyCursor(HCURSOR hCursor)
{
    return DestroyIconObject(hCursor);
}

// GetIconInfo: the hotspot (an icon's centre) and two new bitmaps the caller deletes: the
// monochrome AND mask (white = transparent) and the 32-bit colour image, alpha included.
BOOL WINAPI GetIconInfo(HICON hIcon, PICONINFO piconinfo)
{
    auto icon = plat::GetHandleObject<IconObject>(hIcon, plat::ObjectKind::Icon);
    if (!icon)
        return plat::Fail(ERROR_INVALID_CURSOR_HANDLE);
    if (!piconinfo)
        return plat::Fail(ERROR_NOACCESS);
    Pixels maskPixels(icon->mask.size());
    std::transform(icon->mask.begin(), icon->mask.end(), maskPixels.begin(),
                   [](BYTE m) { return m ? 0x00FFFFFFu : 0u; });
    HANDLE mask = Insert(DdbOf(maskPixels, icon->width, icon->height, 1));
    if (!mask)
        return FALSE;
    HANDLE color = Insert(DdbOf(icon->color, icon->width, icon->height, kScreenBitsPixel));
    if (!color)
    {
        plat::RemoveHandle(mask);
        return FALSE;
    }
    piconinfo->fIcon = icon->isIcon;
    piconinfo->xHotspot = icon->hotX;
    piconinfo->yHotspot = icon->hotY;
    piconinfo->hbmMask = static_cast<HBITMAP>(mask);
    piconinfo->hbmColor = static_cast<HBITMAP>(color);
    return TRUE;
}

// GetSystemMetrics: the screen size and the icon and cursor sizes; 0 for other indexes.
int WINAPI GetSystemMetrics(int nIndex)
{
    switch (nIndex)
    {
    case SM_CXSCREEN:
        return kScreenWidth;
    case SM_CYSCREEN:
        return kScreenHeight;
    case SM_CXICON:
    case SM_CYICON:
        return kIconSize;
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return kCursorSize;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return kSmallIconSize;
    default:
        return 0;
    }
}

// GetDC: a device context of the screen (hWnd NULL) or of a window; ReleaseDC gives it back.
// Differs: a window's device context has the screen's capabilities and draws nothing.
HDC WINAPI GetDC(HWND hWnd)
{
    if (hWnd && !IsWindow(hWnd))
        return FailNull(ERROR_INVALID_WINDOW_HANDLE);
    return static_cast<HDC>(Insert(std::make_shared<DcObject>(hWnd)));
}

// ReleaseDC: 1 when the device context was the window's (or the screen's) and is released, else 0.
int WINAPI ReleaseDC(HWND hWnd, HDC hDC)
{
    auto dc = plat::GetHandleObject<DcObject>(hDC, plat::ObjectKind::DeviceContext);
    if (!dc || dc->window != hWnd)
        return 0;
    return plat::RemoveHandle(hDC) ? 1 : 0;
}

// GetDeviceCaps: the screen's figures: LOGPIXELSX/LOGPIXELSY from the PC's display setting
// (machine.ini [Display] LogPixelsX, 1 to 480, else 96; the same value both ways, as Windows
// keeps them), 1024 x 768 pixels of 32 bits in one plane, a raster display without a palette.
// Other indexes, and a handle that is not a device context: 0.
int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    if (!plat::GetHandleObject<DcObject>(hdc, plat::ObjectKind::DeviceContext))
        return 0;
    switch (index)
    {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return LogicalPixelsPerInch();
    case TECHNOLOGY:
        return DT_RASDISPLAY;
    case HORZRES:
        return kScreenWidth;
    case VERTRES:
        return kScreenHeight;
    case HORZSIZE: // millimetres at the logical resolution
        return kScreenWidth * 254 / (10 * LogicalPixelsPerInch());
    case VERTSIZE:
        return kScreenHeight * 254 / (10 * LogicalPixelsPerInch());
    case BITSPIXEL:
        return kScreenBitsPixel;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    case COLORRES:
        return 24;
    default:
        return 0;
    }
}

// CreatePalette: a logical palette of the entries given. palVersion must be 0x300 and there
// must be at least one entry (ERROR_INVALID_PARAMETER otherwise).
HPALETTE WINAPI CreatePalette(const LOGPALETTE *plpal)
{
    if (!plpal || plpal->palVersion != kPaletteVersion || plpal->palNumEntries == 0)
        return FailNull(ERROR_INVALID_PARAMETER);
    auto palette = std::make_shared<PaletteObject>();
    palette->entries.assign(plpal->palPalEntry, plpal->palPalEntry + plpal->palNumEntries);
    return static_cast<HPALETTE>(Insert(std::move(palette)));
}

// GetPaletteEntries: copies entries from iStart on; with pPalEntries NULL the number of entries.
UINT WINAPI GetPaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries, LPPALETTEENTRY pPalEntries)
{
    auto palette = plat::GetHandleObject<PaletteObject>(hpal, plat::ObjectKind::Palette);
    if (!palette)
        return 0;
    const size_t count = palette->entries.size();
    if (!pPalEntries)
        return static_cast<UINT>(count);
    if (iStart >= count)
        return 0;
    const size_t copied = std::min<size_t>(cEntries, count - iStart);
    std::copy_n(palette->entries.begin() + iStart, copied, pPalEntries);
    return static_cast<UINT>(copied);
}

// GetObjectA: a bitmap's BITMAP (or, when the buffer is that large, a DIB section's DIBSECTION;
// with pv NULL the size of a BITMAP), a palette's number of entries (a WORD). 0 for a buffer too
// small or a handle that is neither (icons and device contexts included).
int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv)
{
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(h);
    if (object && object->Kind() == plat::ObjectKind::Bitmap)
    {
        const auto &bitmap = static_cast<const BitmapObject &>(*object);
        if (!pv)
            return sizeof(BITMAP);
        if (bitmap.isDibSection && c >= static_cast<int>(sizeof(DIBSECTION)))
        {
            DIBSECTION section{};
            FillBitmap(bitmap, section.dsBm);
            section.dsBmih = bitmap.dib.header;
            if (bitmap.dib.header.biBitCount == 16 || bitmap.dib.header.biBitCount == 32)
                std::copy_n(bitmap.dib.masks, 3, section.dsBitfields);
            std::memcpy(pv, &section, sizeof section);
            return sizeof(DIBSECTION);
        }
        if (c < static_cast<int>(sizeof(BITMAP)))
            return 0;
        BITMAP out;
        FillBitmap(bitmap, out);
        std::memcpy(pv, &out, sizeof out);
        return sizeof(BITMAP);
    }
    if (object && object->Kind() == plat::ObjectKind::Palette)
    {
        if (!pv)
            return sizeof(WORD);
        if (c < static_cast<int>(sizeof(WORD)))
            return 0;
        const WORD count = static_cast<WORD>(static_cast<const PaletteObject &>(*object).entries.size());
        std::memcpy(pv, &count, sizeof count);
        return sizeof(WORD);
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

// GetObjectType: OBJ_BITMAP, OBJ_PAL or OBJ_DC; 0 (ERROR_INVALID_HANDLE) for anything else.
DWORD WINAPI GetObjectType(HGDIOBJ h)
{
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(h);
    if (object)
    {
        switch (object->Kind())
        {
        case plat::ObjectKind::Bitmap:
            return OBJ_BITMAP;
        case plat::ObjectKind::Palette:
            return OBJ_PAL;
        case plat::ObjectKind::DeviceContext:
            return OBJ_DC;
        default:
            break;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

// DeleteObject: frees a bitmap or a palette. Icons (DestroyIcon), device contexts (ReleaseDC)
// and other handles are refused with ERROR_INVALID_HANDLE.
BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(ho);
    if (!object ||
        (object->Kind() != plat::ObjectKind::Bitmap && object->Kind() != plat::ObjectKind::Palette))
        return plat::Fail(ERROR_INVALID_HANDLE);
    return plat::RemoveHandle(ho) ? TRUE : plat::Fail(ERROR_INVALID_HANDLE);
}

// GetDIBits: a bitmap's pixels as a 32-bit BI_RGB DIB (rows bottom-up for a positive biHeight,
// top-down for a negative one), scan lines `start` to start + cLines - 1 counted in that order;
// returns the lines copied. With lpvBits NULL and biBitCount 0 it describes the bitmap in the
// header instead. Differs: other output formats and DIB_PAL_COLORS fail with
// ERROR_CALL_NOT_IMPLEMENTED; biWidth must be the bitmap's width.
int WINAPI GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits, LPBITMAPINFO lpbmi,
                     UINT usage)
{
    if (!plat::GetHandleObject<DcObject>(hdc, plat::ObjectKind::DeviceContext))
        return 0;
    auto bitmap = plat::GetHandleObject<BitmapObject>(hbm, plat::ObjectKind::Bitmap);
    if (!bitmap)
        return 0;
    if (!lpbmi || lpbmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER))
        return FailZero(ERROR_INVALID_PARAMETER);
    if (usage != DIB_RGB_COLORS)
        return FailZero(ERROR_CALL_NOT_IMPLEMENTED);
    BITMAPINFOHEADER &h = lpbmi->bmiHeader;
    if (!lpvBits && h.biBitCount == 0)
    {
        const WORD bpp = bitmap->isDibSection ? bitmap->dib.header.biBitCount : bitmap->bitsPixel;
        h.biWidth = bitmap->width;
        h.biHeight = bitmap->height;
        h.biPlanes = 1;
        h.biBitCount = bpp;
        h.biCompression = BI_RGB;
        h.biSizeImage =
            static_cast<DWORD>(StrideOf(bitmap->width, bpp) * static_cast<size_t>(bitmap->height));
        h.biClrUsed = 0;
        h.biClrImportant = 0;
        return bitmap->height;
    }
    if (h.biBitCount != 32 || h.biCompression != BI_RGB)
        return FailZero(ERROR_CALL_NOT_IMPLEMENTED);
    if (h.biWidth != bitmap->width || h.biHeight == 0)
        return FailZero(ERROR_INVALID_PARAMETER);
    h.biSizeImage =
        static_cast<DWORD>(static_cast<size_t>(bitmap->width) * static_cast<size_t>(bitmap->height) * 4);
    if (!lpvBits)
        return bitmap->height;
    const size_t height = static_cast<size_t>(bitmap->height);
    if (start >= height)
        return 0;
    const size_t lines = std::min<size_t>(cLines, height - start);
    const Pixels decoded = bitmap->isDibSection ? Decode(bitmap->dib) : Pixels();
    const Pixels &pixels = bitmap->isDibSection ? decoded : bitmap->pixels;
    const size_t width = static_cast<size_t>(bitmap->width);
    auto *out = static_cast<BYTE *>(lpvBits);
    for (size_t i = 0; i < lines; ++i)
    {
        const size_t scan = start + i;
        const size_t row = h.biHeight > 0 ? height - 1 - scan : scan;
        std::memcpy(out + i * width * 4, pixels.data() + row * width, width * 4);
    }
    return static_cast<int>(lines);
}
