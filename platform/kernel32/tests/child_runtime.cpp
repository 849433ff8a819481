// Child program of the runtime tests: named mutexes and mappings seen from another process.
//   child_runtime hold-mutex NAME         takes the mutex, prints "held", then waits to be killed
//   child_runtime take-mutex NAME N       takes and releases the mutex N times, adding 1 to the
//                                         counter in mapping NAME.counter while holding it
//   child_runtime read-mapping NAME       prints the text at the start of the mapping
//   child_runtime write-mapping NAME TEXT writes TEXT into the mapping, prints "written", waits
#include "platform/windows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
int HoldMutex(const char *name)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (!mutex || WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0)
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}

int TakeMutex(const char *name, int times)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    std::string mappingName = std::string(name) + ".counter";
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, mappingName.c_str());
    auto *counter = static_cast<volatile LONG *>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!mutex || !counter)
        return 1;
    for (int i = 0; i < times; ++i)
    {
        if (WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0)
            return 2;
        LONG value = *counter; // a plain read-modify-write: only the mutex keeps it whole
        Sleep(0);
        *counter = value + 1;
        ReleaseMutex(mutex);
    }
    return 0;
}

int ReadMapping(const char *name)
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (!mapping)
    {
        std::printf("error %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    const char *view = static_cast<const char *>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    std::printf("%s\n", view ? view : "(no view)");
    return 0;
}

int WriteMapping(const char *name, const char *text)
{
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name);
    char *view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view)
        return 1;
    std::strcpy(view, text);
    std::printf("written\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "hold-mutex") == 0)
        return HoldMutex(argv[2]);
    if (argc >= 4 && std::strcmp(argv[1], "take-mutex") == 0)
        return TakeMutex(argv[2], std::atoi(argv[3]));
    if (argc >= 3 && std::strcmp(argv[1], "read-mapping") == 0)
        return ReadMapping(argv[2]);
    if (argc >= 4 && std::strcmp(argv[1], "write-mapping") == 0)
        return WriteMapping(argv[2], argv[3]);
    return 64;
}
