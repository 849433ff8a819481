// Windows Sockets (ws2_32) over the simulated PC's virtual network. Only TCP over IPv4.
//
// A SOCKET is an entry of the platform's handle table. Its host descriptor is made when the
// socket is bound or connects to a listed address, so an unreachable address never costs a
// real packet. Host descriptors are always non-blocking; Windows' blocking calls are the
// platform's sliced waits, so that closesocket from another thread (WSAEINTR) and
// TerminateThread end a blocked call. Addresses the program sees are virtual: the peer is the
// address it connected to, the local end is the PC's address.
// This file must not include the POSIX socket headers (their names collide with Windows').
#include "platform/winsock2.h"
#include "platform/windows.h"
#include "platform/kit/kitmachine.h"
#include "platform/core/handles.h"
#include "platform/core/netposix.h"
#include "platform/core/text.h"
#include "platform/core/virtualnet.h"
#include "platform/core/wait.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace
{
using plat::net::Endpoint;

constexpr auto kConnectTimeLimit = std::chrono::seconds(21); // when Windows gives up a connection
constexpr WORD kLowestVersion = MAKEWORD(1, 0); // Winsock 2 still grants 1.0 to whoever asks for it
constexpr WORD kHighestVersion = MAKEWORD(2, 2);
constexpr int kDefaultBufferSize = 8192; // what Windows reports for SO_RCVBUF and SO_SNDBUF

// A Winsock version (MAKEWORD(major, minor)) as a number that orders versions.
int VersionOrder(WORD version)
{
    return LOBYTE(version) * 256 + HIBYTE(version);
}

// The Winsock error for an errno value of the host's sockets.
int WsaFromErrno(int err)
{
    switch (err)
    {
    case 0:
        return 0;
    case EAGAIN:
    case EINPROGRESS:
        return WSAEWOULDBLOCK;
    case EALREADY:
        return WSAEALREADY;
    case EINTR:
        return WSAEINTR;
    case EBADF:
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE:
        return WSAECONNRESET;
    case EISCONN:
        return WSAEISCONN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    default:
        return WSAENETDOWN;
    }
}

int SocketFailure(int error)
{
    SetLastError(static_cast<DWORD>(error));
    return SOCKET_ERROR;
}

SOCKET InvalidSocket(int error)
{
    SetLastError(static_cast<DWORD>(error));
    return INVALID_SOCKET;
}

// --- WSAStartup's count and the process's sockets ---

std::mutex &ProcessLock()
{
    static auto *lock = new std::mutex;
    return *lock;
}
int g_startups = 0; // guarded by ProcessLock
std::atomic<bool> g_started{false};
std::set<SOCKET> &LiveSockets() // guarded by ProcessLock
{
    static auto *sockets = new std::set<SOCKET>;
    return *sockets;
}

bool Started()
{
    return g_started.load();
}

// --- sockets ---

// A host descriptor, closed when its last user lets go of it: a call blocked on it keeps it
// open after closesocket, so the number is never reused under it.
class Descriptor
{
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { plat::net::Close(fd_, abortive_.load()); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int Fd() const { return fd_; }
    void SetAbortive() { abortive_.store(true); }

  private:
    int fd_;
    std::atomic<bool> abortive_{false};
};
using DescriptorPtr = std::shared_ptr<Descriptor>;

enum class State
{
    Fresh,
    Bound,
    Listening,
    Connecting,
    ConnectFailed,
    Connected,
    Closed, // by closesocket or WSACleanup while a call was using it
};

struct Options
{
    bool nonBlocking = false;
    bool reuseAddress = false;
    bool keepAlive = false;
    bool noDelay = false;
    linger lingering{0, 0};
    DWORD receiveTimeout = 0; // milliseconds, 0 = none
    DWORD sendTimeout = 0;
    int receiveBuffer = kDefaultBufferSize;
    int sendBuffer = kDefaultBufferSize;
};

class Socket final : public plat::KernelObject
{
  public:
    Socket() : KernelObject(plat::ObjectKind::Socket) {}
    bool ClosableByCloseHandle() const override
    {
        return false; // closesocket, as Windows programs are required to use
    }

    std::mutex lock; // guards everything below but `closed`
    State state = State::Fresh;
    DescriptorPtr descriptor;
    Options options;
    Endpoint local;         // virtual: the address bound (the PC's once connected) and the real port
    Endpoint peer;          // virtual: the address connected to
    uint16_t boundPort = 0; // the port bind gave, kept for a new host socket
    int connectError = 0;
    int pendingError = 0; // SO_ERROR
    bool sendShut = false;
    bool receiveShut = false;
    std::atomic<bool> closed{false};
};
using SocketPtr = std::shared_ptr<Socket>;

SocketPtr FindSocket(SOCKET s)
{
    return plat::FindHandleObject<Socket>(reinterpret_cast<HANDLE>(s), plat::ObjectKind::Socket);
}

// The socket a call names; nullptr with the error set (before WSAStartup, or not a socket).
SocketPtr UseSocket(SOCKET s)
{
    if (!Started())
    {
        SetLastError(WSANOTINITIALISED);
        return nullptr;
    }
    SocketPtr socket = FindSocket(s);
    if (!socket)
        SetLastError(WSAENOTSOCK);
    return socket;
}

// Gives a new host descriptor the socket options the host must know (TCP_NODELAY, SO_KEEPALIVE).
void ApplyOptions(int fd, const Options &options)
{
    if (options.noDelay)
        plat::net::SetNoDelay(fd, true);
    if (options.keepAlive)
        plat::net::SetKeepAlive(fd, true);
}

// Gives the socket a host descriptor with its options, bound as bind asked, unless it has one
// (lock held); 0 or a Winsock error.
int EnsureDescriptor(Socket &socket)
{
    if (socket.descriptor)
        return 0;
    int fd;
    if (int err = plat::net::OpenTcp(fd))
        return WsaFromErrno(err);
    auto descriptor = std::make_shared<Descriptor>(fd);
    ApplyOptions(fd, socket.options);
    if (socket.boundPort != 0)
        if (int err = plat::net::BindLoopback(fd, socket.boundPort, socket.options.reuseAddress))
            return WsaFromErrno(err);
    socket.descriptor = std::move(descriptor);
    return 0;
}

// The local address of a connection: the one bound, else the PC's own.
uint32_t LocalAddressOf(const Socket &socket)
{
    return socket.local.address ? socket.local.address : plat::VirtualLocalAddress();
}

// Records the outcome of a connection attempt (lock held); `error` is a Winsock error.
void FinishConnect(Socket &socket, int error)
{
    if (error == 0)
    {
        socket.state = State::Connected;
        socket.local.address = LocalAddressOf(socket);
        return;
    }
    socket.state = State::ConnectFailed;
    socket.connectError = error;
    socket.pendingError = error;
}

// Settles a connection in progress once the host knows its outcome (lock held).
void Settle(Socket &socket)
{
    if (socket.state != State::Connecting)
        return;
    plat::net::PollItem item;
    item.fd = socket.descriptor->Fd();
    item.wantWrite = true;
    plat::net::Poll({&item, 1}, 0);
    if (item.writable)
        FinishConnect(socket, WsaFromErrno(plat::net::ConnectResult(item.fd)));
}

// Closes a socket's use (closesocket and WSACleanup): blocked calls end with WSAEINTR.
void Shut(Socket &socket)
{
    std::lock_guard guard(socket.lock);
    socket.closed.store(true);
    socket.state = State::Closed;
    if (socket.descriptor && socket.options.lingering.l_onoff && socket.options.lingering.l_linger == 0)
        socket.descriptor->SetAbortive();
    socket.descriptor.reset();
}

// Why a call that needs a connection cannot go on (lock held; a connection in progress is
// settled first), or 0.
int ConnectedError(Socket &socket)
{
    Settle(socket);
    if (socket.state == State::Closed)
        return WSAENOTSOCK; // closed by another thread since the call found it
    return socket.state == State::Connected ? 0 : WSAENOTCONN;
}

// The checks of send's and recv's arguments, before the socket is looked at; 0 or a Winsock
// error.
int TransferArgumentError(const char *buf, int len, int flags, int supportedFlags)
{
    if (len < 0 || (!buf && len > 0))
        return WSAEFAULT;
    if (flags & ~supportedFlags)
        return WSAEOPNOTSUPP;
    return 0;
}

// Why send or recv cannot go on (lock held): no connection, or its direction (`shut`) shut
// down; or 0.
int TransferError(Socket &socket, bool Socket::*shut)
{
    if (int error = ConnectedError(socket))
        return error;
    return socket.*shut ? WSAESHUTDOWN : 0;
}

SOCKET NewSocketHandle(SocketPtr socket)
{
    HANDLE handle = plat::InsertHandle(socket);
    if (!handle)
        return InvalidSocket(WSAENOBUFS);
    SOCKET s = reinterpret_cast<SOCKET>(handle);
    std::lock_guard guard(ProcessLock());
    LiveSockets().insert(s);
    return s;
}

// --- waiting ---

// The deadline of a blocking send or recv: SO_SNDTIMEO and SO_RCVTIMEO count 0 as none.
plat::Deadline TransferDeadline(DWORD milliseconds)
{
    if (milliseconds == 0)
        return std::nullopt;
    return plat::DeadlineIn(std::chrono::milliseconds(milliseconds));
}

// Waits until the descriptor can be read (or written), the socket is closed (Stopped) or the
// deadline passes; a platform wait point. A failed poll of the host only ends a slice.
plat::WaitOutcome WaitReady(const Socket &socket, const Descriptor &descriptor, bool write,
                            const plat::Deadline &deadline)
{
    auto closed = [&socket] { return socket.closed.load(); };
    plat::WaitOutcome outcome;
    do
        outcome = plat::WaitForDescriptor(descriptor.Fd(), write, deadline, closed);
    while (outcome == plat::WaitOutcome::Failed);
    return outcome;
}

// How a blocked send or recv ends after a wait: 0 to go on, or its Winsock error.
int WaitError(plat::WaitOutcome outcome)
{
    switch (outcome)
    {
    case plat::WaitOutcome::Stopped:
        return WSAEINTR;
    case plat::WaitOutcome::TimedOut:
        return WSAETIMEDOUT;
    case plat::WaitOutcome::Ready:
    case plat::WaitOutcome::Failed:
        break;
    }
    return 0;
}

// --- addresses ---

// The IPv4 address a caller passed; 0 or a Winsock error.
int ReadAddress(const sockaddr *name, int namelen, Endpoint &endpoint)
{
    if (!name || namelen < static_cast<int>(sizeof(sockaddr_in)))
        return WSAEFAULT;
    sockaddr_in in;
    std::memcpy(&in, name, sizeof in);
    if (in.sin_family != AF_INET)
        return WSAEAFNOSUPPORT;
    endpoint = {static_cast<uint32_t>(ntohl(in.sin_addr.s_addr)), ntohs(in.sin_port)};
    return 0;
}

// Fills a caller's address buffer; 0 or a Winsock error.
int WriteAddress(Endpoint endpoint, sockaddr *name, int *namelen)
{
    if (!name || !namelen || *namelen < static_cast<int>(sizeof(sockaddr_in)))
        return WSAEFAULT;
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(endpoint.port);
    in.sin_addr.s_addr = static_cast<ULONG>(htonl(endpoint.address));
    std::memcpy(name, &in, sizeof in);
    *namelen = sizeof in;
    return 0;
}

uint16_t Swap16(uint16_t value)
{
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<uint16_t>((value >> 8) | (value << 8));
    return value;
}

uint32_t Swap32(uint32_t value)
{
    if constexpr (std::endian::native == std::endian::little)
        return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
    return value;
}

// One part of a dotted address in C notation (0x hex, 0 octal, else decimal); advances p.
std::optional<uint64_t> AddressPart(const char *&p)
{
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
    {
        base = 16;
        p += 2;
    }
    else if (p[0] == '0')
        base = 8;
    else if (p[0] < '0' || p[0] > '9')
        return std::nullopt;
    uint64_t value = 0;
    for (;; ++p)
    {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else if (base == 16 && *p >= 'A' && *p <= 'F')
            digit = *p - 'A' + 10;
        else
            break;
        if (digit >= base)
            return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return value;
}

// inet_addr's rules, in host order: one to four parts, the last filling the remaining bytes;
// the text ends at its end or at a blank; nothing at all is address 0.
std::optional<uint32_t> ParseInetAddress(const char *text)
{
    std::vector<uint64_t> parts;
    const char *p = text;
    if (*p != '\0' && *p != ' ')
    {
        for (;;)
        {
            std::optional<uint64_t> part = AddressPart(p);
            if (!part)
                return std::nullopt;
            parts.push_back(*part);
            if (*p == '.' && parts.size() < 4)
                ++p;
            else if (*p == '\0' || *p == ' ')
                break;
            else
                return std::nullopt;
        }
    }
    if (parts.empty())
        return 0;
    uint64_t address = 0;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
    {
        if (parts[i] > 0xFF)
            return std::nullopt;
        address |= parts[i] << (24 - 8 * i);
    }
    const uint64_t lastLimit = 0xFFFFFFFFu >> (8 * (parts.size() - 1));
    if (parts.back() > lastLimit)
        return std::nullopt;
    return static_cast<uint32_t>(address | parts.back());
}

// --- select ---

// One socket of a select call, with the sets it is in.
struct Watched
{
    SOCKET handle;
    SocketPtr socket;
    bool inRead = false, inWrite = false, inExcept = false;
    bool readReady = false, writeReady = false, exceptReady = false;
    bool quiet = false; // hung up while only its out-of-band data is wanted: nothing more to poll
};

// Adds the sockets of one set; 0 or WSAENOTSOCK.
int CollectSet(fd_set *set, bool Watched::*member, std::vector<Watched> &watched)
{
    if (!set)
        return 0;
    for (u_int i = 0; i < set->fd_count; ++i)
    {
        SOCKET s = set->fd_array[i];
        auto it =
            std::find_if(watched.begin(), watched.end(), [s](const Watched &w) { return w.handle == s; });
        if (it == watched.end())
        {
            SocketPtr socket = FindSocket(s);
            if (!socket)
                return WSAENOTSOCK;
            watched.push_back({s, std::move(socket)});
            it = watched.end() - 1;
        }
        (*it).*member = true;
    }
    return 0;
}

// Keeps in a set only the sockets that are ready for it.
void KeepReady(fd_set *set, bool Watched::*ready, const std::vector<Watched> &watched)
{
    if (!set)
        return;
    u_int kept = 0;
    for (u_int i = 0; i < set->fd_count; ++i)
    {
        SOCKET s = set->fd_array[i];
        auto it =
            std::find_if(watched.begin(), watched.end(), [s](const Watched &w) { return w.handle == s; });
        if (it != watched.end() && (*it).*ready)
            set->fd_array[kept++] = s;
    }
    set->fd_count = kept;
}

// Polls the watched sockets once, waiting up to `milliseconds`, and marks what is ready.
// Returns the number of set entries that are ready, or -1 when a socket was closed meanwhile.
int PollWatched(std::vector<Watched> &watched, int milliseconds)
{
    std::vector<plat::net::PollItem> items;
    std::vector<DescriptorPtr> holders; // keeps descriptors open while polled
    std::vector<size_t> itemOf(watched.size(), SIZE_MAX);
    for (size_t i = 0; i < watched.size(); ++i)
    {
        Watched &w = watched[i];
        std::lock_guard guard(w.socket->lock);
        if (w.socket->closed.load())
            return -1;
        Settle(*w.socket);
        const State state = w.socket->state;
        w.readReady = w.writeReady = false;
        w.exceptReady = w.inExcept && state == State::ConnectFailed;
        plat::net::PollItem item;
        item.wantRead = w.inRead && (state == State::Listening || state == State::Connected);
        item.wantWrite = (w.inWrite && state == State::Connected) || state == State::Connecting;
        item.wantUrgent = w.inExcept && state == State::Connected;
        if (w.quiet || !w.socket->descriptor || !(item.wantRead || item.wantWrite || item.wantUrgent))
            continue;
        item.fd = w.socket->descriptor->Fd();
        itemOf[i] = items.size();
        items.push_back(item);
        holders.push_back(w.socket->descriptor);
    }
    if (items.empty() && milliseconds > 0)
        plat::SleepMilliseconds(static_cast<DWORD>(milliseconds));
    else if (!items.empty())
        plat::net::Poll(items, milliseconds);

    int count = 0;
    for (size_t i = 0; i < watched.size(); ++i)
    {
        Watched &w = watched[i];
        if (itemOf[i] != SIZE_MAX)
        {
            const plat::net::PollItem &item = items[itemOf[i]];
            std::lock_guard guard(w.socket->lock);
            if (w.socket->state == State::Connecting && item.writable)
                Settle(*w.socket);
            const State state = w.socket->state;
            w.readReady = item.wantRead && item.readable;
            w.writeReady = w.inWrite && state == State::Connected && item.writable;
            w.exceptReady = (w.inExcept && state == State::ConnectFailed) || (item.wantUrgent && item.urgent);
            w.quiet = !item.wantRead && !item.wantWrite && item.failed;
        }
        count += int(w.readReady) + int(w.writeReady) + int(w.exceptReady);
    }
    return count;
}

// --- the per-thread results of inet_ntoa and gethostbyname ---

thread_local char t_addressText[16];

struct HostBuffer
{
    hostent entry{};
    char name[256]{};
    char *aliases[1]{};
    char *addresses[2]{};
    in_addr address{};
};
thread_local HostBuffer t_host;

hostent *FillHost(const std::string &name, uint32_t address)
{
    HostBuffer &host = t_host;
    std::snprintf(host.name, sizeof host.name, "%s", name.c_str());
    host.address.s_addr = static_cast<ULONG>(htonl(address));
    host.aliases[0] = nullptr;
    host.addresses[0] = reinterpret_cast<char *>(&host.address);
    host.addresses[1] = nullptr;
    host.entry.h_name = host.name;
    host.entry.h_aliases = host.aliases;
    host.entry.h_addrtype = AF_INET;
    host.entry.h_length = sizeof(in_addr);
    host.entry.h_addr_list = host.addresses;
    return &host.entry;
}

// BOOL-sized option values: at least an int, as Windows reads them.
int ReadIntOption(const char *optval, int optlen, int &value)
{
    if (!optval || optlen < static_cast<int>(sizeof(int)))
        return WSAEFAULT;
    std::memcpy(&value, optval, sizeof value);
    return 0;
}

template <class T> int WriteOption(const T &value, char *optval, int *optlen)
{
    if (!optval || !optlen || *optlen < static_cast<int>(sizeof(T)))
        return WSAEFAULT;
    std::memcpy(optval, &value, sizeof(T));
    *optlen = sizeof(T);
    return 0;
}
} // namespace

// WSAStartup: counts the process's users of Winsock. Versions from 1.0 are accepted; the version
// granted is the one asked for, at most 2.2 (WSADATA says so). Returns the error itself.
int WSAAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData)
{
    if (VersionOrder(wVersionRequested) < VersionOrder(kLowestVersion))
        return WSAVERNOTSUPPORTED;
    if (!lpWSAData)
        return WSAEFAULT;
    const bool above = VersionOrder(wVersionRequested) > VersionOrder(kHighestVersion);
    std::memset(lpWSAData, 0, sizeof *lpWSAData);
    lpWSAData->wVersion = above ? kHighestVersion : wVersionRequested;
    lpWSAData->wHighVersion = kHighestVersion;
    const bool winsock1 = LOBYTE(lpWSAData->wVersion) < 2;
    lpWSAData->iMaxSockets = winsock1 ? 32767 : 0; // Winsock 2 leaves these to the protocols
    lpWSAData->iMaxUdpDg = winsock1 ? 65467 : 0;
    std::snprintf(lpWSAData->szDescription, sizeof lpWSAData->szDescription, "WinSock 2.0");
    std::snprintf(lpWSAData->szSystemStatus, sizeof lpWSAData->szSystemStatus, "Running");
    std::lock_guard guard(ProcessLock());
    ++g_startups;
    g_started.store(true);
    return 0;
}

// WSACleanup: ends one WSAStartup; the last one closes every socket left open (their blocked
// calls end with WSAEINTR).
int WSAAPI WSACleanup()
{
    std::vector<SOCKET> open;
    {
        std::lock_guard guard(ProcessLock());
        if (g_startups == 0)
            return SocketFailure(WSANOTINITIALISED);
        if (--g_startups > 0)
            return 0;
        g_started.store(false);
        open.assign(LiveSockets().begin(), LiveSockets().end());
        LiveSockets().clear();
    }
    for (SOCKET s : open)
    {
        if (SocketPtr socket = FindSocket(s))
        {
            plat::RemoveHandle(reinterpret_cast<HANDLE>(s));
            Shut(*socket);
        }
    }
    return 0;
}

// WSAGetLastError: the thread's last error (the same value as GetLastError).
int WSAAPI WSAGetLastError()
{
    return static_cast<int>(GetLastError());
}

// WSASetLastError: sets the thread's last error.
void WSAAPI WSASetLastError(int iError)
{
    SetLastError(static_cast<DWORD>(iError));
}

// socket: a TCP socket (AF_INET, SOCK_STREAM, protocol 0 or IPPROTO_TCP). Other families fail
// with WSAEAFNOSUPPORT and other types, UDP among them, with WSAESOCKTNOSUPPORT.
SOCKET WSAAPI socket(int af, int type, int protocol)
{
    if (!Started())
        return InvalidSocket(WSANOTINITIALISED);
    if (af != AF_INET)
        return InvalidSocket(WSAEAFNOSUPPORT);
    if (type != SOCK_STREAM)
        return InvalidSocket(WSAESOCKTNOSUPPORT);
    if (protocol != 0 && protocol != IPPROTO_TCP)
        return InvalidSocket(WSAEPROTONOSUPPORT);
    return NewSocketHandle(std::make_shared<Socket>());
}

// closesocket: closes a socket; the connection ends in order (or is reset with SO_LINGER
// on and a zero time). Never waits for unsent data, whatever the linger time.
int WSAAPI closesocket(SOCKET s)
{
    SocketPtr socket = UseSocket(s);
    if (!socket || !plat::RemoveHandle(reinterpret_cast<HANDLE>(s)))
        return SocketFailure(Started() ? WSAENOTSOCK : WSANOTINITIALISED);
    {
        std::lock_guard guard(ProcessLock());
        LiveSockets().erase(s);
    }
    Shut(*socket);
    return 0;
}

// bind: whatever address is asked, the socket is bound on the host's loopback with the port
// asked (0: a free one); getsockname reports the address asked and the real port, which
// programs outside the PC reach on 127.0.0.1.
int WSAAPI bind(SOCKET s, const struct sockaddr *name, int namelen)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    Endpoint asked;
    if (int error = ReadAddress(name, namelen, asked))
        return SocketFailure(error);
    std::lock_guard guard(socket->lock);
    if (socket->state != State::Fresh)
        return SocketFailure(WSAEINVAL);
    if (int error = EnsureDescriptor(*socket))
        return SocketFailure(error);
    const int fd = socket->descriptor->Fd();
    if (int err = plat::net::BindLoopback(fd, asked.port, socket->options.reuseAddress))
        return SocketFailure(WsaFromErrno(err));
    Endpoint real;
    plat::net::LocalName(fd, real);
    socket->local = {asked.address, real.port};
    socket->boundPort = real.port;
    socket->state = State::Bound;
    return 0;
}

