// Windows Sockets over the PC's virtual network (network.ini). The servers are the platform's
// own listening sockets on loopback, mapped into the virtual network by each test. Windows has
// no virtual network: there the router's end is the loopback itself, at the server's own port.
#include "platform/windows.h"
#include "platform/winsock2.h"
#include "testing/kittest.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#ifndef MSG_WAITALL
#define MSG_WAITALL 0x8 // ws2def.h gives it only for Windows newer than XP
#endif

namespace
{
constexpr DWORD kSentinel = 0xdeadbeef;

sockaddr_in Address(const char *ip, u_short port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = static_cast<ULONG>(inet_addr(ip));
    return address;
}

int Connect(SOCKET s, const char *ip, u_short port)
{
    sockaddr_in to = Address(ip, port);
    return connect(s, reinterpret_cast<sockaddr *>(&to), sizeof to);
}

SOCKET NewSocket()
{
    return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

std::string Text(const sockaddr_in &address)
{
    return std::string(inet_ntoa(address.sin_addr)) + ":" + std::to_string(ntohs(address.sin_port));
}

std::string PeerOf(SOCKET s)
{
    sockaddr_in address{};
    int length = sizeof address;
    if (getpeername(s, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return "error " + std::to_string(WSAGetLastError());
    return Text(address);
}

std::string NameOf(SOCKET s)
{
    sockaddr_in address{};
    int length = sizeof address;
    if (getsockname(s, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return "error " + std::to_string(WSAGetLastError());
    return Text(address);
}

u_short PortOf(SOCKET s)
{
    sockaddr_in address{};
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

#ifdef _WIN32
constexpr const char *kRouter = "127.0.0.1";
constexpr const char *kPc = "127.0.0.1";
#else
constexpr const char *kRouter = "192.168.1.1";
constexpr const char *kPc = "192.168.1.33"; // the PC's default address

void WriteNetwork(const std::string &text)
{
    std::ofstream(kittest::MachineDir() + "/network.ini", std::ios::binary) << text;
}

// "virtual=127.0.0.1:port" for a [Hosts] line.
std::string Host(const char *virtualEnd, u_short port)
{
    return std::string(virtualEnd) + "=127.0.0.1:" + std::to_string(port) + "\r\n";
}
#endif

// The port of the router that reaches a server on loopback `port` (each of `ports` gives one
// virtual port, then its loopback port): on the virtual network the router's ports, mapped
// here in network.ini; on Windows the loopback ports themselves.
std::vector<u_short> RouterPorts(std::initializer_list<std::pair<u_short, u_short>> ports)
{
    std::vector<u_short> reached;
#ifdef _WIN32
    for (const auto &[router, port] : ports)
        reached.push_back(port);
#else
    std::string hosts = "[Hosts]\r\n";
    for (const auto &[router, port] : ports)
    {
        hosts += Host((std::string(kRouter) + ":" + std::to_string(router)).c_str(), port);
        reached.push_back(router);
    }
    WriteNetwork(hosts);
#endif
    return reached;
}

u_short RouterPort(u_short router, u_short port)
{
    return RouterPorts({{router, port}})[0];
}

// A listening socket of the platform on loopback.
SOCKET Listen(u_short &port)
{
    SOCKET s = NewSocket();
    sockaddr_in any = Address("0.0.0.0", 0);
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr *>(&any), sizeof any), 0);
    EXPECT_EQ(listen(s, SOMAXCONN), 0);
    port = PortOf(s);
    return s;
}

// A loopback port nothing listens on.
u_short ClosedPort()
{
    u_short port;
    SOCKET s = Listen(port);
    closesocket(s);
    return port;
}

void SetNonBlocking(SOCKET s, bool on)
{
    u_long mode = on ? 1 : 0;
    ASSERT_EQ(ioctlsocket(s, FIONBIO, &mode), 0);
}

void SendAll(SOCKET s, const std::string &data)
{
    ASSERT_EQ(send(s, data.data(), static_cast<int>(data.size()), 0), static_cast<int>(data.size()));
}

std::string ReceiveSome(SOCKET s)
{
    char buffer[256];
    int n = recv(s, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "recv " + std::to_string(n);
}

int SocketError(SOCKET s)
{
    int error = -1;
    int length = sizeof error;
    EXPECT_EQ(getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length), 0);
    return error;
}

class Winsock : public testing::Test
{
  protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    void TearDown() override
    {
        WSACleanup(); // closes what a test left open
    }

    // A connection from a client to the server through the router's port 80.
    void ConnectPair(SOCKET &client, SOCKET &server)
    {
        u_short port;
        SOCKET listener = Listen(port);
        const u_short router = RouterPort(80, port);
        client = NewSocket();
        ASSERT_EQ(Connect(client, kRouter, router), 0) << WSAGetLastError();
        server = accept(listener, nullptr, nullptr);
        ASSERT_NE(server, INVALID_SOCKET);
        closesocket(listener);
    }
};
} // namespace

// --- start-up ---

TEST(WinsockStartup, CallsBeforeStartupFail)
{
    SetLastError(kSentinel);
    EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(WSANOTINITIALISED)); // the same per-thread value

    char name[64];
    WSASetLastError(0);
    EXPECT_EQ(gethostname(name, sizeof name), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(static_cast<SOCKET>(4), &set);
    timeval now{0, 0};
    EXPECT_EQ(select(0, &set, nullptr, nullptr, &now), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(gethostbyname("1.2.3.4"), nullptr);
    EXPECT_EQ(closesocket(4), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    // Conversions need no start-up.
    EXPECT_EQ(inet_addr("1.2.3.4"), htonl(0x01020304));
}

TEST(WinsockStartup, Versions)
{
    struct Case
    {
        WORD asked;
        int result;
        WORD granted;
    };
    const Case cases[] = {
        {MAKEWORD(1, 1), 0, MAKEWORD(1, 1)},
        {MAKEWORD(2, 2), 0, MAKEWORD(2, 2)},
        {MAKEWORD(2, 0), 0, MAKEWORD(2, 0)},
        {MAKEWORD(3, 0), 0, MAKEWORD(2, 2)}, // higher than offered: the highest, the caller decides
        {MAKEWORD(1, 0), 0, MAKEWORD(1, 0)}, // Winsock 1.0 programs still run
        {MAKEWORD(0, 9), WSAVERNOTSUPPORTED, 0},
    };
    for (const Case &c : cases)
    {
        WSADATA data;
        std::memset(&data, 0xcc, sizeof data);
        EXPECT_EQ(WSAStartup(c.asked, &data), c.result) << std::hex << c.asked;
        if (c.result != 0)
            continue;
        EXPECT_EQ(data.wVersion, c.granted) << std::hex << c.asked;
        EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));
        EXPECT_STREQ(data.szDescription, "WinSock 2.0");
        EXPECT_STREQ(data.szSystemStatus, "Running");
        EXPECT_EQ(WSACleanup(), 0);
    }
    EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), nullptr), WSAEFAULT);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR); // none of the failures counted
}

