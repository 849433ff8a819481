// The AVI reader on the wizard's own animation and on small clips written here in every layout
// it plays, and on damaged and hostile files.
#include "outside/qelmfc/Avi.h"
#include "platform/windows.h"
#include "testing/check.h"
#include "testing/kittest.h"
#include "testing/pcfile.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace
{
using qelmfc::CAviFile;
using Bytes = std::vector<std::uint8_t>;

const std::string kResDir = KIT_WIZARD_RES_DIR;

// Writing RIFF ----------------------------------------------------------------------------------

void Put16(Bytes &out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes &out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutFcc(Bytes &out, const char *fourcc)
{
    out.insert(out.end(), fourcc, fourcc + 4);
}

void Append(Bytes &out, const Bytes &more)
{
    out.insert(out.end(), more.begin(), more.end());
}

Bytes Chunk(const char *id, const Bytes &body)
{
    Bytes out;
    PutFcc(out, id);
    Put32(out, static_cast<std::uint32_t>(body.size()));
    Append(out, body);
    if (body.size() % 2)
        out.push_back(0);
    return out;
}

Bytes List(const char *kind, const char *type, const std::vector<Bytes> &children)
{
    Bytes body;
    PutFcc(body, type);
    for (const Bytes &child : children)
        Append(body, child);
    return Chunk(kind, body);
}

Bytes Junk(std::size_t size)
{
    return Chunk("JUNK", Bytes(size, 0xA5));
}

// A clip and how its file is laid out ---------------------------------------------------------

enum class Index
{
    Relative, // offsets from the "movi" word, as written by Windows
    Absolute, // offsets from the start of the file
    Reversed, // the frames listed last to first
    Damaged,  // offsets that point nowhere
    None,
};

struct Clip
{
    int width = 5; // rows of 5 pixels need padding at every depth
    int height = 3;
    int bitCount = 24;
    bool topDown = false;
    int frames = 3;
    std::uint32_t declaredFrames = 0; // avih's dwTotalFrames when not 0
    std::uint32_t compression = BI_RGB;
    std::uint32_t clrUsed = 0;
    std::size_t paletteEntries = 256;
    std::uint32_t microSecPerFrame = 100000;
    std::uint32_t rate = 10;
    bool soundFirst = false; // a sound stream before the video: the video is stream 01
    const char *frameKind = "db";
    bool recLists = false;
    bool junk = false;
    Index index = Index::Relative;
    int shortFrame = -1; // this frame's chunk lacks its last byte
};

int Colours(const Clip &clip)
{
    return clip.bitCount == 8 && clip.clrUsed ? static_cast<int>(clip.clrUsed) : 256;
}

std::uint32_t Expand5(std::uint32_t c)
{
    return c << 3 | c >> 2;
}

// Colours with 5-bit components, so every depth carries them exactly.
std::uint32_t Colour(int k)
{
    return 0xFF000000u | Expand5(k % 32) << 16 | Expand5(k / 8 % 32) << 8 | Expand5((k * 7 + 3) % 32);
}

int ColourIndex(const Clip &clip, int frame, int x, int y)
{
    return (frame * 37 + y * 11 + x * 3) % Colours(clip);
}

std::uint32_t Expected(const Clip &clip, int frame, int x, int y)
{
    return Colour(ColourIndex(clip, frame, x, y));
}

void PutPixel(Bytes &out, int bitCount, int k)
{
    const std::uint32_t c = Colour(k);
    const std::uint32_t r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
    switch (bitCount)
    {
    case 8:
        out.push_back(static_cast<std::uint8_t>(k));
        break;
    case 16:
        Put16(out, (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
        break;
    default:
        out.insert(out.end(), {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g),
                               static_cast<std::uint8_t>(r)});
        if (bitCount == 32)
            out.push_back(0x5A); // not alpha in BI_RGB: ignored
    }
}

Bytes FramePixels(const Clip &clip, int frame)
{
    Bytes out;
    for (int row = 0; row < clip.height; ++row)
    {
        const int y = clip.topDown ? row : clip.height - 1 - row;
        for (int x = 0; x < clip.width; ++x)
            PutPixel(out, clip.bitCount, ColourIndex(clip, frame, x, y));
        out.resize((out.size() + 3) / 4 * 4, 0);
    }
    return out;
}

Bytes StreamList(const char *type, const Clip &clip, const Bytes &format)
{
    Bytes strh;
    PutFcc(strh, type);
    PutFcc(strh, type[0] == 'v' ? "DIB " : "\0\0\0\0");
    for (std::uint32_t v :
         {0u, 0u, 0u, 1u, clip.rate, 0u, static_cast<std::uint32_t>(clip.frames), 0u, 0u, 0u, 0u, 0u})
        Put32(strh, v);
    return List("LIST", "strl", {Chunk("strh", strh), Chunk("strf", format)});
}

Bytes VideoFormat(const Clip &clip)
{
    Bytes strf;
    for (std::uint32_t v : {40u, static_cast<std::uint32_t>(clip.width),
                            static_cast<std::uint32_t>(clip.topDown ? -clip.height : clip.height)})
        Put32(strf, v);
    Put16(strf, 1);
    Put16(strf, static_cast<std::uint32_t>(clip.bitCount));
    for (std::uint32_t v : {clip.compression, 0u, 0u, 0u, clip.clrUsed, 0u})
        Put32(strf, v);
    if (clip.bitCount == 8)
        for (std::size_t i = 0; i < clip.paletteEntries; ++i)
        {
            const std::uint32_t c = Colour(static_cast<int>(i));
            strf.insert(strf.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                     static_cast<std::uint8_t>(c >> 16), 0});
        }
    return strf;
}

Bytes Headers(const Clip &clip)
{
    Bytes avih;
    const int streams = clip.soundFirst ? 2 : 1;
    for (std::uint32_t v :
         {clip.microSecPerFrame, 0u, 0u, clip.index == Index::None ? 0u : 0x10u,
          clip.declaredFrames ? clip.declaredFrames : static_cast<std::uint32_t>(clip.frames), 0u,
          static_cast<std::uint32_t>(streams), 0u, static_cast<std::uint32_t>(clip.width),
          static_cast<std::uint32_t>(clip.height), 0u, 0u, 0u, 0u})
        Put32(avih, v);
    std::vector<Bytes> children{Chunk("avih", avih)};
    if (clip.junk)
        children.push_back(Junk(7));
    if (clip.soundFirst)
        children.push_back(StreamList("auds", clip, Bytes(18, 1)));
    children.push_back(StreamList("vids", clip, VideoFormat(clip)));
    return List("LIST", "hdrl", children);
}

struct IndexEntry
{
    std::string id;
    std::uint32_t offset; // from the "movi" word
    std::uint32_t size;
};

// The "movi" list and what idx1 says of it.
Bytes Movie(const Clip &clip, std::vector<IndexEntry> &entries)
{
    const std::string frameId = std::string(clip.soundFirst ? "01" : "00") + clip.frameKind;
    Bytes body;
    PutFcc(body, "movi");
    auto add = [&](const std::string &id, const Bytes &data) {
        const Bytes chunk = Chunk(id.c_str(), data);
        // Inside a "rec " list the chunk starts after the list's header and type.
        const std::size_t at = body.size() + (clip.recLists ? 12 : 0);
        entries.push_back({id, static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(data.size())});
        Append(body, clip.recLists ? List("LIST", "rec ", {chunk}) : chunk);
    };
    for (int f = 0; f < clip.frames; ++f)
    {
        if (clip.junk)
            Append(body, Junk(3));
        if (clip.soundFirst)
            add("00wb", Bytes(5, 0x80));
        Bytes pixels = FramePixels(clip, f);
        if (f == clip.shortFrame)
            pixels.pop_back();
        add(frameId, pixels);
    }
    return Chunk("LIST", body);
}

Bytes IndexChunk(const Clip &clip, std::vector<IndexEntry> entries, std::uint32_t moviWord)
{
    if (clip.index == Index::Reversed)
        std::reverse(entries.begin(), entries.end());
    Bytes idx1;
    for (const IndexEntry &e : entries)
    {
        PutFcc(idx1, e.id.c_str());
        Put32(idx1, 0x10);
        const std::uint32_t base = clip.index == Index::Absolute  ? moviWord
                                   : clip.index == Index::Damaged ? 1000003u
                                                                  : 0u;
        Put32(idx1, base + e.offset);
        Put32(idx1, e.size);
    }
    return Chunk("idx1", idx1);
}

Bytes Write(const Clip &clip)
{
    std::vector<IndexEntry> entries;
    Bytes body;
    PutFcc(body, "AVI ");
    Append(body, Headers(clip));
    if (clip.junk)
        Append(body, Junk(1));
    const auto moviWord = static_cast<std::uint32_t>(8 + body.size() + 8);
    Append(body, Movie(clip, entries));
    if (clip.index != Index::None)
        Append(body, IndexChunk(clip, entries, moviWord));
    return Chunk("RIFF", body);
}

// Checking --------------------------------------------------------------------------------------

testing::AssertionResult Parses(CAviFile &avi, const Bytes &file)
{
    std::string why;
    if (avi.Parse(file.data(), file.size(), &why))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "refused: " << why;
}

// Every pixel of every frame of the clip.
void ExpectFrames(const CAviFile &avi, const Clip &clip, kittest::Caller where = kittest::Caller::current())
{
    kittest::CallerTrace trace(where);
    ASSERT_EQ(clip.width, avi.Width());
    ASSERT_EQ(clip.height, avi.Height());
    ASSERT_EQ(clip.frames, avi.FrameCount());
    std::vector<std::uint32_t> pixels;
    for (int i = 0; i < avi.FrameCount(); ++i)
    {
        ASSERT_TRUE(avi.Frame(i, pixels));
        ASSERT_EQ(static_cast<std::size_t>(clip.width * clip.height), pixels.size());
        for (int y = 0; y < clip.height; ++y)
            for (int x = 0; x < clip.width; ++x)
                ASSERT_EQ(Expected(clip, i, x, y), pixels[y * clip.width + x])
                    << "frame " << i << " at " << x << "," << y;
    }
}

// Refused, with a reason holding `reason`, and left empty.
void ExpectRefused(const Bytes &file, const char *reason = "",
                   kittest::Caller where = kittest::Caller::current())
{
    kittest::CallerTrace trace(where);
    CAviFile avi;
    std::string why;
    EXPECT_FALSE(avi.Parse(file.data(), file.size(), &why));
    EXPECT_FALSE(why.empty());
    EXPECT_NE(std::string::npos, why.find(reason)) << why;
    EXPECT_EQ(0, avi.FrameCount());
    std::vector<std::uint32_t> pixels;
    EXPECT_FALSE(avi.Frame(0, pixels));
}

void Poke32(Bytes &file, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::size_t Find(const Bytes &file, const char *fourcc)
{
    return static_cast<std::size_t>(std::search(file.begin(), file.end(), fourcc, fourcc + 4) - file.begin());
}
} // namespace

// The wizard's own pictures -------------------------------------------------------------------

TEST(WizardAnimation, PlaysTheShippedWaitAnimation)
{
    CAviFile avi;
    std::string why;
    ASSERT_TRUE(avi.Open((kResDir + "/Espera.avi").c_str(), &why)) << why;
    EXPECT_EQ(80, avi.Width());
    EXPECT_EQ(48, avi.Height());
    EXPECT_EQ(100000u, avi.MicroSecPerFrame());
    EXPECT_GE(avi.FrameCount(), 12);
    EXPECT_LE(avi.FrameCount(), 16);
    std::set<std::vector<std::uint32_t>> frames;
    std::vector<std::uint32_t> pixels;
    for (int i = 0; i < avi.FrameCount(); ++i)
    {
        ASSERT_TRUE(avi.Frame(i, pixels));
        // Drawn on the page's grey.
        EXPECT_EQ(0xFFD4D0C8u, pixels.front());
        EXPECT_EQ(0xFFD4D0C8u, pixels.back());
        frames.insert(pixels);
    }
    EXPECT_EQ(static_cast<std::size_t>(avi.FrameCount()), frames.size()) << "frames repeat";
    EXPECT_FALSE(avi.Frame(avi.FrameCount(), pixels));
    EXPECT_FALSE(avi.Frame(-1, pixels));
}

TEST(WizardAnimation, PictureAndIconLoadAsTheWizardLoadsThem)
{
    HANDLE picture =
        LoadImageA(nullptr, (kResDir + "/Foto.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    ASSERT_NE(nullptr, picture) << GetLastError();
    BITMAP bm{};
    ASSERT_EQ(static_cast<int>(sizeof bm), GetObjectA(picture, sizeof bm, &bm));
    EXPECT_EQ(120, bm.bmWidth);
    EXPECT_EQ(250, bm.bmHeight);
    DeleteObject(picture);

    for (int size : {16, 32})
    {
        auto icon = static_cast<HICON>(
            LoadImageA(nullptr, (kResDir + "/Icono.ico").c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
        ASSERT_NE(nullptr, icon) << GetLastError();
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        ASSERT_EQ(static_cast<int>(sizeof bm), GetObjectA(info.hbmColor, sizeof bm, &bm));
        EXPECT_EQ(size, bm.bmWidth);
        EXPECT_EQ(size, bm.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

// Layouts it plays ------------------------------------------------------------------------------

TEST(AviFile, EveryDepthBothRowOrders)
{
    for (int bitCount : {8, 16, 24, 32})
        for (bool topDown : {false, true})
        {
            SCOPED_TRACE(testing::Message() << bitCount << " bits, top-down " << topDown);
            Clip clip;
            clip.bitCount = bitCount;
            clip.topDown = topDown;
            CAviFile avi;
            ASSERT_TRUE(Parses(avi, Write(clip)));
            ExpectFrames(avi, clip);
            EXPECT_EQ(100000u, avi.MicroSecPerFrame());
        }
}

TEST(AviFile, ShortPalettes)
{
    Clip clip;
    clip.bitCount = 8;
    clip.clrUsed = 16;
    clip.paletteEntries = 16;
    CAviFile avi;
    ASSERT_TRUE(Parses(avi, Write(clip)));
    ExpectFrames(avi, clip);

    clip.paletteEntries = 15;
    ExpectRefused(Write(clip), "incompleta");
    clip.clrUsed = 0; // 256 colours, 15 written
    ExpectRefused(Write(clip), "incompleta");
    clip.clrUsed = 257;
    clip.paletteEntries = 257;
    ExpectRefused(Write(clip), "dañada");
}

TEST(AviFile, OtherStreamsRecListsJunkAndCompressedFrameIds)
{
    Clip clip;
    clip.soundFirst = true;
    clip.recLists = true;
    clip.junk = true;
    for (const char *kind : {"db", "dc"})
    {
        SCOPED_TRACE(kind);
        clip.frameKind = kind;
        for (Index index : {Index::Relative, Index::None})
        {
            clip.index = index;
            CAviFile avi;
            ASSERT_TRUE(Parses(avi, Write(clip)));
            ExpectFrames(avi, clip);
        }
    }
}

TEST(AviFile, FramesInFileOrderWhateverTheIndexSays)
{
    Clip clip;
    clip.frames = 4;
    for (Index index : {Index::Relative, Index::Absolute, Index::Reversed, Index::Damaged, Index::None})
    {
        SCOPED_TRACE(static_cast<int>(index));
        clip.index = index;
        CAviFile avi;
        ASSERT_TRUE(Parses(avi, Write(clip)));
        ExpectFrames(avi, clip);
    }
}

TEST(AviFile, FrameTimeFromTheStreamWhenTheMainHeaderHasNone)
{
    Clip clip;
    clip.microSecPerFrame = 0;
    clip.rate = 25;
    CAviFile avi;
    ASSERT_TRUE(Parses(avi, Write(clip)));
    EXPECT_EQ(40000u, avi.MicroSecPerFrame());
}

TEST(AviFile, ReadsFilesOfThePc)
{
    Clip clip;
    const Bytes bytes = Write(clip);
    const std::string path = kittest::MachineDir() + "/temp/clip.avi";
    ASSERT_TRUE(pcfile::Write(path, std::string(bytes.begin(), bytes.end())));
    CAviFile avi;
    std::string why;
    ASSERT_TRUE(avi.Open(path.c_str(), &why)) << why;
    ExpectFrames(avi, clip);

    EXPECT_FALSE(avi.Open((kittest::MachineDir() + "/temp/none.avi").c_str(), &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(0, avi.FrameCount());

    // Too large to be read at all (a sparse file: nothing is written).
    std::filesystem::resize_file(path, CAviFile::kMaxFileSize + 1);
    why.clear();
    EXPECT_FALSE(avi.Open(path.c_str(), &why));
    EXPECT_NE(std::string::npos, why.find("grande")) << why;
}

// Files it refuses ------------------------------------------------------------------------------

TEST(AviFile, RefusesWhatItDoesNotPlay)
{
    const auto with = [](auto change) {
        Clip clip;
        change(clip);
        return Write(clip);
    };
    const auto patched = [](const char *fourcc, std::ptrdiff_t offset, std::uint32_t value) {
        Bytes file = Write(Clip{});
        Poke32(file, static_cast<std::size_t>(static_cast<std::ptrdiff_t>(Find(file, fourcc)) + offset),
               value);
        return file;
    };
    const std::vector<std::tuple<const char *, const char *, Bytes>> cases = {
        {"compressed", "comprimido", with([](Clip &c) { c.compression = BI_RLE8, c.bitCount = 8; })},
        {"MJPG", "comprimido", with([](Clip &c) { c.compression = 0x47504A4D; })},
        {"0 x 0", "tamaño", with([](Clip &c) { c.width = 0, c.height = 0; })},
        {"no width", "tamaño", with([](Clip &c) { c.width = 0; })},
        {"too wide", "tamaño", with([](Clip &c) { c.width = 4097, c.frames = 1; })},
        {"too high", "tamaño", with([](Clip &c) { c.height = 4097, c.width = 1, c.frames = 1; })},
        {"4 bits", "profundidad", with([](Clip &c) { c.bitCount = 4; })},
        {"short frame", "incompleta", with([](Clip &c) { c.shortFrame = 1; })},
        {"short frame, no index", "incompleta",
         with([](Clip &c) { c.shortFrame = 2, c.index = Index::None; })},
        {"no frames", "no tiene imágenes", with([](Clip &c) { c.frames = 0; })},
        {"declares too many frames", "demasiadas",
         with([](Clip &c) { c.declaredFrames = CAviFile::kMaxFrames + 1; })},
        {"not RIFF", "no es un fichero", patched("RIFF", 0, 0x58464952)},
        {"not AVI", "no es un fichero", patched("AVI ", 0, 0x45564157)},
        {"no video", "no tiene vídeo", patched("vids", 0, 0x73747874)},
        {"huge RIFF", "cortado", patched("RIFF", 4, 0xFFFFFFFF)},
        {"huge hdrl", "cortado", patched("hdrl", -4, 0xFFFFFFF0)},
        {"huge strf", "cortado", patched("strf", 4, 0xFFFFFFF7)},
        {"huge header in strf", "formato", patched("strf", 8, 0xFFFFFFFF)},
        {"huge frame chunk", "cortado", patched("00db", 4, 0x7FFFFFFF)},
        {"huge frame size", "incompleta", patched("strf", 12, 4096)},
        {"most negative height", "tamaño", patched("strf", 16, 0x80000000)},
        {"LIST shorter than its type", "cortado", patched("movi", -4, 2)},
        {"empty", "no es un fichero", {}},
    };
    for (const auto &[name, reason, file] : cases)
    {
        SCOPED_TRACE(name);
        ExpectRefused(file, reason);
    }
}

TEST(AviFile, RefusesMoreThanItsLimitOfFrames)
{
    Clip clip;
    clip.width = clip.height = 1;
    clip.bitCount = 8;
    clip.clrUsed = clip.paletteEntries = 1;
    clip.declaredFrames = 1;
    for (Index index : {Index::Relative, Index::None})
    {
        clip.index = index;
        clip.frames = CAviFile::kMaxFrames;
        CAviFile avi;
        ASSERT_TRUE(Parses(avi, Write(clip)));
        EXPECT_EQ(CAviFile::kMaxFrames, avi.FrameCount());
        clip.frames = CAviFile::kMaxFrames + 1;
        ExpectRefused(Write(clip), "demasiadas");
    }
}

TEST(AviFile, TruncatedAtEveryLength)
{
    Clip clip;
    clip.width = 2;
    clip.height = 2;
    clip.frames = 2;
    clip.soundFirst = true;
    const Bytes file = Write(clip);
    const std::size_t moviEnd = Find(file, "idx1");
    for (std::size_t size = 0; size < file.size(); ++size)
    {
        SCOPED_TRACE(size);
        Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
        ExpectRefused(cut);
        // The same with the RIFF size mended to the cut: only an index lost whole leaves a file.
        if (size < 8)
            continue;
        Poke32(cut, 4, static_cast<std::uint32_t>(size - 8));
        CAviFile avi;
        if (size == moviEnd)
        {
            ASSERT_TRUE(Parses(avi, cut));
            ExpectFrames(avi, clip);
        }
        else
            ExpectRefused(cut);
    }
}