// listen: a bound socket starts accepting connections (again: changes nothing).
int WSAAPI listen(SOCKET s, int backlog)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    std::lock_guard guard(socket->lock);
    Settle(*socket);
    if (socket->state == State::Connected || socket->state == State::Connecting)
        return SocketFailure(WSAEISCONN);
    if (socket->state != State::Bound && socket->state != State::Listening)
        return SocketFailure(WSAEINVAL);
    if (int err = plat::net::Listen(socket->descriptor->Fd(), std::clamp(backlog, 1, 128)))
        return SocketFailure(WsaFromErrno(err));
    socket->state = State::Listening;
    return 0;
}

// accept: the next connection; the new socket has the listening socket's options (blocking
// mode included). Its peer is the virtual host the connection comes from (the [Hosts] entry
// for its loopback address), its local end the listening address.
SOCKET WSAAPI accept(SOCKET s, struct sockaddr *addr, int *addrlen)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return INVALID_SOCKET;
    if (addr && (!addrlen || *addrlen < static_cast<int>(sizeof(sockaddr_in))))
        return InvalidSocket(WSAEFAULT);
    for (;;)
    {
        std::unique_lock guard(socket->lock);
        if (socket->state == State::Closed)
            return InvalidSocket(WSAEINTR);
        if (socket->state != State::Listening)
            return InvalidSocket(WSAEINVAL);
        DescriptorPtr descriptor = socket->descriptor;
        int fd;
        Endpoint realPeer;
        int err = plat::net::Accept(descriptor->Fd(), fd, realPeer);
        if (err == 0)
        {
            auto accepted = std::make_shared<Socket>();
            accepted->descriptor = std::make_shared<Descriptor>(fd);
            accepted->options = socket->options;
            accepted->state = State::Connected;
            accepted->local = {LocalAddressOf(*socket), socket->local.port};
            accepted->peer = plat::VirtualNetReverse(realPeer).value_or(realPeer);
            guard.unlock();
            ApplyOptions(fd, accepted->options);
            if (addr)
                WriteAddress(accepted->peer, addr, addrlen);
            return NewSocketHandle(std::move(accepted));
        }
        if (err != EAGAIN)
            return InvalidSocket(WsaFromErrno(err));
        if (socket->options.nonBlocking)
            return InvalidSocket(WSAEWOULDBLOCK);
        guard.unlock();
        if (WaitReady(*socket, *descriptor, false, std::nullopt) == plat::WaitOutcome::Stopped)
            return InvalidSocket(WSAEINTR);
    }
}

