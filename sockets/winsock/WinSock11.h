#pragma once
// The Windows Sockets 1.1 types, constants and functions as psock32 offers
// them, declared here so that psock32 needs no system socket header. The
// layouts follow the platform's own for each build (the 64-bit build orders
// a few fields differently), so callers compiled against the system headers
// read them alike.
#include "QvWindows.h"

#include <cstdint>
#include <time.h>

namespace ws11 {

typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
typedef unsigned long u_long;
typedef UINT_PTR SOCKET;

const SOCKET INVALID_SOCKET = (SOCKET)~0;
const int SOCKET_ERROR = -1;
const int FD_SETSIZE = 64;

struct fd_set {
    u_int fd_count;
    SOCKET fd_array[FD_SETSIZE];
};

// struct timeval {long tv_sec; long tv_usec;} comes with the C library's <time.h>.
using ::timeval;

struct in_addr {
    u_long s_addr;
};

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};

struct sockaddr_in {
    short sin_family;
    u_short sin_port;
    in_addr sin_addr;
    char sin_zero[8];
};

struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;
};

struct servent {
    char* s_name;
    char** s_aliases;
#ifdef _WIN64
    char* s_proto;
    short s_port;
#else
    short s_port;
    char* s_proto;
#endif
};

struct protoent {
    char* p_name;
    char** p_aliases;
    short p_proto;
};

const int WSADESCRIPTION_LEN = 256;
const int WSASYS_STATUS_LEN = 128;

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
#ifdef _WIN64
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
#else
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
#endif
};

const int AF_INET = 2;
const int SOCK_STREAM = 1;
const int SOCK_DGRAM = 2;
const int IPPROTO_TCP = 6;
const int SOL_SOCKET = 0xFFFF;
const int SO_ERROR = 0x1007;
const int SO_RCVBUF = 0x1002;
const int SO_REUSEADDR = 0x0004;
const int SD_SEND = 1;
const u_long INADDR_ANY = 0;
const u_long INADDR_NONE = 0xFFFFFFFF;
const long FIONBIO = (long)0x8004667EUL;
const long FIONREAD = 0x4004667FL;

const long FD_READ = 0x01;
const long FD_WRITE = 0x02;
const long FD_OOB = 0x04;
const long FD_ACCEPT = 0x08;
const long FD_CONNECT = 0x10;
const long FD_CLOSE = 0x20;

// The error codes (WSAEINTR ...) are those the Windows headers define.

inline LPARAM MakeAsyncReply(unsigned length, unsigned error) { return (LPARAM)MAKELONG(length, error); }
inline unsigned AsyncError(LPARAM reply) { return HIWORD((DWORD)reply); }
inline unsigned AsyncLength(LPARAM reply) { return LOWORD((DWORD)reply); }

}  // namespace ws11

// The functions, as psock32 exports them and as callers bind them by ordinal.
extern "C" {
using ws11::fd_set;
using ws11::hostent;
using ws11::protoent;
using ws11::servent;
using ws11::sockaddr;
using ws11::SOCKET;
using ws11::u_int;
using ws11::u_long;
using ws11::u_short;
using ws11::WSADATA;

SOCKET WINAPI accept(SOCKET s, sockaddr* addr, int* addrlen);
int WINAPI bind(SOCKET s, const sockaddr* name, int namelen);
int WINAPI closesocket(SOCKET s);
int WINAPI connect(SOCKET s, const sockaddr* name, int namelen);
int WINAPI getpeername(SOCKET s, sockaddr* name, int* namelen);
int WINAPI getsockname(SOCKET s, sockaddr* name, int* namelen);
int WINAPI getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen);
u_long WINAPI htonl(u_long hostlong);
u_short WINAPI htons(u_short hostshort);
unsigned long WINAPI inet_addr(const char* cp);
char* WINAPI inet_ntoa(ws11::in_addr in);
int WINAPI ioctlsocket(SOCKET s, long cmd, u_long* argp);
int WINAPI listen(SOCKET s, int backlog);
u_long WINAPI ntohl(u_long netlong);
u_short WINAPI ntohs(u_short netshort);
int WINAPI recv(SOCKET s, char* buf, int len, int flags);
int WINAPI recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen);
int WINAPI select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const timeval* timeout);
int WINAPI send(SOCKET s, const char* buf, int len, int flags);
int WINAPI sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen);
int WINAPI setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen);
int WINAPI shutdown(SOCKET s, int how);
SOCKET WINAPI socket(int af, int type, int protocol);
hostent* WINAPI gethostbyaddr(const char* addr, int len, int type);
hostent* WINAPI gethostbyname(const char* name);
protoent* WINAPI getprotobyname(const char* name);
protoent* WINAPI getprotobynumber(int number);
servent* WINAPI getservbyname(const char* name, const char* proto);
servent* WINAPI getservbyport(int port, const char* proto);
int WINAPI gethostname(char* name, int namelen);
int WINAPI WSAAsyncSelect(SOCKET s, HWND hWnd, u_int wMsg, long lEvent);
HANDLE WINAPI WSAAsyncGetHostByAddr(HWND hWnd, u_int wMsg, const char* addr, int len, int type, char* buf, int buflen);
HANDLE WINAPI WSAAsyncGetHostByName(HWND hWnd, u_int wMsg, const char* name, char* buf, int buflen);
HANDLE WINAPI WSAAsyncGetProtoByNumber(HWND hWnd, u_int wMsg, int number, char* buf, int buflen);
HANDLE WINAPI WSAAsyncGetProtoByName(HWND hWnd, u_int wMsg, const char* name, char* buf, int buflen);
HANDLE WINAPI WSAAsyncGetServByPort(HWND hWnd, u_int wMsg, int port, const char* proto, char* buf, int buflen);
HANDLE WINAPI WSAAsyncGetServByName(HWND hWnd, u_int wMsg, const char* name, const char* proto, char* buf, int buflen);
int WINAPI WSACancelAsyncRequest(HANDLE hAsyncTaskHandle);
FARPROC WINAPI WSASetBlockingHook(FARPROC lpBlockFunc);
int WINAPI WSAUnhookBlockingHook(void);
int WINAPI WSAGetLastError(void);
void WINAPI WSASetLastError(int iError);
int WINAPI WSACancelBlockingCall(void);
BOOL WINAPI WSAIsBlocking(void);
int WINAPI WSAStartup(WORD wVersionRequired, WSADATA* lpWSAData);
int WINAPI WSACleanup(void);
int WINAPI __WSAFDIsSet(SOCKET fd, fd_set* set);
}
