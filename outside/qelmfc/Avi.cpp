// Reader of uncompressed AVI files. The layout is RIFF "AVI " holding LIST "hdrl" (avih, then a
// LIST "strl" of strh + strf per stream), LIST "movi" (the "##db"/"##dc" frame chunks, maybe in
// LIST "rec " groups) and idx1. Every chunk must lie inside its parent. The frames are found by
// walking "movi", which is the truth for a clip played in a loop: idx1 is not needed, so a
// missing or damaged one does not matter.
#include "outside/qelmfc/Avi.h"

#include "platform/windows.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace qelmfc
{
namespace
{
constexpr std::uint32_t Fcc(const char (&text)[5])
{
    return static_cast<std::uint8_t>(text[0]) | static_cast<std::uint8_t>(text[1]) << 8 |
           static_cast<std::uint8_t>(text[2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[3])) << 24;
}

constexpr std::uint32_t kRiff = Fcc("RIFF");
constexpr std::uint32_t kAvi = Fcc("AVI ");
constexpr std::uint32_t kList = Fcc("LIST");
constexpr std::uint32_t kHdrl = Fcc("hdrl");
constexpr std::uint32_t kAvih = Fcc("avih");
constexpr std::uint32_t kStrl = Fcc("strl");
constexpr std::uint32_t kStrh = Fcc("strh");
constexpr std::uint32_t kStrf = Fcc("strf");
constexpr std::uint32_t kVids = Fcc("vids");
constexpr std::uint32_t kMovi = Fcc("movi");
constexpr std::uint32_t kRec = Fcc("rec ");

constexpr std::size_t kChunkHeader = 8;
constexpr std::size_t kBitmapInfoHeader = 40;
constexpr std::size_t kPaletteSize = 256;
// "rec " groups are one level deep in practice; deeper nesting is skipped, not followed.
constexpr int kMaxRecDepth = 4;
// Chunk ids carry the stream number in two decimal digits.
constexpr int kMaxStreams = 100;
constexpr std::uint32_t kOpaque = 0xFF000000u;

constexpr const char *kNotAvi = "no es un fichero AVI";
constexpr const char *kTruncated = "fichero AVI cortado o dañado";
constexpr const char *kTooManyFrames = "demasiadas imágenes en el AVI";
constexpr const char *kShortFrame = "imagen del AVI incompleta";

std::uint16_t Le16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Le32(const std::uint8_t *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// A chunk inside data: its id, and where its body starts and ends.
struct Chunk
{
    std::uint32_t id = 0;
    std::size_t body = 0;
    std::size_t end = 0;

    std::size_t Size() const { return end - body; }
};

// The chunks one after another in [begin, end) of data. A chunk reaching past end makes the
// walk stop with Broken(); a missing pad byte after the last odd chunk is forgiven.
class ChunkWalker
{
  public:
    ChunkWalker(const std::vector<std::uint8_t> &data, std::size_t begin, std::size_t end)
        : data_(data), next_(begin), end_(end)
    {
    }

    bool Next(Chunk &chunk)
    {
        if (broken_ || next_ >= end_)
            return false;
        if (end_ - next_ < kChunkHeader)
            return Break();
        chunk.id = Le32(&data_[next_]);
        const std::uint32_t size = Le32(&data_[next_ + 4]);
        chunk.body = next_ + kChunkHeader;
        if (size > end_ - chunk.body)
            return Break();
        chunk.end = chunk.body + size;
        next_ = chunk.end + (size & 1);
        return true;
    }

    bool Broken() const { return broken_; }

  private:
    bool Break()
    {
        broken_ = true;
        return false;
    }

    const std::vector<std::uint8_t> &data_;
    std::size_t next_;
    std::size_t end_;
    bool broken_ = false;
};

// The type of a LIST chunk (0 for other chunks); its children start 4 bytes into the body.
std::uint32_t ListType(const std::vector<std::uint8_t> &data, const Chunk &chunk)
{
    return chunk.id == kList && chunk.Size() >= 4 ? Le32(&data[chunk.body]) : 0;
}

ChunkWalker Children(const std::vector<std::uint8_t> &data, const Chunk &list)
{
    return ChunkWalker(data, list.body + 4, list.end);
}

// What the headers say about the video stream.
struct Video
{
    int number = -1;
    int width = 0;
    int height = 0;
    int bitCount = 0;
    bool topDown = false;
    std::size_t frameSize = 0;
    std::uint32_t microSecPerFrame = 0;
    std::vector<std::uint32_t> palette;

    std::uint32_t ChunkId(const char (&kind)[3]) const
    {
        const char id[5] = {static_cast<char>('0' + number / 10), static_cast<char>('0' + number % 10),
                            kind[0], kind[1], 0};
        return Fcc(id);
    }
    bool IsFrame(std::uint32_t id) const { return id == ChunkId("db") || id == ChunkId("dc"); }
};

std::size_t Stride(int width, int bitCount)
{
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

bool DimensionAllowed(std::int64_t value)
{
    return value >= 1 && value <= CAviFile::kMaxDimension;
}

// The palette after the BITMAPINFOHEADER, always 256 entries (missing ones black).
const char *ReadPalette(const std::uint8_t *colours, std::size_t available, std::uint32_t clrUsed,
                        Video &video)
{
    const std::size_t count = clrUsed ? clrUsed : kPaletteSize;
    if (count > kPaletteSize)
        return "paleta del AVI dañada";
    if (available / 4 < count)
        return "paleta del AVI incompleta";
    video.palette.assign(kPaletteSize, kOpaque);
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::uint8_t *q = colours + 4 * i; // RGBQUAD: blue, green, red, reserved
        video.palette[i] = kOpaque | std::uint32_t{q[2]} << 16 | std::uint32_t{q[1]} << 8 | q[0];
    }
    return nullptr;
}

// strf of a video stream: a BITMAPINFOHEADER, maybe larger (V4/V5), then the palette.
const char *ReadFormat(const std::vector<std::uint8_t> &data, const Chunk &strf, Video &video)
{
    const std::uint8_t *p = data.data() + strf.body;
    if (strf.Size() < kBitmapInfoHeader || Le32(p) < kBitmapInfoHeader || Le32(p) > strf.Size())
        return "formato de vídeo del AVI dañado";
    const std::int64_t width = static_cast<std::int32_t>(Le32(p + 4));
    const std::int64_t height = static_cast<std::int32_t>(Le32(p + 8));
    const int bitCount = Le16(p + 14);
    if (Le32(p + 16) != BI_RGB)
        return "vídeo comprimido: el AVI no se puede mostrar";
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return "profundidad de color del AVI no admitida";
    if (!DimensionAllowed(width) || !DimensionAllowed(std::llabs(height)))
        return "tamaño de imagen del AVI no admitido";
    video.width = static_cast<int>(width);
    video.height = static_cast<int>(std::llabs(height));
    video.topDown = height < 0;
    video.bitCount = bitCount;
    video.frameSize = Stride(video.width, bitCount) * static_cast<std::size_t>(video.height);
    if (bitCount != 8)
        return nullptr;
    const std::size_t headerSize = Le32(p);
    return ReadPalette(p + headerSize, strf.Size() - headerSize, Le32(p + 32), video);
}

// One LIST "strl": a video stream becomes `video` if none was found before; others are ignored.
const char *ReadStream(const std::vector<std::uint8_t> &data, const Chunk &strl, int number, Video &video)
{
    Chunk strh, strf, chunk;
    ChunkWalker walker = Children(data, strl);
    while (walker.Next(chunk))
        if (chunk.id == kStrh && strh.id == 0)
            strh = chunk;
        else if (chunk.id == kStrf && strf.id == 0)
            strf = chunk;
    if (walker.Broken())
        return kTruncated;
    if (video.number >= 0 || number >= kMaxStreams || strh.Size() < 4 || Le32(&data[strh.body]) != kVids)
        return nullptr;
    if (strf.id == 0)
        return "falta el formato de vídeo del AVI";
    video.number = number;
    // dwScale / dwRate, when the main header gives no frame time.
    if (video.microSecPerFrame == 0 && strh.Size() >= 28)
    {
        const std::uint64_t scale = Le32(&data[strh.body + 20]);
        const std::uint64_t rate = Le32(&data[strh.body + 24]);
        if (rate != 0)
            video.microSecPerFrame =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(scale * 1000000 / rate, UINT32_MAX));
    }
    return ReadFormat(data, strf, video);
}

// LIST "hdrl": the main header and the streams, numbered in their order.
const char *ReadHeaders(const std::vector<std::uint8_t> &data, const Chunk &hdrl, Video &video)
{
    bool sawMainHeader = false;
    int streams = 0;
    Chunk chunk;
    ChunkWalker walker = Children(data, hdrl);
    while (walker.Next(chunk))
    {
        if (chunk.id == kAvih && !sawMainHeader)
        {
            // MainAVIHeader: dwMicroSecPerFrame at 0, dwTotalFrames at 16, ... dwHeight at 36.
            if (chunk.Size() < 40)
                return "cabecera del AVI dañada";
            sawMainHeader = true;
            if (Le32(&data[chunk.body + 16]) > static_cast<std::uint32_t>(CAviFile::kMaxFrames))
                return kTooManyFrames;
            const std::uint32_t declared = Le32(&data[chunk.body]);
            if (declared != 0)
                video.microSecPerFrame = declared;
        }
        else if (ListType(data, chunk) == kStrl)
        {
            if (const char *reason = ReadStream(data, chunk, streams++, video))
                return reason;
        }
    }
    if (walker.Broken())
        return kTruncated;
    if (!sawMainHeader)
        return "falta la cabecera del AVI";
    return video.number < 0 ? "el AVI no tiene vídeo" : nullptr;
}

// The frames of the stream in "movi" order, into "rec " groups.
const char *WalkFrames(const std::vector<std::uint8_t> &data, ChunkWalker walker, const Video &video,
                       int depth, std::vector<std::size_t> &frames)
{
    Chunk chunk;
    while (walker.Next(chunk))
    {
        if (video.IsFrame(chunk.id))
        {
            if (chunk.Size() < video.frameSize)
                return kShortFrame;
            if (frames.size() >= static_cast<std::size_t>(CAviFile::kMaxFrames))
                return kTooManyFrames;
            frames.push_back(chunk.body);
        }
        else if (ListType(data, chunk) == kRec && depth < kMaxRecDepth)
        {
            if (const char *reason = WalkFrames(data, Children(data, chunk), video, depth + 1, frames))
                return reason;
        }
    }
    return walker.Broken() ? kTruncated : nullptr;
}

void DecodeRow(const std::uint8_t *row, int width, int bitCount, const std::vector<std::uint32_t> &palette,
               std::uint32_t *out)
{
    for (int x = 0; x < width; ++x)
        switch (bitCount)
        {
        case 8:
            out[x] = palette[row[x]];
            break;
        case 16: {
            const std::uint32_t v = Le16(row + 2 * x);
            const auto expand = [](std::uint32_t c) { return (c << 3) | (c >> 2); };
            out[x] = kOpaque | expand(v >> 10 & 31) << 16 | expand(v >> 5 & 31) << 8 | expand(v & 31);
            break;
        }
        default: { // 24 and 32 bits: blue, green, red (the fourth byte of 32 means nothing in BI_RGB)
            const std::uint8_t *p = row + static_cast<std::size_t>(x) * (bitCount / 8);
            out[x] = kOpaque | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
        }
        }
}

// The file's handle, closed when dropped.
class FileHandle
{
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle()
    {
        if (IsOpen())
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

  private:
    HANDLE handle_;
};
} // namespace

bool CAviFile::Open(const char *path, std::string *error)
{
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return Fail(error, "no se puede abrir el fichero AVI");
    DWORD high = 0;
    const DWORD size = GetFileSize(file.Get(), &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return Fail(error, "no se puede leer el fichero AVI");
    if (high != 0 || size > kMaxFileSize)
        return Fail(error, "fichero AVI demasiado grande");
    std::vector<std::uint8_t> data(size);
    DWORD done = 0;
    for (DWORD read = 0; done < size; done += read)
        if (!ReadFile(file.Get(), data.data() + done, size - done, &read, nullptr) || read == 0)
            return Fail(error, "no se puede leer el fichero AVI");
    data_ = std::move(data);
    return Scan(error);
}

bool CAviFile::Parse(const std::uint8_t *data, std::size_t size, std::string *error)
{
    if (size > kMaxFileSize)
        return Fail(error, "fichero AVI demasiado grande");
    data_.assign(data, data + size);
    return Scan(error);
}

bool CAviFile::Scan(std::string *error)
{
    const std::vector<std::uint8_t> &data = data_;
    if (data.size() < 12 || Le32(&data[0]) != kRiff || Le32(&data[8]) != kAvi)
        return Fail(error, kNotAvi);
    if (Le32(&data[4]) < 4 || Le32(&data[4]) > data.size() - kChunkHeader)
        return Fail(error, kTruncated);

    Chunk chunk, hdrl, movi;
    ChunkWalker walker(data, 12, kChunkHeader + Le32(&data[4]));
    while (walker.Next(chunk))
    {
        const std::uint32_t type = ListType(data, chunk);
        if (type == kHdrl && hdrl.id == 0)
            hdrl = chunk;
        else if (type == kMovi && movi.id == 0)
            movi = chunk;
    }
    if (walker.Broken())
        return Fail(error, kTruncated);
    if (hdrl.id == 0 || movi.id == 0)
        return Fail(error, hdrl.id == 0 ? "falta la cabecera del AVI" : "el AVI no tiene imágenes");

    Video video;
    if (const char *reason = ReadHeaders(data, hdrl, video))
        return Fail(error, reason);
    std::vector<std::size_t> frames;
    if (const char *reason = WalkFrames(data, Children(data, movi), video, 0, frames))
        return Fail(error, reason);
    if (frames.empty())
        return Fail(error, "el AVI no tiene imágenes");

    frames_ = std::move(frames);
    palette_ = std::move(video.palette);
    width_ = video.width;
    height_ = video.height;
    bitCount_ = video.bitCount;
    topDown_ = video.topDown;
    microSecPerFrame_ = video.microSecPerFrame;
    return true;
}

bool CAviFile::Frame(int index, std::vector<std::uint32_t> &pixels) const
{
    if (index < 0 || index >= FrameCount())
        return false;
    const std::size_t stride = Stride(width_, bitCount_);
    const std::size_t width = static_cast<std::size_t>(width_);
    pixels.resize(width * static_cast<std::size_t>(height_));
    for (int y = 0; y < height_; ++y)
    {
        const int sourceRow = topDown_ ? y : height_ - 1 - y;
        const std::uint8_t *row = data_.data() + frames_[static_cast<std::size_t>(index)] +
                                  static_cast<std::size_t>(sourceRow) * stride;
        DecodeRow(row, width_, bitCount_, palette_, pixels.data() + static_cast<std::size_t>(y) * width);
    }
    return true;
}

bool CAviFile::Fail(std::string *error, const char *reason)
{
    *this = CAviFile();
    if (error)
        *error = reason;
    return false;
}
} // namespace qelmfc