TEST(WinsockStartup, CountedPerProcessAndCleanupClosesSockets)
{
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    EXPECT_EQ(WSACleanup(), 0);
    SOCKET s = NewSocket();
    EXPECT_NE(s, INVALID_SOCKET); // one start-up still counts
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(NewSocket(), INVALID_SOCKET);

    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    WSASetLastError(0);
    EXPECT_EQ(closesocket(s), SOCKET_ERROR); // the last WSACleanup closed it
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(WSACleanup(), 0);
}

// --- sockets and handles ---

TEST_F(Winsock, SocketKinds)
{
    struct Case
    {
        int af, type, protocol;
        int error;
    };
    const Case cases[] = {
        {AF_INET, SOCK_STREAM, 0, 0},
        {AF_INET, SOCK_STREAM, IPPROTO_TCP, 0},
        {AF_INET, SOCK_STREAM, IPPROTO_UDP, WSAEPROTONOSUPPORT},
#ifndef _WIN32
        // The PC has TCP over IPv4 only: no UDP, raw sockets or IPv6.
        {AF_INET, SOCK_DGRAM, IPPROTO_UDP, WSAESOCKTNOSUPPORT},
        {AF_INET, SOCK_RAW, 0, WSAESOCKTNOSUPPORT},
        {23 /* AF_INET6 */, SOCK_STREAM, 0, WSAEAFNOSUPPORT},
        // Windows' answer here is its providers' (undocumented).
        {AF_UNSPEC, SOCK_STREAM, 0, WSAEAFNOSUPPORT},
#endif
    };
    for (const Case &c : cases)
    {
        WSASetLastError(static_cast<int>(kSentinel));
        SOCKET s = socket(c.af, c.type, c.protocol);
        if (c.error == 0)
        {
            EXPECT_NE(s, INVALID_SOCKET);
            EXPECT_EQ(closesocket(s), 0);
        }
        else
        {
            EXPECT_EQ(s, INVALID_SOCKET) << c.af << "/" << c.type << "/" << c.protocol;
            EXPECT_EQ(WSAGetLastError(), c.error) << c.af << "/" << c.type << "/" << c.protocol;
        }
    }
}

TEST_F(Winsock, BadSocketsFailWithNotSock)
{
    SOCKET closed = NewSocket();
    ASSERT_EQ(closesocket(closed), 0);
    const SOCKET bad[] = {INVALID_SOCKET, 0, 4, 12345, closed};
    char buffer[4];
    int length = sizeof buffer;
    u_long arg = 1;
    for (SOCKET s : bad)
    {
        auto check = [s](int result, const char *what) {
            EXPECT_EQ(result, SOCKET_ERROR) << what << " " << s;
            EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK) << what << " " << s;
            WSASetLastError(static_cast<int>(kSentinel));
        };
        WSASetLastError(static_cast<int>(kSentinel));
        check(closesocket(s), "closesocket");
        check(send(s, "x", 1, 0), "send");
        check(recv(s, buffer, sizeof buffer, 0), "recv");
        check(Connect(s, kRouter, 80), "connect");
        check(listen(s, 1), "listen");
        check(shutdown(s, SD_BOTH), "shutdown");
        check(ioctlsocket(s, FIONBIO, &arg), "ioctlsocket");
        check(getsockopt(s, SOL_SOCKET, SO_TYPE, buffer, &length), "getsockopt");
        check(setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, buffer, sizeof buffer), "setsockopt");
        EXPECT_EQ(accept(s, nullptr, nullptr), INVALID_SOCKET);
        EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval now{0, 0};
        check(select(0, &set, nullptr, nullptr, &now), "select");
    }
