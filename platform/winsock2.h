// Windows Sockets 2 (ws2_32) for the POSIX build of the kit: TCP over the simulated PC's
// virtual network ($KIT_MACHINE/network.ini). Layouts follow 64-bit Windows.
//
// The C library declares some of the same names (fd_set, timeval, FD_SET, select,
// gethostname) in headers nearly every file includes. Those headers are included here first,
// so their declarations are complete and guarded, and then the Windows names are given to our
// own types by macros. Our functions have C++ linkage: a product program can never reach the
// C library's sockets by accident (its undefined symbols show no plain `connect` or `socket`).
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else

#include "platform/windef.h"

#include <sys/types.h>
#include <sys/select.h>
#include <sys/time.h>
#include <sys/resource.h>
#include <unistd.h>

#undef FD_SETSIZE
#undef FD_SET
#undef FD_CLR
#undef FD_ZERO
#undef FD_ISSET
#undef FIONBIO
#undef FIONREAD
#undef SIOCATMARK
#define fd_set kit_ws_fd_set
#define timeval kit_ws_timeval
#define gethostname kit_ws_gethostname

#define WSAAPI

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

// Versions, as MAKEWORD(major, minor).
#define WINSOCK_VERSION MAKEWORD(2, 2)
#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

typedef struct WSAData
{
    WORD wVersion;
    WORD wHighVersion;
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char *lpVendorInfo;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
} WSADATA, *LPWSADATA;

// Address families, socket types, protocols.
#define AF_UNSPEC 0
#define AF_INET 2
#define PF_UNSPEC AF_UNSPEC
#define PF_INET AF_INET
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define SOCK_RAW 3
#define IPPROTO_IP 0
#define IPPROTO_ICMP 1
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17

#define INADDR_ANY ((ULONG)0x00000000)
#define INADDR_LOOPBACK 0x7f000001
#define INADDR_BROADCAST ((ULONG)0xffffffff)
#define INADDR_NONE 0xffffffff

#define SOMAXCONN 0x7fffffff

// Socket options.
#define SOL_SOCKET 0xffff
#define SO_DEBUG 0x0001
#define SO_ACCEPTCONN 0x0002
#define SO_REUSEADDR 0x0004
#define SO_KEEPALIVE 0x0008
#define SO_DONTROUTE 0x0010
#define SO_BROADCAST 0x0020
#define SO_USELOOPBACK 0x0040
#define SO_LINGER 0x0080
#define SO_OOBINLINE 0x0100
#define SO_DONTLINGER ((int)(~SO_LINGER))
#define SO_EXCLUSIVEADDRUSE ((int)(~SO_REUSEADDR))
#define SO_SNDBUF 0x1001
#define SO_RCVBUF 0x1002
#define SO_SNDLOWAT 0x1003
#define SO_RCVLOWAT 0x1004
#define SO_SNDTIMEO 0x1005
#define SO_RCVTIMEO 0x1006
#define SO_ERROR 0x1007
#define SO_TYPE 0x1008
#define TCP_NODELAY 0x0001

// Flags of send and recv; how of shutdown.
#define MSG_OOB 0x1
#define MSG_PEEK 0x2
#define MSG_DONTROUTE 0x4
#define MSG_WAITALL 0x8
#define SD_RECEIVE 0x00
#define SD_SEND 0x01
#define SD_BOTH 0x02

// ioctlsocket commands, with Windows' encoding (the argument is a 32-bit u_long there).
#define IOCPARM_MASK 0x7f
#define IOC_VOID 0x20000000
#define IOC_OUT 0x40000000
#define IOC_IN 0x80000000
#define IOC_INOUT (IOC_IN | IOC_OUT)
#define FIONREAD ((LONG)(IOC_OUT | ((4 & IOCPARM_MASK) << 16) | ('f' << 8) | 127))
#define FIONBIO ((LONG)(IOC_IN | ((4 & IOCPARM_MASK) << 16) | ('f' << 8) | 126))
#define SIOCATMARK ((LONG)(IOC_OUT | ((4 & IOCPARM_MASK) << 16) | ('s' << 8) | 7))

// u_char, u_short, u_int and u_long come from <sys/types.h>. u_long is the host's unsigned long
// (64 bits here) so that Windows sources passing `unsigned long *` to ioctlsocket compile;
// the structures that are 32-bit on Windows use ULONG.

struct in_addr
{
    union {
        struct
        {
            UCHAR s_b1, s_b2, s_b3, s_b4;
        } S_un_b;
        struct
        {
            USHORT s_w1, s_w2;
        } S_un_w;
        ULONG S_addr;
    } S_un;
};
#define s_addr S_un.S_addr
#define s_host S_un.S_un_b.s_b2
#define s_net S_un.S_un_b.s_b1
#define s_imp S_un.S_un_w.s_w2
#define s_impno S_un.S_un_b.s_b4
#define s_lh S_un.S_un_b.s_b3
typedef struct in_addr IN_ADDR, *PIN_ADDR, *LPIN_ADDR;

struct sockaddr
{
    u_short sa_family;
    char sa_data[14];
};
typedef struct sockaddr SOCKADDR, *PSOCKADDR, *LPSOCKADDR;

struct sockaddr_in
{
    short sin_family;
    u_short sin_port;
    struct in_addr sin_addr;
    char sin_zero[8];
};
typedef struct sockaddr_in SOCKADDR_IN, *PSOCKADDR_IN, *LPSOCKADDR_IN;

struct linger
{
    u_short l_onoff;
    u_short l_linger;
};
typedef struct linger LINGER, *PLINGER, *LPLINGER;