// connect: through the virtual network only. A listed address:port reaches its loopback
// endpoint (a closed port: WSAECONNREFUSED); an address not listed, or mapped outside the
// loopback, is unreachable at once (WSAETIMEDOUT, nothing sent). A non-blocking socket answers
// WSAEWOULDBLOCK and select reports the outcome (writable, or failed in exceptfds with SO_ERROR
// set). A socket whose attempt failed may connect again.
int WSAAPI connect(SOCKET s, const struct sockaddr *name, int namelen)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    Endpoint to;
    if (int error = ReadAddress(name, namelen, to))
        return SocketFailure(error);
    std::unique_lock guard(socket->lock);
    Settle(*socket);
    switch (socket->state)
    {
    case State::Listening:
        return SocketFailure(WSAEINVAL);
    case State::Connected:
        return SocketFailure(WSAEISCONN);
    case State::Connecting:
        return SocketFailure(WSAEALREADY);
    case State::Closed:
        return SocketFailure(WSAENOTSOCK);
    default:
        break;
    }
    if (to.address == INADDR_ANY || to.port == 0)
        return SocketFailure(WSAEADDRNOTAVAIL);
    socket->peer = to;
    const bool nonBlocking = socket->options.nonBlocking;
    auto fail = [&](int error) {
        FinishConnect(*socket, error);
        if (!nonBlocking)
            socket->pendingError = 0;
        return SocketFailure(nonBlocking ? WSAEWOULDBLOCK : error);
    };
    std::optional<Endpoint> target = plat::VirtualNetLookup(to.address, to.port);
    if (!target)
        return fail(WSAETIMEDOUT);
    if (socket->state == State::ConnectFailed)
        socket->descriptor.reset(); // the host's socket cannot try again: a new one
    if (int error = EnsureDescriptor(*socket))
        return SocketFailure(error);
    DescriptorPtr descriptor = socket->descriptor;
    int err = plat::net::StartConnect(descriptor->Fd(), *target);
    if (err != 0 && err != EINPROGRESS)
        return fail(WsaFromErrno(err));
    Endpoint real;
    plat::net::LocalName(descriptor->Fd(), real);
    socket->local.port = real.port;
    socket->state = State::Connecting;
    if (nonBlocking)
        return SocketFailure(WSAEWOULDBLOCK);

    guard.unlock();
    const plat::WaitOutcome waited =
        WaitReady(*socket, *descriptor, true, plat::DeadlineIn(kConnectTimeLimit));
    guard.lock();
    if (waited == plat::WaitOutcome::Stopped || socket->closed.load())
        return SocketFailure(WSAEINTR);
    if (waited == plat::WaitOutcome::TimedOut)
    {
        socket->descriptor.reset(); // the host may still be trying: start afresh next time
        return fail(WSAETIMEDOUT);
    }
    Settle(*socket);
    if (socket->state == State::Connected)
        return 0;
    return fail(socket->connectError);
}

