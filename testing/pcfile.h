// Whole files of the simulated PC, read and written through the platform's file API (their
// paths are Windows paths), for tests, fuzz targets and benchmarks.
#pragma once

#include "platform/windows.h"

#include <optional>
#include <string>
#include <string_view>

namespace pcfile
{
// The file's bytes; nothing when it cannot be opened.
inline std::optional<std::string> Read(const std::string &path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(h, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    CloseHandle(h);
    return content;
}

// The file's bytes; `absent` when it cannot be opened.
inline std::string Read(const std::string &path, std::string_view absent)
{
    return Read(path).value_or(std::string(absent));
}

// Replaces the file with the bytes; false when it could not be written whole.
inline bool Write(const std::string &path, std::string_view bytes)
{
    HANDLE h =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

inline bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
} // namespace pcfile
