// Bitmap and icon files decoded into pixels (internal): the parsers behind LoadImageA, apart
// from any handle so they can be tried on any bytes. Every read is checked against the data's end.
#pragma once

#include "platform/windows.h"

#include <cstdint>
#include <span>
#include <vector>

namespace plat::dib
{
// What an image may be here: larger files or pictures are refused rather than risking the
// memory they would take.
constexpr LONG kMaxDimension = 16384;
constexpr uint64_t kMaxPixels = uint64_t{1} << 24;

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

size_t StrideOf(LONG width, WORD bitCount);

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

// Whether a picture of that size may be made: both sides 1..16384 and at most 16M pixels.
bool SizeAllowed(LONG width, LONG height);

// Reads a DIB header (core, info or a later version) at `offset` and the colour table and masks
// after it; `next` is where the bits would follow. ERROR_SUCCESS or the reason it is refused.
DWORD ReadDibHeader(const Bytes &b, size_t offset, Dib &dib, size_t &next);

// The DIB's pixels, rows from the top. Indexes beyond the colour table read as black.
Pixels Decode(const Dib &dib);

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
Dib DibOfPixels(const Pixels &pixels, LONG width, LONG height);

// A .bmp file: its header, colours and bits. ERROR_SUCCESS, ERROR_INVALID_DATA, or
// ERROR_CALL_NOT_IMPLEMENTED for compressed bitmaps.
DWORD ReadBitmapFile(const Bytes &b, Dib &dib);

// One image of an icon or cursor file, as its directory and its own header describe it.
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

// The images of an icon (fileType 1) or cursor (2) file that this decoder can read (PNG images
// are left out, and noted in sawPng). ERROR_SUCCESS when there is at least one.
DWORD ReadIconDirectory(const Bytes &b, WORD &fileType, std::vector<IconEntry> &entries, bool &sawPng);

// The image closest in size, then the deepest colour, as Windows chooses among an icon's images.
const IconEntry &BestEntry(const std::vector<IconEntry> &entries, LONG cx, LONG cy);

// An icon image at its own size: the colour with its alpha (opaque where the mask is clear) and
// the mask, one byte a pixel, 1 = transparent.
struct IconImage
{
    Pixels color;
    std::vector<BYTE> mask;
};

// Decodes the entry's image: a DIB of twice the height, the colour (XOR) rows then the AND mask
// rows; an image with an alpha channel may leave the mask out.
DWORD ReadIconImage(const Bytes &b, const IconEntry &entry, IconImage &image);
} // namespace plat::dib