// send: a blocking socket sends everything (waiting for room, up to SO_SNDTIMEO:
// WSAETIMEDOUT); a non-blocking one what fits, or WSAEWOULDBLOCK. MSG_OOB is not supported.
int WSAAPI send(SOCKET s, const char *buf, int len, int flags)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    if (int error = TransferArgumentError(buf, len, flags, MSG_DONTROUTE))
        return SocketFailure(error);
    std::unique_lock guard(socket->lock);
    if (int error = TransferError(*socket, &Socket::sendShut))
        return SocketFailure(error);
    DescriptorPtr descriptor = socket->descriptor;
    const bool nonBlocking = socket->options.nonBlocking;
    const plat::Deadline deadline = TransferDeadline(socket->options.sendTimeout);
    guard.unlock();

    size_t done = 0;
    while (done < static_cast<size_t>(len))
    {
        size_t sent = 0;
        int err = plat::net::Send(descriptor->Fd(), buf + done, static_cast<size_t>(len) - done, sent);
        if (err == 0)
        {
            done += sent;
            continue;
        }
        if (err != EAGAIN)
            return SocketFailure(WsaFromErrno(err));
        if (nonBlocking)
            return done > 0 ? static_cast<int>(done) : SocketFailure(WSAEWOULDBLOCK);
        if (int error = WaitError(WaitReady(*socket, *descriptor, true, deadline)))
            return SocketFailure(error);
    }
    return static_cast<int>(done);
}

