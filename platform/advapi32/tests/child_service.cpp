// Child program of the service manager tests: another process of the same PC.
//   platform_child_service lock
//       locks the service database; prints "locked" and holds it until killed, or "error N".
//   platform_child_service change NAME START
//       sets the service's start type, every other setting left; prints "ok" or "error N".
#include "platform/windows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
int Report(BOOL ok)
{
    if (ok)
        std::printf("ok\n");
    else
        std::printf("error %u\n", static_cast<unsigned>(GetLastError()));
    std::fflush(stdout);
    return ok ? 0 : 1;
}

int Lock()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_LOCK);
    SC_LOCK lock = manager ? LockServiceDatabase(manager) : nullptr;
    if (!lock)
        return Report(FALSE);
    std::printf("locked\n");
    std::fflush(stdout);
    for (;;)
        Sleep(INFINITE);
}

int Change(const char *name, DWORD start)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_CHANGE_CONFIG) : nullptr;
    const BOOL ok =
        service && ChangeServiceConfigA(service, SERVICE_NO_CHANGE, start, SERVICE_NO_CHANGE, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    const int status = Report(ok);
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return status;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "lock") == 0)
        return Lock();
    if (argc == 4 && std::strcmp(argv[1], "change") == 0)
        return Change(argv[2], static_cast<DWORD>(std::atoi(argv[3])));
    std::fprintf(stderr, "usage: platform_child_service lock | change NAME START\n");
    return 2;
}
