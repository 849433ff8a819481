// Child program of the process tests: ends as asked.
//   child_exit code N       ExitProcess(N)
//   child_exit fifo PATH    reads the FIFO until its writer closes it, then exits with 7
//   child_exit forever      waits to be killed
//   child_exit abort        abort()
#include "platform/windows.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "code") == 0)
        ExitProcess(static_cast<UINT>(std::atoi(argv[2])));
    if (argc >= 3 && std::strcmp(argv[1], "fifo") == 0)
    {
        const int fd = ::open(argv[2], O_RDONLY);
        char buffer[64];
        while (fd >= 0 && ::read(fd, buffer, sizeof buffer) > 0)
        {
        }
        return 7;
    }
    if (argc >= 2 && std::strcmp(argv[1], "forever") == 0)
    {
        for (;;)
            ::pause();
    }
    if (argc >= 2 && std::strcmp(argv[1], "abort") == 0)
        std::abort();
    return 100;
}