// recv: what has arrived, up to len; 0 once the peer has closed in order. A blocking socket
// waits (up to SO_RCVTIMEO: WSAETIMEDOUT); MSG_PEEK leaves the data queued; MSG_WAITALL (blocking
// sockets) waits for len bytes or the end. MSG_OOB is not supported.
int WSAAPI recv(SOCKET s, char *buf, int len, int flags)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    if (int error = TransferArgumentError(buf, len, flags, MSG_PEEK | MSG_WAITALL))
        return SocketFailure(error);
    std::unique_lock guard(socket->lock);
    if (int error = TransferError(*socket, &Socket::receiveShut))
        return SocketFailure(error);
    const bool nonBlocking = socket->options.nonBlocking;
    if (nonBlocking && (flags & MSG_WAITALL))
        return SocketFailure(WSAEOPNOTSUPP);
    DescriptorPtr descriptor = socket->descriptor;
    const plat::Deadline deadline = TransferDeadline(socket->options.receiveTimeout);
    guard.unlock();
    if (len == 0)
        return 0;

    const bool peek = (flags & MSG_PEEK) != 0;
    const bool all = (flags & MSG_WAITALL) != 0 && !peek;
    size_t done = 0;
    for (;;)
    {
        size_t received = 0;
        int err =
            plat::net::Receive(descriptor->Fd(), buf + done, static_cast<size_t>(len) - done, peek, received);
        if (err == 0)
        {
            done += received;
            if (received == 0 || !all || done == static_cast<size_t>(len))
                return static_cast<int>(done);
            continue;
        }
        if (err != EAGAIN)
            return SocketFailure(WsaFromErrno(err));
        if (nonBlocking)
            return SocketFailure(WSAEWOULDBLOCK);
        if (int error = WaitError(WaitReady(*socket, *descriptor, false, deadline)))
            return SocketFailure(error);
    }
}

