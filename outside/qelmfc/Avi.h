// The animation of the progress pages: a reader of uncompressed AVI files (RIFF "AVI "), one
// video stream of BI_RGB frames at 8 (with palette), 16 (5-5-5), 24 or 32 bits. The file is kept
// whole with the place of each frame; a frame is decoded when it is asked for. Files come from
// outside: every size is checked against what is really there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qelmfc
{
class CAviFile
{
  public:
    // Limits of what the reader plays.
    static constexpr std::size_t kMaxFileSize = 64u << 20;
    static constexpr int kMaxDimension = 4096;
    static constexpr int kMaxFrames = 100000;

    // Reads the file through the platform; false, with a short reason, when it is missing,
    // larger than kMaxFileSize or not an AVI this reader plays.
    bool Open(const char *path, std::string *error = nullptr);
    // The same on bytes in memory (they are copied).
    bool Parse(const std::uint8_t *data, std::size_t size, std::string *error = nullptr);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    std::uint32_t MicroSecPerFrame() const { return microSecPerFrame_; }

    // Frame `index` (from 0) as Width() * Height() pixels 0xAARRGGBB, top row first, opaque.
    bool Frame(int index, std::vector<std::uint32_t> &pixels) const;

  private:
    // Reads data_: the stream's format and the place of its frames.
    bool Scan(std::string *error);
    bool Fail(std::string *error, const char *reason);

    std::vector<std::uint8_t> data_;
    std::vector<std::size_t> frames_; // offsets of the frames' pixels in data_
    std::vector<std::uint32_t> palette_;
    int width_ = 0;
    int height_ = 0;
    int bitCount_ = 0;
    bool topDown_ = false;
    std::uint32_t microSecPerFrame_ = 0;
};
} // namespace qelmfc
