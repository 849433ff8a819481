// libFuzzer target: the AVI reader of the progress pages' animation, on any bytes. Whatever it
// accepts must keep to its limits and decode every frame to exactly its size.
#include "outside/qelmfc/Avi.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
void Check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qelmfc::CAviFile avi;
    if (!avi.Parse(data, size))
    {
        Check(avi.FrameCount() == 0 && avi.Width() == 0);
        return 0;
    }
    Check(avi.Width() >= 1 && avi.Width() <= qelmfc::CAviFile::kMaxDimension);
    Check(avi.Height() >= 1 && avi.Height() <= qelmfc::CAviFile::kMaxDimension);
    Check(avi.FrameCount() >= 1 && avi.FrameCount() <= qelmfc::CAviFile::kMaxFrames);
    std::vector<std::uint32_t> pixels;
    const std::size_t area = static_cast<std::size_t>(avi.Width()) * static_cast<std::size_t>(avi.Height());
    for (int i = 0; i < avi.FrameCount(); ++i)
    {
        Check(avi.Frame(i, pixels));
        Check(pixels.size() == area);
        for (std::uint32_t p : pixels)
            Check(p >> 24 == 0xFF);
    }
    Check(!avi.Frame(avi.FrameCount(), pixels));
    return 0;
}