// shutdown: SD_SEND ends the sending direction (the peer reads the end); SD_RECEIVE makes
// later recv calls fail with WSAESHUTDOWN; SD_BOTH does both.
int WSAAPI shutdown(SOCKET s, int how)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    if (how != SD_RECEIVE && how != SD_SEND && how != SD_BOTH)
        return SocketFailure(WSAEINVAL);
    std::lock_guard guard(socket->lock);
    if (int error = ConnectedError(*socket))
        return SocketFailure(error);
    if (how != SD_RECEIVE)
    {
        if (int err = plat::net::ShutdownSend(socket->descriptor->Fd()))
            return SocketFailure(WsaFromErrno(err));
        socket->sendShut = true;
    }
    if (how != SD_SEND)
        socket->receiveShut = true;
    return 0;
}

// select: Windows' fd_set (a count and an array of sockets); nfds is ignored. Readable: data,
// the end of the stream, or a pending connection; writable: a connection made; exceptfds: a
// failed connection attempt or out-of-band data. A NULL time-out waits for ever. Returns how
// many set entries are ready; fails with WSAEINVAL when every set is empty and WSAEINTR when a
// socket is closed meanwhile. A platform wait point.
int WSAAPI select(int, fd_set *readfds, fd_set *writefds, fd_set *exceptfds, const struct timeval *timeout)
{
    if (!Started())
        return SocketFailure(WSANOTINITIALISED);
    std::vector<Watched> watched;
    if (int error = CollectSet(readfds, &Watched::inRead, watched))
        return SocketFailure(error);
    if (int error = CollectSet(writefds, &Watched::inWrite, watched))
        return SocketFailure(error);
    if (int error = CollectSet(exceptfds, &Watched::inExcept, watched))
        return SocketFailure(error);
    if (watched.empty())
        return SocketFailure(WSAEINVAL);
    plat::Deadline deadline;
    if (timeout)
    {
        if (timeout->tv_sec < 0 || timeout->tv_usec < 0)
            return SocketFailure(WSAEINVAL);
        deadline = plat::DeadlineIn(std::chrono::seconds(timeout->tv_sec) +
                                    std::chrono::microseconds(timeout->tv_usec));
    }

    int count = PollWatched(watched, 0);
    if (count == 0)
    {
        auto look = [&watched, &count](int milliseconds) {
            count = PollWatched(watched, milliseconds);
            return count == 0 ? plat::SliceResult::NotYet : plat::SliceResult::Ready;
        };
        plat::WaitInSlices(deadline, look);
    }
    if (count < 0)
        return SocketFailure(WSAEINTR);
    KeepReady(readfds, &Watched::readReady, watched);
    KeepReady(writefds, &Watched::writeReady, watched);
    KeepReady(exceptfds, &Watched::exceptReady, watched);
    return count;
}