#ifndef _WIN32
    // The PC's sockets are no kernel object handles for CloseHandle (Windows' are, but a program
    // must not close one that way).
    SOCKET s = NewSocket();
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(s)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(closesocket(s), 0);
#endif
}

// --- the virtual network ---

TEST_F(Winsock, ListedAddressReachesItsLoopbackPort)
{
    SOCKET client, server;
    ConnectPair(client, server);
    SendAll(client, "USER guest\r\n");
    EXPECT_EQ(ReceiveSome(server), "USER guest\r\n");
    SendAll(server, "331 Password required\r\n");
    EXPECT_EQ(ReceiveSome(client), "331 Password required\r\n");
#ifdef _WIN32
    EXPECT_EQ(NameOf(client), PeerOf(server)); // one connection, seen from both ends
    EXPECT_EQ(NameOf(server), PeerOf(client));
#else
    // Both ends see virtual addresses: the router's, and the PC's default one.
    EXPECT_EQ(PeerOf(client), "192.168.1.1:80");
    EXPECT_EQ(NameOf(client).substr(0, 13), "192.168.1.33:");
    EXPECT_EQ(PeerOf(server).substr(0, 12), "192.168.1.1:");
    EXPECT_EQ(NameOf(server).substr(0, 13), "192.168.1.33:");
    EXPECT_EQ(NameOf(client).substr(13), PeerOf(server).substr(12)); // one connection, seen from both ends
#endif
}

#ifndef _WIN32

TEST_F(Winsock, LocalAddressFromNetworkIni)
{
    u_short port;
    SOCKET listener = Listen(port);
    WriteNetwork("[Local]\r\nAddress=192.168.1.40\r\n[Hosts]\r\n" + Host("192.168.1.1:21", port));
    SOCKET client = NewSocket();
    ASSERT_EQ(Connect(client, "192.168.1.1", 21), 0);
    EXPECT_EQ(NameOf(client).substr(0, 13), "192.168.1.40:");
    sockaddr_in from{};
    int length = sizeof from;
    SOCKET server = accept(listener, reinterpret_cast<sockaddr *>(&from), &length);
    ASSERT_NE(server, INVALID_SOCKET);
    EXPECT_EQ(length, static_cast<int>(sizeof(sockaddr_in)));
    EXPECT_EQ(std::string(inet_ntoa(from.sin_addr)), "192.168.1.1");
    EXPECT_EQ(NameOf(server), "192.168.1.40:" + std::to_string(port)); // the listening port
}

#endif

