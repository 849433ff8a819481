// Arbitrary bytes as the user's rasphone.pbk of an XP PC, read through dial-up networking: every
// entry listed can be read, and once an entry has been written back (which may cut a text that
// was too long, at a blank the reader then trims) writing it again changes nothing.
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "testing/machine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
const std::string &PhoneBookPath()
{
    static const kittest::TempMachine machine("kit-fuzz");
    static const std::string path = [] {
        const std::string folder = kitpc::PathOf("appdata") + "/Microsoft/Network/Connections/Pbk";
        std::filesystem::create_directories(folder);
        return folder + "/rasphone.pbk";
    }();
    return path;
}

std::vector<std::string> EntryNames()
{
    std::vector<RASENTRYNAMEA> names(1);
    names[0].dwSize = sizeof(RASENTRYNAMEA);
    DWORD bytes = sizeof(RASENTRYNAMEA), count = 0;
    DWORD rc = RasEnumEntriesA(nullptr, nullptr, names.data(), &bytes, &count);
    if (rc == ERROR_BUFFER_TOO_SMALL)
    {
        if (bytes % sizeof(RASENTRYNAMEA) || count != bytes / sizeof(RASENTRYNAMEA))
            std::abort();
        names.resize(count);
        names[0].dwSize = sizeof(RASENTRYNAMEA);
        rc = RasEnumEntriesA(nullptr, nullptr, names.data(), &bytes, &count);
    }
    if (rc == ERROR_CANNOT_OPEN_PHONEBOOK)
        return {};
    if (rc != ERROR_SUCCESS)
    {
        std::fprintf(stderr, "RasEnumEntriesA: %u\n", static_cast<unsigned>(rc));
        std::abort();
    }
    std::vector<std::string> found;
    for (DWORD i = 0; i < count; ++i)
        found.emplace_back(names[i].szEntryName);
    return found;
}

RASENTRYA ReadEntry(const std::string &name)
{
    RASENTRYA entry = {};
    entry.dwSize = sizeof entry;
    DWORD size = sizeof entry;
    const DWORD rc = RasGetEntryPropertiesA(nullptr, name.c_str(), &entry, &size, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) // a listed entry must read
    {
        std::fprintf(stderr, "RasGetEntryPropertiesA \"%s\": %u\n", name.c_str(), static_cast<unsigned>(rc));
        std::abort();
    }
    return entry;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string &path = PhoneBookPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }
    const std::vector<std::string> names = EntryNames();
    if (names.empty())
        return 0;
    // The first entry of that name in any case is the one read and rewritten.
    const std::string &name = names.front();
    RASENTRYA read = ReadEntry(name);
    if (RasValidateEntryNameA(nullptr, name.c_str()) != ERROR_ALREADY_EXISTS)
        return 0; // a name Windows would not have written: nothing more to hold it to
    RASENTRYA again = {};
    for (int round = 0; round < 2; ++round)
    {
        if (round == 1)
            read = again;
        if (const DWORD rc = RasSetEntryPropertiesA(nullptr, name.c_str(), &read, sizeof read, nullptr, 0))
        {
            std::fprintf(stderr, "RasSetEntryPropertiesA \"%s\": %u\n", name.c_str(),
                         static_cast<unsigned>(rc));
            std::abort();
        }
        again = ReadEntry(name);
    }
    const auto *a = reinterpret_cast<const unsigned char *>(&read),
               *b = reinterpret_cast<const unsigned char *>(&again);
    for (size_t at = 0; at < sizeof read; ++at)
        if (a[at] != b[at])
        {
            std::fprintf(stderr, "entry \"%s\" reads back otherwise at byte %zu: %u, then %u\n", name.c_str(),
                         at, a[at], b[at]);
            std::abort();
        }
    return 0;
}
