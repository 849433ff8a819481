// A Winsock client as product code writes one: platform headers only. Connects to
// <address> <port> through the PC's virtual network, sends <text>, shuts its sending side and
// prints what comes back until the peer closes ("reply: ..."), or "error: N".
// The tests also check its undefined symbols: none may be a C library socket function.
#include "platform/windows.h"
#include "platform/winsock2.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
int Fail(const char *what)
{
    std::printf("error: %d (%s)\n", WSAGetLastError(), what);
    return 1;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 3;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return Fail("socket");
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(std::atoi(argv[2])));
    to.sin_addr.s_addr = inet_addr(argv[1]);
    if (connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to) == SOCKET_ERROR)
        return Fail("connect");
    if (send(s, argv[3], static_cast<int>(std::strlen(argv[3])), 0) == SOCKET_ERROR ||
        shutdown(s, SD_SEND) != 0)
        return Fail("send");
    std::string reply;
    char buffer[256];
    for (;;)
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait{30, 0};
        if (select(0, &readable, nullptr, nullptr, &wait) != 1)
            return Fail("select");
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n == SOCKET_ERROR)
            return Fail("recv");
        if (n == 0)
            break;
        reply.append(buffer, static_cast<size_t>(n));
    }
    char host[64];
    gethostname(host, sizeof host);
    std::printf("reply: %s\nhost: %s\n", reply.c_str(), host);
    closesocket(s);
    WSACleanup();
    return 0;
}
