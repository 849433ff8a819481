// libFuzzer target: the bitmap and icon decoder behind LoadImageA, on any bytes. The same bytes
// are read as a .bmp file and as an .ico/.cur file; whatever is accepted must decode to exactly
// its size, resample to any size, and come back unchanged through a 32-bit DIB.
#include "platform/gdi32/dib.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace
{
using namespace plat::dib;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

size_t Area(LONG width, LONG height)
{
    return static_cast<size_t>(width) * static_cast<size_t>(height);
}

// Pixels of width x height survive a 32-bit DIB and a resampling to a small size and back.
void CheckPixels(const Pixels &pixels, LONG width, LONG height)
{
    Check(pixels.size() == Area(width, height));
    Check(Decode(DibOfPixels(pixels, width, height)) == pixels);
    const Pixels small = Stretch(pixels, width, height, 3, 2);
    Check(small.size() == 6);
}

void TryBitmap(const Bytes &bytes)
{
    Dib dib;
    if (ReadBitmapFile(bytes, dib) != ERROR_SUCCESS)
        return;
    Check(SizeAllowed(dib.Width(), dib.Height()));
    Check(dib.bits.size() == dib.Stride() * static_cast<size_t>(dib.Height()));
    Check(dib.header.biBitCount > 8 || dib.colors.size() <= (size_t{1} << dib.header.biBitCount));
    CheckPixels(Decode(dib), dib.Width(), dib.Height());
}

void TryIcon(const Bytes &bytes)
{
    WORD fileType = 0;
    std::vector<IconEntry> entries;
    bool sawPng = false;
    if (ReadIconDirectory(bytes, fileType, entries, sawPng) != ERROR_SUCCESS)
        return;
    Check(!entries.empty() && (fileType == 1 || fileType == 2));
    for (const auto &[cx, cy] : {std::pair<LONG, LONG>{32, 32}, {16, 16}, {entries.front().width, 1}})
    {
        const IconEntry &entry = BestEntry(entries, cx, cy);
        Check(SizeAllowed(entry.width, entry.height));
        IconImage image;
        if (ReadIconImage(bytes, entry, image) != ERROR_SUCCESS)
            continue;
        Check(image.mask.size() == Area(entry.width, entry.height));
        for (BYTE m : image.mask)
            Check(m <= 1);
        CheckPixels(image.color, entry.width, entry.height);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Bytes bytes(std::span<const BYTE>(data, size));
    TryBitmap(bytes);
    TryIcon(bytes);
    return 0;
}
