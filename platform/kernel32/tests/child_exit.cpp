// Child program of the process tests: ends as asked.
//   child_exit code N       ExitProcess(N)
//   child_exit gate NAME    waits for the named mutex its parent owns, then exits with 7
//   child_exit forever      waits to be killed
//   child_exit abort        abort()
//   child_exit echo         reads a line from standard input, writes "salida LINE" to standard
//                           output and "error" to standard error
#include "platform/windows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "code") == 0)
        ExitProcess(static_cast<UINT>(std::atoi(argv[2])));
    if (argc >= 3 && std::strcmp(argv[1], "gate") == 0)
    {
        HANDLE gate = OpenMutexA(SYNCHRONIZE, FALSE, argv[2]);
        if (!gate)
            return 4;
        const DWORD waited = WaitForSingleObject(gate, INFINITE);
        return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED ? 7 : 5;
    }
    if (argc >= 2 && std::strcmp(argv[1], "forever") == 0)
    {
        for (;;)
            Sleep(INFINITE);
    }
    if (argc >= 2 && std::strcmp(argv[1], "abort") == 0)
        std::abort();
    if (argc >= 2 && std::strcmp(argv[1], "echo") == 0)
    {
        char line[256] = {};
        if (!std::fgets(line, sizeof line, stdin))
            return 6;
        line[std::strcspn(line, "\r\n")] = '\0';
        std::printf("salida %s\n", line);
        std::fflush(stdout);
        std::fprintf(stderr, "error\n");
        return 0;
    }
    return 100;
}
