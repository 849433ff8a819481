// Whole files of the host, by host path (for files of the PC by their Windows path, through
// the platform as the product sees them, see pcfile.h).
#pragma once

#include <string>
#include <string_view>

namespace kittest
{
// The file's bytes; `absent` when it cannot be read.
std::string ReadHostFile(const std::string &path, std::string_view absent = "<none>");
// Replaces the file with the bytes; false when it could not be written whole.
bool WriteHostFile(const std::string &path, std::string_view content);
} // namespace kittest

namespace kittest
{
// A host folder where nothing can be created, replaced or removed while this lives (made
// immutable: root ignores plain permissions). On() is false where the host does not allow it.
class ImmutableFolder
{
  public:
    explicit ImmutableFolder(std::string path);
    ~ImmutableFolder();
    ImmutableFolder(const ImmutableFolder &) = delete;
    ImmutableFolder &operator=(const ImmutableFolder &) = delete;
    bool On() const { return on_; }

  private:
    std::string path_;
    bool on_;
};
} // namespace kittest
