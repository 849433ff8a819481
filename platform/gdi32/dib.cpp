// The BMP and ICO/CUR decoder: headers, colour tables, masks and rows into 32-bit pixels.
#include "platform/gdi32/dib.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace
{
using plat::dib::Pixels;

// One colour component under a mask, widened to 8 bits.
BYTE Component(DWORD value, DWORD mask)
{
    if (!mask)
        return 0;
    const int shift = std::countr_zero(mask);
    const DWORD field = mask >> shift;
    // In 64 bits: a field of 25 bits or more times 255 does not fit in 32.
    const int width = std::countr_one(field);
    const uint64_t maximum = (uint64_t{1} << width) - 1;
    const uint64_t v = (value >> shift) & maximum;
    return static_cast<BYTE>(v * 255u / maximum);
}

uint32_t Rgb(BYTE r, BYTE g, BYTE b, BYTE a = 0)
{
    return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) |
           (static_cast<uint32_t>(g) << 8) | b;
}

} // namespace

namespace plat::dib
{
size_t StrideOf(LONG width, WORD bitCount)
{
    return ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
}

bool SizeAllowed(LONG width, LONG height)
{
    return width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension &&
           static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kMaxPixels;
}

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

DWORD ReadBitmapFile(const Bytes &b, Dib &dib)
{
    if (!b.Has(0, sizeof(BITMAPFILEHEADER)) || b.U16(0) != 0x4D42) // "BM"
        return ERROR_INVALID_DATA;
    size_t next = 0;
    if (DWORD error = ReadDibHeader(b, sizeof(BITMAPFILEHEADER), dib, next))
        return error;
    const DWORD offBits = b.U32(10);
    const size_t bitsAt = offBits != 0 ? offBits : next;
    const size_t bitsSize = dib.Stride() * static_cast<size_t>(dib.Height());
    if (!b.Has(bitsAt, bitsSize))
        return ERROR_INVALID_DATA;
    dib.bits.assign(b.At(bitsAt), b.At(bitsAt) + bitsSize);
    return ERROR_SUCCESS;
}

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

DWORD ReadIconImage(const Bytes &b, const IconEntry &entry, IconImage &image)
{
    // The image: a DIB of twice the height, the colour (XOR) rows then the AND mask rows.
    Dib dib;
    size_t next = 0;
    const Bytes bytes(std::span<const BYTE>(b.At(entry.offset), entry.size));
    if (DWORD error = ReadDibHeader(bytes, 0, dib, next))
        return error;
    if (dib.TopDown())
        return ERROR_INVALID_DATA;
    dib.header.biHeight = entry.height;
    const size_t colorSize = dib.Stride() * static_cast<size_t>(entry.height);
    const size_t maskStride = StrideOf(entry.width, 1);
    const size_t maskSize = maskStride * static_cast<size_t>(entry.height);
    if (!bytes.Has(next, colorSize))
        return ERROR_INVALID_DATA;
    dib.bits.assign(bytes.At(next), bytes.At(next) + colorSize);
    image.color = Decode(dib);
    Pixels &color = image.color;

    const size_t pixelCount = color.size();
    image.mask.assign(pixelCount, 0);
    std::vector<BYTE> &mask = image.mask;
    const bool hasMask = bytes.Has(next + colorSize, maskSize);
    if (hasMask)
        for (LONG y = 0; y < entry.height; ++y)
        {
            const BYTE *row =
                bytes.At(next + colorSize + static_cast<size_t>(entry.height - 1 - y) * maskStride);
            for (LONG x = 0; x < entry.width; ++x)
                mask[static_cast<size_t>(y) * static_cast<size_t>(entry.width) + static_cast<size_t>(x)] =
                    (row[x / 8] >> (7 - x % 8)) & 1;
        }
    // Images with an alpha channel use it; the others are opaque where the mask is clear.
    const bool hasAlpha = dib.header.biBitCount == 32 &&
                          std::any_of(color.begin(), color.end(), [](uint32_t p) { return (p >> 24) != 0; });
    if (!hasMask && !hasAlpha)
        return ERROR_INVALID_DATA;
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
    return ERROR_SUCCESS;
}
} // namespace plat::dib