// __WSAFDIsSet: whether a socket is in a set (FD_ISSET).
int WSAAPI __WSAFDIsSet(SOCKET fd, fd_set *set)
{
    for (u_int i = 0; set && i < set->fd_count; ++i)
        if (set->fd_array[i] == fd)
            return 1;
    return 0;
}

// ioctlsocket: FIONBIO (blocking mode), FIONREAD (bytes waiting) and SIOCATMARK (always TRUE:
// out-of-band data never arrives). Other commands fail with WSAEINVAL.
int WSAAPI ioctlsocket(SOCKET s, LONG cmd, u_long *argp)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    if (!argp)
        return SocketFailure(WSAEFAULT);
    std::lock_guard guard(socket->lock);
    switch (cmd)
    {
    case FIONBIO:
        socket->options.nonBlocking = *argp != 0;
        return 0;
    case FIONREAD: {
        size_t count = 0;
        if (socket->state == State::Connected)
            if (int err = plat::net::BytesAvailable(socket->descriptor->Fd(), count))
                return SocketFailure(WsaFromErrno(err));
        *argp = static_cast<u_long>(std::min<size_t>(count, 0xFFFFFFFFu));
        return 0;
    }
    case SIOCATMARK:
        *argp = TRUE;
        return 0;
    default:
        return SocketFailure(WSAEINVAL);
    }
}

// setsockopt: SO_REUSEADDR (the host's meaning: a port in TIME_WAIT may be bound again),
// SO_KEEPALIVE, SO_LINGER / SO_DONTLINGER, SO_RCVTIMEO / SO_SNDTIMEO (DWORD milliseconds),
// SO_RCVBUF / SO_SNDBUF (kept and reported, the host's buffers are left alone) and TCP_NODELAY.
int WSAAPI setsockopt(SOCKET s, int level, int optname, const char *optval, int optlen)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    if (level != SOL_SOCKET && level != IPPROTO_TCP)
        return SocketFailure(WSAEINVAL);
    if (level == IPPROTO_TCP && optname != TCP_NODELAY)
        return SocketFailure(WSAENOPROTOOPT);
    std::lock_guard guard(socket->lock);
    Options &options = socket->options;
    const int fd = socket->descriptor ? socket->descriptor->Fd() : -1;
    if (level == SOL_SOCKET && optname == SO_LINGER)
    {
        if (!optval || optlen < static_cast<int>(sizeof(linger)))
            return SocketFailure(WSAEFAULT);
        std::memcpy(&options.lingering, optval, sizeof(linger));
        return 0;
    }
    int value;
    if (int error = ReadIntOption(optval, optlen, value))
        return SocketFailure(error);
    if (level == IPPROTO_TCP)
    {
        options.noDelay = value != 0;
        if (fd >= 0)
            plat::net::SetNoDelay(fd, options.noDelay);
        return 0;
    }
    switch (optname)
    {
    case SO_REUSEADDR:
        options.reuseAddress = value != 0;
        return 0;
    case SO_KEEPALIVE:
        options.keepAlive = value != 0;
        if (fd >= 0)
            plat::net::SetKeepAlive(fd, options.keepAlive);
        return 0;
    case SO_DONTLINGER:
        options.lingering.l_onoff = value == 0;
        return 0;
    case SO_RCVTIMEO:
        options.receiveTimeout = static_cast<DWORD>(value);
        return 0;
    case SO_SNDTIMEO:
        options.sendTimeout = static_cast<DWORD>(value);
        return 0;
    case SO_RCVBUF:
        options.receiveBuffer = value;
        return 0;
    case SO_SNDBUF:
        options.sendBuffer = value;
        return 0;
    default:
        return SocketFailure(WSAENOPROTOOPT);
    }
}

