// A stand-in for Windows' route.exe beside QelFixRt in the Windows build: the program's own folder
// is searched first, so the route fixer's commands come here and the PC's routing table is left
// alone. Each run records its whole command line in a file of its own (the runs overlap) in the
// folder named by KIT_ROUTE_LOG; without that folder it records nothing and fails.
#include "platform/windows.h"

#include <cstring>

int main()
{
    char folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("KIT_ROUTE_LOG", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    char path[MAX_PATH];
    if (!GetTempFileNameA(folder, "rt", 0, path))
        return 1;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    const char *line = GetCommandLineA();
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