TEST_F(Winsock, ClosedPortIsRefused)
{
    const u_short closed = RouterPort(80, ClosedPort());
    SOCKET s = NewSocket();
    WSASetLastError(static_cast<int>(kSentinel));
    EXPECT_EQ(Connect(s, kRouter, closed), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    EXPECT_EQ(PeerOf(s), "error " + std::to_string(WSAENOTCONN));

    // The same socket tries again once the router listens.
    u_short port;
    SOCKET listener = Listen(port);
    const u_short open = RouterPort(80, port);
    ASSERT_EQ(Connect(s, kRouter, open), 0) << WSAGetLastError();
    SOCKET server = accept(listener, nullptr, nullptr);
    ASSERT_NE(server, INVALID_SOCKET);
    SendAll(s, "again");
    EXPECT_EQ(ReceiveSome(server), "again");
}

#ifndef _WIN32
// The virtual network itself: what it maps, what it refuses, when it is read.
TEST_F(Winsock, UnreachableAddresses)
{
    u_short port;
    Listen(port);
    // A mapping outside the loopback is never followed, even to a port that answers.
    WriteNetwork("[Hosts]\r\n" + Host("192.168.1.1:80", port) + "10.1.2.3:80=192.0.2.1:80\r\n" +
                 "10.1.2.4:80=192.0.2.1:" + std::to_string(port) + "\r\n" + "bad line\r\n" +
                 "1.2.3:80=127.0.0.1:1\r\n");
    struct Case
    {
        const char *address;
        u_short port;
    };
    const Case cases[] = {
        {"192.168.1.1", 81},                      // listed address, other port
        {"192.168.1.2", 80},                      // not listed
        {"10.1.2.3", 80},                         // mapped outside the loopback
        {"10.1.2.4", 80},    {"127.0.0.1", port}, // the host's loopback is not on the virtual network
        {"1.2.0.3", 80},                          // "1.2.3" is no address for network.ini
    };
    for (const Case &c : cases)
    {
        SOCKET s = NewSocket();
        WSASetLastError(static_cast<int>(kSentinel));
        EXPECT_EQ(Connect(s, c.address, c.port), SOCKET_ERROR) << c.address;
        EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT) << c.address;
        closesocket(s);
    }
    SOCKET s = NewSocket();
    EXPECT_EQ(Connect(s, "192.168.1.2", 80), SOCKET_ERROR);
    EXPECT_EQ(Connect(s, "0.0.0.0", 80), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
    EXPECT_EQ(Connect(s, "192.168.1.1", 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
    // A failed attempt may be followed by another.
    EXPECT_EQ(Connect(s, "192.168.1.1", 80), 0) << WSAGetLastError();
    EXPECT_EQ(Connect(s, "192.168.1.1", 80), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEISCONN);
}

TEST_F(Winsock, EveryPortOfAnAddress)
{
    // A server's passive data ports: whatever port it opens on loopback, the PC reaches it at
    // the server's virtual address.
    u_short port;
    SOCKET listener = Listen(port);
    WriteNetwork("[Hosts]\r\n" + Host("192.168.1.1:21", ClosedPort()) + "192.168.1.1:*=127.0.0.1:*\r\n" +
                 "10.0.0.1:*=10.0.0.1:*\r\n");
    SOCKET s = NewSocket();
    ASSERT_EQ(Connect(s, "192.168.1.1", port), 0) << WSAGetLastError();
    EXPECT_EQ(PeerOf(s), "192.168.1.1:" + std::to_string(port));
    SOCKET server = accept(listener, nullptr, nullptr);
    ASSERT_NE(server, INVALID_SOCKET);
    EXPECT_EQ(PeerOf(server).substr(0, 12), "192.168.1.1:");

    struct Case
    {
        const char *address;
        u_short port;
        int error;
    };
    const Case cases[] = {
        {"192.168.1.1", 21, WSAECONNREFUSED}, // its own line wins
        {"192.168.1.2", port, WSAETIMEDOUT},
        {"10.0.0.1", port, WSAETIMEDOUT}, // every port, but outside the loopback
    };
    for (const Case &c : cases)
    {
        SOCKET other = NewSocket();
        WSASetLastError(static_cast<int>(kSentinel));
        EXPECT_EQ(Connect(other, c.address, c.port), SOCKET_ERROR) << c.address;
        EXPECT_EQ(WSAGetLastError(), c.error) << c.address;
        closesocket(other);
    }
}

TEST_F(Winsock, NetworkIniChangesAreSeen)
{
    u_short first, second;
    SOCKET one = Listen(first);
    SOCKET two = Listen(second);
    auto reaches = [](SOCKET listener) {
        SOCKET s = NewSocket();
        EXPECT_EQ(Connect(s, "192.168.1.1", 21), 0) << WSAGetLastError();
        SOCKET accepted = accept(listener, nullptr, nullptr);
        bool ok = accepted != INVALID_SOCKET;
        closesocket(accepted);
        closesocket(s);
        return ok;
    };
    WriteNetwork("[Hosts]\r\n" + Host("192.168.1.1:21", first));
    EXPECT_TRUE(reaches(one));
    WriteNetwork("[Hosts]\r\n" + Host("192.168.1.1:21", second)); // same size, same second
    EXPECT_TRUE(reaches(two));
    WriteNetwork("[Hosts]\r\n");
    SOCKET s = NewSocket();
    EXPECT_EQ(Connect(s, "192.168.1.1", 21), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);
}

#endif

// --- blocking and non-blocking calls ---

TEST_F(Winsock, NonBlockingConnectAndSelect)
{
    u_short port;
    SOCKET listener = Listen(port);
    const std::vector<u_short> router = RouterPorts({{80, port}, {81, ClosedPort()}});
    struct Case
    {
        u_short port;
        bool connects;
        int error; // SO_ERROR when it fails
    };
    const std::vector<Case> cases = {
        {router[0], true, 0},
        {router[1], false, WSAECONNREFUSED},
#ifndef _WIN32
        {82, false, WSAETIMEDOUT}, // not on the virtual network
#endif
    };
    for (const Case &c : cases)
    {
        SOCKET s = NewSocket();
        SetNonBlocking(s, true);
        WSASetLastError(static_cast<int>(kSentinel));
        EXPECT_EQ(Connect(s, kRouter, c.port), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        EXPECT_EQ(select(0, nullptr, &writable, &failed, nullptr), 1) << c.port;
        EXPECT_EQ(FD_ISSET(s, &writable) != 0, c.connects) << c.port;
        EXPECT_EQ(FD_ISSET(s, &failed) != 0, !c.connects) << c.port;
        EXPECT_EQ(SocketError(s), c.error) << c.port;
        EXPECT_EQ(SocketError(s), 0) << c.port; // read and cleared
        if (c.connects)
        {
            EXPECT_EQ(PeerOf(s), std::string(kRouter) + ":" + std::to_string(c.port));
            EXPECT_EQ(Connect(s, kRouter, c.port), SOCKET_ERROR);
            EXPECT_EQ(WSAGetLastError(), WSAEISCONN);
        }
        closesocket(s);
    }
    closesocket(listener);
}

TEST_F(Winsock, NonBlockingAcceptAndRecv)
{
    u_short port;
    SOCKET listener = Listen(port);
    const u_short router = RouterPort(80, port);
    SetNonBlocking(listener, true);
    EXPECT_EQ(accept(listener, nullptr, nullptr), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

    SOCKET client = NewSocket();
    ASSERT_EQ(Connect(client, kRouter, router), 0);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    ASSERT_EQ(select(0, &readable, nullptr, nullptr, nullptr), 1); // a pending connection reads
    SOCKET server = accept(listener, nullptr, nullptr);
    ASSERT_NE(server, INVALID_SOCKET);

    char buffer[16];
    EXPECT_EQ(recv(server, buffer, sizeof buffer, 0), SOCKET_ERROR); // inherited non-blocking mode
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    u_long waiting = 99;
    EXPECT_EQ(ioctlsocket(server, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 0u);
    SendAll(client, "hello");
    FD_ZERO(&readable);
    FD_SET(server, &readable);
    ASSERT_EQ(select(0, &readable, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(ioctlsocket(server, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 5u);
    EXPECT_EQ(recv(server, buffer, 2, MSG_PEEK), 2);
    EXPECT_EQ(recv(server, buffer, sizeof buffer, 0), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
}

TEST_F(Winsock, ReceiveTimeOut)
{
    SOCKET client, server;
    ConnectPair(client, server);
    const DWORD timeout = 50;
    ASSERT_EQ(
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout),
        0);
    DWORD read = 0;
    int length = sizeof read;
    ASSERT_EQ(getsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char *>(&read), &length), 0);
    EXPECT_EQ(read, timeout);
    EXPECT_EQ(length, static_cast<int>(sizeof(DWORD)));
    char buffer[8];
    WSASetLastError(static_cast<int>(kSentinel));
    EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);
}

TEST_F(Winsock, EndOfStreamAndReset)
{
    SOCKET client, server;
    ConnectPair(client, server);
    SendAll(server, "bye");
    ASSERT_EQ(shutdown(server, SD_SEND), 0);
    EXPECT_EQ(send(server, "x", 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);
    char buffer[8];
    EXPECT_EQ(recv(client, buffer, sizeof buffer, MSG_WAITALL), 3); // the end comes first
    EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), 0);
    EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), 0);
    ASSERT_EQ(shutdown(client, SD_RECEIVE), 0);
    EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);

    // Closing with SO_LINGER on and no time resets the connection.
    SOCKET client2, server2;
    ConnectPair(client2, server2);
    linger abort{1, 0};
    ASSERT_EQ(
        setsockopt(server2, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&abort), sizeof abort), 0);
    ASSERT_EQ(closesocket(server2), 0);
    EXPECT_EQ(recv(client2, buffer, sizeof buffer, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
}

TEST_F(Winsock, NotConnectedCalls)
{
    SOCKET s = NewSocket();
    char buffer[4];
    sockaddr_in address{};
    int length = sizeof address;
    sockaddr_in wrongFamily = Address(kRouter, 80);
    wrongFamily.sin_family = AF_UNSPEC;
    struct Case
    {
        const char *what;
        std::function<int()> call;
        int error;
    };
    const Case cases[] = {
        {"send", [&] { return send(s, "x", 1, 0); }, WSAENOTCONN},
        {"recv", [&] { return recv(s, buffer, sizeof buffer, 0); }, WSAENOTCONN},
        {"shutdown", [&] { return shutdown(s, SD_SEND); }, WSAENOTCONN},
        {"getpeername", [&] { return getpeername(s, reinterpret_cast<sockaddr *>(&address), &length); },
         WSAENOTCONN},
        {"getsockname", [&] { return getsockname(s, reinterpret_cast<sockaddr *>(&address), &length); },
         WSAEINVAL},
        {"listen unbound", [&] { return listen(s, 1); }, WSAEINVAL},
        {"shutdown how", [&] { return shutdown(s, 7); }, WSAEINVAL},
        {"send MSG_OOB", [&] { return send(s, "x", 1, MSG_OOB); }, WSAEOPNOTSUPP},
        {"recv NULL", [&] { return recv(s, nullptr, 4, 0); }, WSAEFAULT},
        {"connect NULL", [&] { return connect(s, nullptr, 0); }, WSAEFAULT},
        {"connect family",
         [&] { return connect(s, reinterpret_cast<sockaddr *>(&wrongFamily), sizeof wrongFamily); },
         WSAEAFNOSUPPORT},
    };
    for (const Case &c : cases)
    {
        WSASetLastError(static_cast<int>(kSentinel));
        EXPECT_EQ(c.call(), SOCKET_ERROR) << c.what;
        EXPECT_EQ(WSAGetLastError(), c.error) << c.what;
    }
}

// --- select ---

TEST_F(Winsock, SelectSeveralSockets)
{
    u_short port;
    SOCKET listener = Listen(port);
    const u_short router = RouterPort(80, port);
    SOCKET clients[3], servers[3];
    for (int i = 0; i < 3; ++i)
    {
        clients[i] = NewSocket();
        ASSERT_EQ(Connect(clients[i], kRouter, router), 0);
        servers[i] = accept(listener, nullptr, nullptr);
        ASSERT_NE(servers[i], INVALID_SOCKET);
    }
    fd_set readable;
    FD_ZERO(&readable);
    for (SOCKET s : clients)
        FD_SET(s, &readable);
    timeval now{0, 0};
    EXPECT_EQ(select(0, &readable, nullptr, nullptr, &now), 0);
    EXPECT_EQ(readable.fd_count, 0u);

    SendAll(servers[0], "a");
    SendAll(servers[2], "c");
    ASSERT_EQ(closesocket(servers[1]), 0); // the end of the stream reads too
    fd_set writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    for (SOCKET s : clients)
        FD_SET(s, &readable);
    FD_SET(clients[1], &writable);
    timeval second{1, 0};
    int ready = 0;
    while (ready < 4) // data arrives when it arrives: wait for all of it
    {
        fd_set r = readable, w = writable;
        ready = select(0, &r, &w, nullptr, &second);
        ASSERT_NE(ready, SOCKET_ERROR);
        if (ready == 4)
        {
            EXPECT_EQ(r.fd_count, 3u);
            EXPECT_EQ(r.fd_array[0], clients[0]); // in the order given
            EXPECT_EQ(r.fd_array[2], clients[2]);
            EXPECT_TRUE(FD_ISSET(clients[1], &w));
        }
    }
    EXPECT_EQ(recv(clients[1], reinterpret_cast<char *>(&ready), 1, 0), 0);

    // Nothing to wait for, and timeval's rules.
    fd_set empty;
    FD_ZERO(&empty);
    EXPECT_EQ(select(0, &empty, nullptr, nullptr, &now), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(select(0, nullptr, nullptr, nullptr, &now), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    timeval negative{-1, 0};
    FD_SET(clients[0], &empty);
    EXPECT_EQ(select(0, &empty, nullptr, nullptr, &negative), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

TEST(WinsockFdSet, WindowsSemantics)
{
    fd_set set;
    FD_ZERO(&set);
    EXPECT_EQ(set.fd_count, 0u);
    FD_SET(8, &set);
    FD_SET(4, &set);
    FD_SET(8, &set); // once only
    FD_SET(12, &set);
    ASSERT_EQ(set.fd_count, 3u);
    EXPECT_EQ(set.fd_array[0], 8u);
    EXPECT_TRUE(FD_ISSET(4, &set));
    EXPECT_FALSE(FD_ISSET(5, &set));
    FD_CLR(8, &set); // the rest move down
    ASSERT_EQ(set.fd_count, 2u);
    EXPECT_EQ(set.fd_array[0], 4u);
    EXPECT_EQ(set.fd_array[1], 12u);
    FD_CLR(99, &set);
    EXPECT_EQ(set.fd_count, 2u);

    FD_ZERO(&set);
    for (SOCKET s = 1; s <= FD_SETSIZE + 5; ++s)
        FD_SET(s * 4, &set);
    EXPECT_EQ(set.fd_count, static_cast<u_int>(FD_SETSIZE)); // full: further ones are dropped
    static_assert(FD_SETSIZE == 64);
}

// --- threads ---

TEST_F(Winsock, CloseSocketEndsABlockedRecv)
{
    SOCKET client, server;
    ConnectPair(client, server);
    int result = 0, error = 0;
    std::thread reader([&] {
        char buffer[8];
        result = recv(client, buffer, sizeof buffer, 0);
        error = WSAGetLastError();
    });
    // closesocket may come before or during the recv: either way it fails.
    ASSERT_EQ(closesocket(client), 0);
    reader.join();
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_TRUE(error == WSAEINTR || error == WSAENOTSOCK) << error;
}

namespace
{
DWORD WINAPI BlockInAccept(LPVOID parameter)
{
    accept(*static_cast<SOCKET *>(parameter), nullptr, nullptr);
    return 0;
}
} // namespace

TEST_F(Winsock, TerminateThreadEndsABlockedAccept)
{
    u_short port;
    SOCKET listener = Listen(port);
    HANDLE thread = CreateThread(nullptr, 0, BlockInAccept, &listener, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(TerminateThread(thread, 7));
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(thread);
    EXPECT_EQ(closesocket(listener), 0); // still the process's socket
}

// --- options ---

TEST_F(Winsock, Options)
{
    u_short port;
    SOCKET listener = Listen(port);
    SOCKET s = NewSocket();
    struct Case
    {
        SOCKET socket;
        int level, name;
        int expected;
    };
    const Case cases[] = {
        {s, SOL_SOCKET, SO_TYPE, SOCK_STREAM},
        {s, SOL_SOCKET, SO_ACCEPTCONN, FALSE},
        {listener, SOL_SOCKET, SO_ACCEPTCONN, TRUE},
        {s, SOL_SOCKET, SO_REUSEADDR, FALSE},
        {s, SOL_SOCKET, SO_KEEPALIVE, FALSE},
        {s, SOL_SOCKET, SO_DONTLINGER, TRUE},
        {s, SOL_SOCKET, SO_RCVTIMEO, 0},
        {s, SOL_SOCKET, SO_RCVBUF, 8192},
        {s, IPPROTO_TCP, TCP_NODELAY, FALSE},
        {s, SOL_SOCKET, SO_ERROR, 0},
    };
    for (const Case &c : cases)
    {
        int value = -1;
        int length = sizeof value;
        EXPECT_EQ(getsockopt(c.socket, c.level, c.name, reinterpret_cast<char *>(&value), &length), 0)
            << c.name;
        EXPECT_EQ(value, c.expected) << c.name;
        EXPECT_EQ(length, 4) << c.name;
    }

    const BOOL on = TRUE;
    ASSERT_EQ(setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on), 0);
    linger lingering{1, 5};
    ASSERT_EQ(
        setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&lingering), sizeof lingering),
        0);
    struct
    {
        linger value;
        char guard[4];
    } read;
    std::memset(&read, 0xcc, sizeof read);
    int length = sizeof read;
    ASSERT_EQ(getsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<char *>(&read.value), &length), 0);
    EXPECT_EQ(length, static_cast<int>(sizeof(linger)));
    EXPECT_EQ(read.value.l_onoff, 1);
    EXPECT_EQ(read.value.l_linger, 5);
    EXPECT_EQ(static_cast<unsigned char>(read.guard[0]), 0xcc);

    int value;
    length = 2; // too small
    EXPECT_EQ(getsockopt(s, SOL_SOCKET, SO_TYPE, reinterpret_cast<char *>(&value), &length), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    length = sizeof value;
    EXPECT_EQ(getsockopt(s, SOL_SOCKET, 0x7777, reinterpret_cast<char *>(&value), &length), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);
    EXPECT_EQ(getsockopt(s, 12345, SO_TYPE, reinterpret_cast<char *>(&value), &length), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char *>(&on), 1), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    u_long arg = 0;
    EXPECT_EQ(ioctlsocket(s, 0x1234, &arg), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

TEST_F(Winsock, BindReportsTheAddressAsked)
{
    SOCKET s = NewSocket();
    sockaddr_in pc = Address(kPc, 0);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr *>(&pc), sizeof pc), 0);
    EXPECT_EQ(NameOf(s), std::string(kPc) + ":" + std::to_string(PortOf(s)));
    EXPECT_NE(PortOf(s), 0);
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr *>(&pc), sizeof pc), SOCKET_ERROR); // bound already
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);

    SOCKET other = NewSocket();
    sockaddr_in same = Address("0.0.0.0", PortOf(s));
    EXPECT_EQ(bind(other, reinterpret_cast<sockaddr *>(&same), sizeof same), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
    EXPECT_EQ(bind(other, reinterpret_cast<sockaddr *>(&same), sizeof same - 1), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(NameOf(other), "error " + std::to_string(WSAEINVAL));
}

// --- names and addresses ---

TEST(WinsockAddresses, InetAddr)
{
    struct Case
    {
        const char *text;
        ULONG hostOrder;
    };
    const Case cases[] = {
        {"192.168.1.1", 0xC0A80101},
        {"0.0.0.0", 0},
        {"127.0.0.1", 0x7F000001},
        {"4.003.002.0x10", 0x04030210}, // decimal, octal and hexadecimal parts
        {"0x4.0x3.0x2.0x10", 0x04030210},
        {"004.003.002.020", 0x04030210},
        {"0XC0.0Xa8.1.1", 0xC0A80101},
        {"1.2.3", 0x01020003}, // the last part fills 16 bits
        {"128.1.65535", 0x8001FFFF},
        {"10.65536", 0x0A010000}, // 24 bits
        {"10.16777215", 0x0AFFFFFF},
        {"3232235777", 0xC0A80101}, // one part: all 32 bits
        {"0xC0A80101", 0xC0A80101},
        {"1.2.3.4 trailing", 0x01020304}, // the text ends at a blank
        {"", 0},                          // Windows XP and earlier
        {" ", 0},
        {"255.255.255.255", INADDR_NONE},
        {"1.2.3.256", INADDR_NONE},
        {"1.2.256.4", INADDR_NONE},
        {"1.2.65536", INADDR_NONE},
        {"1.16777216", INADDR_NONE},
        {"4294967296", INADDR_NONE},
        {"1.2.3.4.5", INADDR_NONE},
        {"1..2.3", INADDR_NONE},
        {"1.2.3.", INADDR_NONE},
        {".1.2.3", INADDR_NONE},
        {"08.1.1.1", INADDR_NONE}, // 8 is no octal digit
        {"1.2.3.4x", INADDR_NONE},
        {"a.b.c.d", INADDR_NONE},
        {"router", INADDR_NONE},
        {"-1.2.3.4", INADDR_NONE},
    };
    for (const Case &c : cases)
    {
        const ULONG expected =
            c.hostOrder == INADDR_NONE ? INADDR_NONE : static_cast<ULONG>(htonl(c.hostOrder));
        EXPECT_EQ(inet_addr(c.text), expected) << "\"" << c.text << "\"";
    }
    EXPECT_EQ(inet_addr(nullptr), INADDR_NONE);
}

TEST(WinsockAddresses, ByteOrderAndText)
{
    EXPECT_EQ(htons(0x1234), 0x3412);
    EXPECT_EQ(ntohs(0x3412), 0x1234);
    EXPECT_EQ(htonl(0x01020304), 0x04030201u);
    EXPECT_EQ(ntohl(0x04030201), 0x01020304u);
    in_addr address;
    address.s_addr = static_cast<ULONG>(inet_addr("192.168.1.254"));
    EXPECT_EQ(address.S_un.S_un_b.s_b1, 192);
    EXPECT_EQ(address.S_un.S_un_b.s_b4, 254);
    EXPECT_STREQ(inet_ntoa(address), "192.168.1.254");

    // The buffer is the thread's own.
    char *mine = inet_ntoa(address);
    std::string other;
    std::thread([&] {
        in_addr zero{};
        other = inet_ntoa(zero);
    }).join();
    EXPECT_EQ(other, "0.0.0.0");
    EXPECT_STREQ(mine, "192.168.1.254");
}

TEST_F(Winsock, HostNames)
{
    char name[64];
    std::memset(name, 0xcc, sizeof name);
    ASSERT_EQ(gethostname(name, sizeof name), 0);
    const int length = static_cast<int>(std::strlen(name));
    EXPECT_EQ(gethostname(name, length), SOCKET_ERROR); // no room for the NUL
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(gethostname(nullptr, 64), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);

    // A dotted address is its own name: nothing is looked up.
    hostent *host = gethostbyname(kRouter);
    ASSERT_NE(host, nullptr);
    EXPECT_STREQ(host->h_name, kRouter);
    EXPECT_EQ(host->h_addrtype, AF_INET);
    EXPECT_EQ(host->h_length, 4);
    ASSERT_NE(host->h_addr_list[0], nullptr);
    EXPECT_EQ(host->h_addr_list[1], nullptr);
    EXPECT_EQ(reinterpret_cast<in_addr *>(host->h_addr)->s_addr, inet_addr(kRouter));

#ifndef _WIN32
    // The PC's own name and address; other names are unknown (the PC has no name server).
    ASSERT_EQ(gethostname(name, sizeof name), 0);
    EXPECT_STREQ(name, "PC-ADSL"); // machine.ini's computer name

    for (const char *self : {"PC-ADSL", "pc-adsl", ""})
    {
        host = gethostbyname(self);
        ASSERT_NE(host, nullptr) << self;
        EXPECT_STREQ(host->h_name, "PC-ADSL");
        EXPECT_STREQ(inet_ntoa(*reinterpret_cast<in_addr *>(host->h_addr)), "192.168.1.33");
    }
    WSASetLastError(static_cast<int>(kSentinel));
    EXPECT_EQ(gethostbyname("www.example.com"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
#endif
}

// --- product programs ---

TEST_F(Winsock, AnotherProcessUsesTheSameNetwork)
{
    u_short port;
    SOCKET listener = Listen(port);
    const u_short router = RouterPort(21, port);
    std::string received;
    std::thread server([&] {
        SOCKET s = accept(listener, nullptr, nullptr);
        char buffer[64];
        int n;
        while ((n = recv(s, buffer, sizeof buffer, 0)) > 0)
            received.append(buffer, static_cast<size_t>(n));
        SendAll(s, "220 ok");
        closesocket(s);
    });
    kittest::Child child("platform_child_winsock", {kRouter, std::to_string(router), "QUIT"});
    ASSERT_TRUE(child.Started());
    const std::string reply = child.ReadLine(), host = child.ReadLine();
    EXPECT_EQ(child.Wait(), 0) << reply;
    server.join();
    EXPECT_EQ(received, "QUIT");
    EXPECT_EQ(reply, "reply: 220 ok");
    char name[64] = "";
    gethostname(name, sizeof name);
    EXPECT_EQ(host, std::string("host: ") + name); // the same PC
}

#ifndef _WIN32

// A product program reaches only the platform's Winsock: among its undefined symbols there is
// no C library socket function (ours have C++ linkage, so theirs would show unmangled).
TEST(WinsockLinkage, ProductProgramsCannotReachTheHostSockets)
{
    const std::string program = kittest::BinDir() + "/platform_child_winsock";
    FILE *pipe = ::popen(("nm -D --undefined-only '" + program + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> symbols;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe))
    {
        std::string text(line);
        size_t start = text.find_last_of(' ');
        std::string symbol = text.substr(start == std::string::npos ? 0 : start + 1);
        while (!symbol.empty() && (symbol.back() == '\n' || symbol.back() == '\r'))
            symbol.pop_back();
        symbols.push_back(symbol.substr(0, symbol.find('@'))); // without the version
    }
    if (::pclose(pipe) != 0 && symbols.empty())
        GTEST_SKIP() << "nm is not available";
    const char *hostFunctions[] = {"socket",      "connect",     "bind",        "listen",        "accept",
                                   "accept4",     "send",        "recv",        "sendto",        "recvfrom",
                                   "select",      "poll",        "shutdown",    "setsockopt",    "getsockopt",
                                   "getsockname", "getpeername", "gethostname", "gethostbyname", "inet_addr",
                                   "inet_ntoa",   "htons",       "htonl",       "ntohs",         "ntohl"};
    for (const char *name : hostFunctions)
        EXPECT_EQ(std::count(symbols.begin(), symbols.end(), name), 0) << name;
    // It does call ours (mangled C++ names).
    EXPECT_TRUE(std::any_of(symbols.begin(), symbols.end(),
                            [](const std::string &s) { return s.starts_with("_Z7connect"); }));
}
#endif
