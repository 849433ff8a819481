// Holds a file open for the sharing tests: platform_child_fileholder PATH ACCESS SHARE MUTEX, where
// ACCESS and SHARE are letters r, w, d (or "-" for none). Prints "ok" or "error N", then keeps
// the handle until it gets the named mutex MUTEX, which the test owns until it lets the file go.
#include "platform/windows.h"

#include <cstdio>
#include <cstring>

namespace
{
DWORD Letters(const char *text, DWORD read, DWORD write, DWORD del)
{
    DWORD bits = 0;
    if (std::strchr(text, 'r'))
        bits |= read;
    if (std::strchr(text, 'w'))
        bits |= write;
    if (std::strchr(text, 'd'))
        bits |= del;
    return bits;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 5)
        return 2;
    const DWORD access = Letters(argv[2], GENERIC_READ, GENERIC_WRITE, DELETE);
    const DWORD share = Letters(argv[3], FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_DELETE);
    HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, argv[4]);
    if (!mutex)
        return 3;
    HANDLE file = CreateFileA(argv[1], access, share, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        std::printf("error %lu\n", static_cast<unsigned long>(GetLastError()));
    else
        std::printf("ok\n");
    std::fflush(stdout);
    WaitForSingleObject(mutex, INFINITE);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