struct timeval
{
    LONG tv_sec;
    LONG tv_usec;
};
typedef struct timeval TIMEVAL, *PTIMEVAL, *LPTIMEVAL;

struct hostent
{
    char *h_name;
    char **h_aliases;
    short h_addrtype;
    short h_length;
    char **h_addr_list;
};
#define h_addr h_addr_list[0]
typedef struct hostent HOSTENT, *PHOSTENT, *LPHOSTENT;

// fd_set is a count and an array of sockets, as on Windows; FD_SETSIZE is Windows' default.
#define FD_SETSIZE 64
typedef struct fd_set
{
    u_int fd_count;
    SOCKET fd_array[FD_SETSIZE];
} fd_set, FD_SET, *PFD_SET, *LPFD_SET;

int WSAAPI __WSAFDIsSet(SOCKET fd, fd_set *set);

namespace kitws
{
// FD_SET adds a socket once, and only while the set has room.
inline void FdSet(SOCKET fd, fd_set *set)
{
    for (u_int i = 0; i < set->fd_count; ++i)
        if (set->fd_array[i] == fd)
            return;
    if (set->fd_count < FD_SETSIZE)
        set->fd_array[set->fd_count++] = fd;
}

// FD_CLR removes a socket and moves the later ones down.
inline void FdClr(SOCKET fd, fd_set *set)
{
    for (u_int i = 0; i < set->fd_count; ++i)
    {
        if (set->fd_array[i] == fd)
        {
            for (; i + 1 < set->fd_count; ++i)
                set->fd_array[i] = set->fd_array[i + 1];
            --set->fd_count;
            return;
        }
    }
}
} // namespace kitws

#define FD_SET(fd, set) kitws::FdSet((SOCKET)(fd), (fd_set *)(set))
#define FD_CLR(fd, set) kitws::FdClr((SOCKET)(fd), (fd_set *)(set))
#define FD_ZERO(set) (((fd_set *)(set))->fd_count = 0)
#define FD_ISSET(fd, set) __WSAFDIsSet((SOCKET)(fd), (fd_set *)(set))

// Error codes (also the thread's last error: WSAGetLastError is GetLastError).
#ifndef WSABASEERR
#define WSABASEERR 10000
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEOPNOTSUPP 10045
#define WSAEPFNOSUPPORT 10046
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETOOMANYREFS 10059
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAELOOP 10062
#define WSAENAMETOOLONG 10063
#define WSAEHOSTDOWN 10064
#define WSAEHOSTUNREACH 10065
#define WSAENOTEMPTY 10066
#define WSAEPROCLIM 10067
#define WSAEUSERS 10068
#define WSAEDQUOT 10069
#define WSAESTALE 10070
#define WSAEREMOTE 10071
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAEDISCON 10101
#define WSAENOMORE 10102
#define WSAECANCELLED 10103
#define WSAEINVALIDPROCTABLE 10104
#define WSAEINVALIDPROVIDER 10105
#define WSAEPROVIDERFAILEDINIT 10106
#define WSASYSCALLFAILURE 10107
#define WSASERVICE_NOT_FOUND 10108
#define WSATYPE_NOT_FOUND 10109
#define WSA_E_NO_MORE 10110
#define WSA_E_CANCELLED 10111
#define WSAEREFUSED 10112
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004
#endif

int WSAAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
int WSAAPI WSACleanup();
int WSAAPI WSAGetLastError();
void WSAAPI WSASetLastError(int iError);

SOCKET WSAAPI socket(int af, int type, int protocol);
int WSAAPI closesocket(SOCKET s);
int WSAAPI bind(SOCKET s, const struct sockaddr *name, int namelen);
int WSAAPI listen(SOCKET s, int backlog);
SOCKET WSAAPI accept(SOCKET s, struct sockaddr *addr, int *addrlen);
int WSAAPI connect(SOCKET s, const struct sockaddr *name, int namelen);
int WSAAPI send(SOCKET s, const char *buf, int len, int flags);
int WSAAPI recv(SOCKET s, char *buf, int len, int flags);
int WSAAPI shutdown(SOCKET s, int how);
int WSAAPI select(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds,
                  const struct timeval *timeout);
int WSAAPI ioctlsocket(SOCKET s, LONG cmd, u_long *argp);
int WSAAPI setsockopt(SOCKET s, int level, int optname, const char *optval, int optlen);
int WSAAPI getsockopt(SOCKET s, int level, int optname, char *optval, int *optlen);
int WSAAPI getsockname(SOCKET s, struct sockaddr *name, int *namelen);
int WSAAPI getpeername(SOCKET s, struct sockaddr *name, int *namelen);

unsigned long WSAAPI inet_addr(const char *cp);
char *WSAAPI inet_ntoa(struct in_addr in);
u_short WSAAPI htons(u_short hostshort);
u_long WSAAPI htonl(u_long hostlong);
u_short WSAAPI ntohs(u_short netshort);
u_long WSAAPI ntohl(u_long netlong);
struct hostent *WSAAPI gethostbyname(const char *name);
int WSAAPI gethostname(char *name, int namelen);

static_assert(sizeof(struct in_addr) == 4 && sizeof(struct sockaddr_in) == 16 &&
                  sizeof(struct sockaddr) == 16,
              "Winsock address layouts");
static_assert(sizeof(struct timeval) == 8 && sizeof(struct linger) == 4, "Winsock timeval and linger");
static_assert(sizeof(SOCKET) == sizeof(void *), "SOCKET is pointer-sized");

#endif
