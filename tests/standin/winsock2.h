// Test-only stand-in for Winsock 2's header: the types, constants and calls
// the checker's look uses, with Windows' sizes and values. The fakes in
// tests/fakes/fake_network.cpp are its implementation.
#ifndef PROVIDER_ORDER_TESTS_STANDIN_WINSOCK2_H
#define PROVIDER_ORDER_TESTS_STANDIN_WINSOCK2_H

#include "windows.h"

// The host's C library names some of these types and calls for its own
// sockets, and brings them in with <stdlib.h>: its declarations come
// first, and the stand-in's are renamed past them, here and wherever this
// header is seen.
#include <sys/types.h>
#undef FD_SETSIZE
#undef FD_ISSET
#define fd_set standin_fd_set
#define timeval standin_timeval
#define select standin_select
#define u_long standin_u_long
#define u_int standin_u_int
#define u_short standin_u_short

typedef uintptr_t SOCKET;
typedef uint32_t u_long;
typedef unsigned int u_int;
typedef uint16_t u_short;

const SOCKET INVALID_SOCKET = ~static_cast<SOCKET>(0);
const int SOCKET_ERROR = -1;

#define FD_SETSIZE 64
struct fd_set {
    u_int fd_count;
    SOCKET fd_array[FD_SETSIZE];
};
int __WSAFDIsSet(SOCKET socket, fd_set *set);
#define FD_ISSET(socket, set) __WSAFDIsSet(socket, set)

struct timeval {
    long tv_sec;
    long tv_usec;
};

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};

struct LINGER {
    u_short l_onoff;
    u_short l_linger;
};

// Only its size matters here.
struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
};

#define MAKEWORD(low, high) static_cast<WORD>((low) | (high) << 8)

const u_long FIONBIO = 0x8004667Eu;
const int SOL_SOCKET = 0xFFFF;
const int SO_LINGER = 0x0080;
const int SO_ERROR = 0x1007;
const int AF_UNSPEC = 0;
const int AF_INET = 2;
const int SOCK_STREAM = 1;
const int IPPROTO_TCP = 6;

const int WSAEINVAL = 10022;
const int WSAEMFILE = 10024;
const int WSAEWOULDBLOCK = 10035;
const int WSAEAFNOSUPPORT = 10047;
const int WSAEADDRINUSE = 10048;
const int WSAENOBUFS = 10055;
const int WSAETIMEDOUT = 10060;
const int WSAECONNREFUSED = 10061;
const int WSAEHOSTUNREACH = 10065;
const int WSAHOST_NOT_FOUND = 11001;

int WSAStartup(WORD version, WSADATA *data);
int WSACleanup();
int WSAGetLastError();
SOCKET socket(int family, int type, int protocol);
int ioctlsocket(SOCKET socket, long command, u_long *argument);
int connect(SOCKET socket, const sockaddr *address, int length);
int select(int count, fd_set *readable, fd_set *writable, fd_set *failed, const timeval *timeout);
int getsockopt(SOCKET socket, int level, int name, char *value, int *length);
int setsockopt(SOCKET socket, int level, int name, const char *value, int length);
int closesocket(SOCKET socket);

#endif
