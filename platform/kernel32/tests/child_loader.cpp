// Holds a library loaded for the image tests: platform_child_loader LIBRARY MUTEX loads LIBRARY,
// prints "loaded" (or "error N"), waits for the named mutex its parent owns, frees the library,
// prints "freed" and waits to be killed.
#include "platform/windows.h"

#include <cstdio>

namespace
{
void Say(const char *text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    HMODULE library = LoadLibraryA(argv[1]);
    if (!library)
    {
        std::printf("error %lu\n", static_cast<unsigned long>(GetLastError()));
        std::fflush(stdout);
        return 1;
    }
    Say("loaded");
    HANDLE gate = OpenMutexA(SYNCHRONIZE, FALSE, argv[2]);
    if (!gate || WaitForSingleObject(gate, INFINITE) == WAIT_FAILED)
        return 3;
    FreeLibrary(library);
    Say("freed");
    for (;;)
        Sleep(INFINITE);
}
