// The resource compiler: the part of Windows' .rc language the kit's resources use, compiled
// to the binary forms Windows keeps (RcFormat.h) and to a C++ source that registers them for
// the module it is linked into.
#pragma once

#include "tools/rc/RcFormat.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace kitrc
{
// A resource type or name: an ordinal, or (when text is not empty) a name in upper case.
struct ResourceId
{
    std::uint16_t ordinal = 0;
    std::string text;
    bool operator<(const ResourceId &other) const
    {
        return text != other.text ? text < other.text : ordinal < other.ordinal;
    }
};

struct Resource
{
    ResourceId type;
    ResourceId name;
    Bytes data;
};

struct Compiled
{
    std::vector<Resource> resources;
    std::vector<std::string> files; // every file read, the .rc first
};

// A fault in the .rc, at its file and line; what() is "file:line: message".
class RcError : public std::runtime_error
{
  public:
    RcError(const std::string &file, int line, const std::string &message)
        : std::runtime_error(file + ":" + std::to_string(line) + ": " + message), file_(file), line_(line)
    {
    }
    const std::string &File() const { return file_; }
    int Line() const { return line_; }

  private:
    std::string file_;
    int line_;
};

// Compiles the .rc at path (read as Windows 1252 bytes); throws RcError.
Compiled CompileRc(const std::string &path);

// The C++ source holding the resources as data and registering them at load time.
std::string GenerateSource(const Compiled &compiled, const std::string &rcName);
// A make-style dependency line: target and every file read.
std::string DependencyLine(const Compiled &compiled, const std::string &target);
} // namespace kitrc