// getsockopt: the options setsockopt keeps, plus SO_ERROR (read and cleared), SO_TYPE and
// SO_ACCEPTCONN.
int WSAAPI getsockopt(SOCKET s, int level, int optname, char *optval, int *optlen)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    if (level != SOL_SOCKET && level != IPPROTO_TCP)
        return SocketFailure(WSAEINVAL);
    std::lock_guard guard(socket->lock);
    Settle(*socket);
    const Options &options = socket->options;
    int error = WSAENOPROTOOPT;
    if (level == IPPROTO_TCP)
    {
        if (optname == TCP_NODELAY)
            error = WriteOption<BOOL>(options.noDelay, optval, optlen);
        return error ? SocketFailure(error) : 0;
    }
    switch (optname)
    {
    case SO_LINGER:
        error = WriteOption(options.lingering, optval, optlen);
        break;
    case SO_DONTLINGER:
        error = WriteOption<BOOL>(!options.lingering.l_onoff, optval, optlen);
        break;
    case SO_REUSEADDR:
        error = WriteOption<BOOL>(options.reuseAddress, optval, optlen);
        break;
    case SO_KEEPALIVE:
        error = WriteOption<BOOL>(options.keepAlive, optval, optlen);
        break;
    case SO_RCVTIMEO:
        error = WriteOption(options.receiveTimeout, optval, optlen);
        break;
    case SO_SNDTIMEO:
        error = WriteOption(options.sendTimeout, optval, optlen);
        break;
    case SO_RCVBUF:
        error = WriteOption(options.receiveBuffer, optval, optlen);
        break;
    case SO_SNDBUF:
        error = WriteOption(options.sendBuffer, optval, optlen);
        break;
    case SO_TYPE:
        error = WriteOption<int>(SOCK_STREAM, optval, optlen);
        break;
    case SO_ACCEPTCONN:
        error = WriteOption<BOOL>(socket->state == State::Listening, optval, optlen);
        break;
    case SO_ERROR:
        error = WriteOption<int>(socket->pendingError, optval, optlen);
        if (error == 0)
            socket->pendingError = 0;
        break;
    default:
        break;
    }
    return error ? SocketFailure(error) : 0;
}

// getsockname: the virtual local end: the address bound (0.0.0.0 when bound to INADDR_ANY and
// not connected) or, once connected, the PC's address; the port is the real one.
int WSAAPI getsockname(SOCKET s, struct sockaddr *name, int *namelen)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    std::lock_guard guard(socket->lock);
    Settle(*socket);
    if (socket->state == State::Closed)
        return SocketFailure(WSAENOTSOCK);
    if (socket->state == State::Fresh || socket->local.port == 0)
        return SocketFailure(WSAEINVAL);
    if (int error = WriteAddress(socket->local, name, namelen))
        return SocketFailure(error);
    return 0;
}

// getpeername: the virtual address connected to (for an accepted connection, the host the
// virtual network says it comes from).
int WSAAPI getpeername(SOCKET s, struct sockaddr *name, int *namelen)
{
    SocketPtr socket = UseSocket(s);
    if (!socket)
        return SOCKET_ERROR;
    std::lock_guard guard(socket->lock);
    if (int error = ConnectedError(*socket))
        return SocketFailure(error);
    if (int error = WriteAddress(socket->peer, name, namelen))
        return SocketFailure(error);
    return 0;
}

// inet_addr: "a.b.c.d", "a.b.c" (c: 16 bits), "a.b" (b: 24 bits) or "a", each part decimal,
// octal (0...) or hexadecimal (0x...); the text may end at a blank. INADDR_NONE for anything
// else (and for "255.255.255.255"); "" and " " are 0, as on Windows XP and earlier.
unsigned long WSAAPI inet_addr(const char *cp)
{
    if (!cp)
        return INADDR_NONE;
    std::optional<uint32_t> address = ParseInetAddress(cp);
    return address ? Swap32(*address) : INADDR_NONE;
}

// inet_ntoa: dotted text in a per-thread buffer, valid until the thread's next call.
char *WSAAPI inet_ntoa(struct in_addr in)
{
    std::snprintf(t_addressText, sizeof t_addressText, "%u.%u.%u.%u", in.S_un.S_un_b.s_b1,
                  in.S_un.S_un_b.s_b2, in.S_un.S_un_b.s_b3, in.S_un.S_un_b.s_b4);
    return t_addressText;
}

// htons: host to network byte order, 16 bits.
u_short WSAAPI htons(u_short hostshort)
{
    return Swap16(hostshort);
}

// htonl: host to network byte order, the low 32 bits.
u_long WSAAPI htonl(u_long hostlong)
{
    return Swap32(static_cast<uint32_t>(hostlong));
}

// ntohs: network to host byte order, 16 bits.
u_short WSAAPI ntohs(u_short netshort)
{
    return Swap16(netshort);
}

// ntohl: network to host byte order, the low 32 bits.
u_long WSAAPI ntohl(u_long netlong)
{
    return Swap32(static_cast<uint32_t>(netlong));
}

// gethostbyname: no name service. An address in inet_addr's notation gives itself (h_name is
// the text); the PC's own name, "" and NULL give the PC's virtual address; "localhost" gives
// 127.0.0.1; any other name fails with WSAHOST_NOT_FOUND. The result is per thread.
struct hostent *WSAAPI gethostbyname(const char *name)
{
    if (!Started())
    {
        SetLastError(WSANOTINITIALISED);
        return nullptr;
    }
    const std::string computer = kitpc::ReadIdentity().computerName;
    if (!name || !*name || plat::EqualNoCase(name, computer))
        return FillHost(computer, plat::VirtualLocalAddress());
    if (plat::EqualNoCase(name, "localhost"))
        return FillHost(name, plat::net::kLoopbackAddress);
    if (std::optional<uint32_t> address = ParseInetAddress(name); address && *address != INADDR_NONE)
        return FillHost(name, *address);
    SetLastError(WSAHOST_NOT_FOUND);
    return nullptr;
}

// gethostname: the PC's computer name (machine.ini); WSAEFAULT when it does not fit.
int WSAAPI gethostname(char *name, int namelen)
{
    if (!Started())
        return SocketFailure(WSANOTINITIALISED);
    const std::string computer = kitpc::ReadIdentity().computerName;
    if (!name || namelen < 0 || computer.size() + 1 > static_cast<size_t>(namelen))
        return SocketFailure(WSAEFAULT);
    std::memcpy(name, computer.c_str(), computer.size() + 1);
    return 0;
}
