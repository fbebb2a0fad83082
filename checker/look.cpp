// Before windows.h, which would bring in the first Winsock's header instead.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "look.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

namespace {

// Where Windows' SMB client reaches a computer's named pipes, the Remote
// Registry's among them. NetBIOS's session service (139) serves them too,
// but only where NetBIOS over TCP/IP is on; Windows Firewall opens it in
// the same group as 445, and every Windows since 2000 that shares files
// listens on 445: a computer that answered on 139 alone would be one set up
// so by hand, and trying both would double the sockets a look holds.
const char kLookPort[] = "445";
// A name's addresses tried at once: its IPv6 and IPv4 ones, a few of each,
// for one that does not work must not make a computer look off.
const DWORD kMostAddresses = 4;
// Connections a look holds at once. Each takes a port until it is closed:
// a quarter of the 16,384 that Windows gives out since Vista, so that the
// checks' own connections and the rest of the computer keep the others.
const DWORD kMostSockets = 4096;
// Windows XP and Server 2003 give out the 3,976 ports from 1025 to 5000.
const DWORD kMostSocketsBeforeVista = 1000;
// XP SP2 to Vista SP1 hold back all but 10 half-open connections: a
// connection held back would be waited for before it was even tried.
const DWORD kMostHalfOpen = 10;
const DWORD kVista = 6;
const DWORD kXp = 5;
const WORD kFirstLimitedPack = 2;
const WORD kVistaUnlimitedPack = 2;
// How long one watch waits at most, so that computers queued meanwhile are
// tried soon.
const DWORD kLookTick = 20;
const DWORD kMillisecondsPerSecond = 1000;
// ioctlsocket takes a long; FIONBIO is built as an unsigned one.
const long kNonBlocking = static_cast<long>(FIONBIO);
const DWORD kMicrosecondsPerMillisecond = 1000;

enum Found { kNotYet, kAnswers, kSilent, kUntried };

// One computer in the look.
struct Looked {
    DWORD index;
    DWORD started;  // GetTickCount as its connections were made
    DWORD open;     // sockets, the first so many, still connecting
    SOCKET sockets[kMostAddresses];
    bool timedOut;  // one of them, as Windows gave up on it
    Found found;
};

// The computers with connections out, and the sets that select fills.
// Windows' select takes a set of any size: it reads as many sockets from
// fd_array as fd_count says.
struct Flight {
    Looked *computers;
    DWORD count;
    DWORD room;
    DWORD sockets;  // open
    DWORD mostSockets;
    // A socket could not be had (ports or buffers ran out): none more is
    // tried until a computer in flight is found and its sockets closed.
    bool scarce;
    fd_set *writable;
    fd_set *failed;
};

// A computer handed to the look; ready once written.
struct Queued {
    addrinfo *addresses;
    DWORD index;
    volatile LONG ready;
};

}  // namespace

struct Look {
    DWORD wait;  // milliseconds
    LookFound found;
    void *context;
    Queued *queue;
    volatile LONG queued;  // entries claimed by those who queue
    DWORD taken;           // by the thread that watches
    HANDLE queuedSignal;   // set once a computer is queued
    Flight flight;
};

namespace {

LONG Read(volatile LONG *value)
{
    return InterlockedCompareExchange(value, 0, 0);
}

DWORD MostSockets()
{
    OSVERSIONINFOEXA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&version)) || version.dwMajorVersion > kVista)
        return kMostSockets;
    const bool xp = version.dwMajorVersion == kXp && version.dwMinorVersion == 1;
    const bool vista = version.dwMajorVersion == kVista && version.dwMinorVersion == 0;
    if ((xp && version.wServicePackMajor >= kFirstLimitedPack) ||
        (vista && version.wServicePackMajor < kVistaUnlimitedPack))
        return kMostHalfOpen;
    return version.dwMajorVersion < kVista ? kMostSocketsBeforeVista : kMostSockets;
}

DWORD Shortest(DWORD first, DWORD second, DWORD third)
{
    const DWORD shorter = first < second ? first : second;
    return shorter < third ? shorter : third;
}

fd_set *NewSet(DWORD sockets)
{
    return static_cast<fd_set *>(malloc(offsetof(fd_set, fd_array) + sockets * sizeof(SOCKET)));
}

bool OpenFlight(Flight *flight, DWORD computers, DWORD mostSockets)
{
    memset(flight, 0, sizeof *flight);
    flight->room = computers;
    flight->mostSockets = mostSockets;
    flight->computers = static_cast<Looked *>(malloc(computers * sizeof(Looked)));
    flight->writable = NewSet(mostSockets + kMostAddresses);
    flight->failed = NewSet(mostSockets + kMostAddresses);
    return flight->computers != NULL && flight->writable != NULL && flight->failed != NULL;
}

void FreeFlight(Flight *flight)
{
    free(flight->computers);
    free(flight->writable);
    free(flight->failed);
}

// Closed at once, with a reset: a connection closed the polite way keeps
// its port for minutes afterwards (TIME_WAIT), and a long list would run
// out of them.
void CloseProbe(SOCKET probe)
{
    LINGER reset = {1, 0};
    setsockopt(probe, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&reset), sizeof reset);
    closesocket(probe);
}

void CloseSockets(Flight *flight, Looked *looked)
{
    for (; looked->open != 0; --flight->sockets)
        CloseProbe(looked->sockets[--looked->open]);
}

// One that failed: the last takes its place.
void CloseSocket(Flight *flight, Looked *looked, DWORD at)
{
    CloseProbe(looked->sockets[at]);
    looked->sockets[at] = looked->sockets[--looked->open];
    --flight->sockets;
}

// Not the computer's doing: there will be a socket once one closes.
bool Scarce(int error)
{
    return error == WSAENOBUFS || error == WSAEMFILE || error == WSAEADDRINUSE;
}

DWORD Tried(const addrinfo *addresses)
{
    DWORD count = 0;
    for (; addresses != NULL && count < kMostAddresses; addresses = addresses->ai_next)
        ++count;
    return count;
}

// Starts a connection to each of the computer's addresses. A computer that
// answers at once is found so; one none of whose addresses can be tried,
// untried; where sockets are scarce, the flight is marked so and nothing is
// left open.
void Connect(Flight *flight, const addrinfo *addresses, Looked *looked)
{
    looked->found = kUntried;
    looked->open = 0;
    looked->timedOut = false;
    looked->started = GetTickCount();
    for (const addrinfo *address = addresses; address != NULL && looked->open < kMostAddresses;
         address = address->ai_next) {
        const SOCKET probe = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (probe == INVALID_SOCKET) {
            flight->scarce = Scarce(WSAGetLastError());
            if (flight->scarce)
                break;
            continue;
        }
        looked->sockets[looked->open++] = probe;
        ++flight->sockets;
        u_long nonBlocking = 1;
        int error = ioctlsocket(probe, kNonBlocking, &nonBlocking) != 0 ? WSAGetLastError() : 0;
        if (error == 0 && connect(probe, address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0)
            error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK)
            continue;
        // A connection made, or refused, at once is an answer too.
        if (error == 0 || error == WSAECONNREFUSED) {
            looked->found = kAnswers;
            break;
        }
        CloseSocket(flight, looked, looked->open - 1);
        flight->scarce = Scarce(error);
        if (flight->scarce)
            break;
    }
    if (looked->found == kAnswers || flight->scarce)
        CloseSockets(flight, looked);
    else if (looked->open != 0)
        looked->found = kNotYet;
}

void AddToSets(Flight *flight)
{
    flight->writable->fd_count = 0;
    for (DWORD computer = 0; computer < flight->count; ++computer) {
        const Looked &looked = flight->computers[computer];
        for (DWORD at = 0; at < looked.open; ++at)
            flight->writable->fd_array[flight->writable->fd_count++] = looked.sockets[at];
    }
    flight->failed->fd_count = flight->writable->fd_count;
    memcpy(flight->failed->fd_array, flight->writable->fd_array, flight->writable->fd_count * sizeof(SOCKET));
}

// Whether a socket's connection was accepted or refused; one that failed
// otherwise is closed.
bool Answered(Flight *flight, Looked *looked, DWORD at)
{
    const SOCKET probe = looked->sockets[at];
    if (FD_ISSET(probe, flight->writable))
        return true;
    if (!FD_ISSET(probe, flight->failed))
        return false;
    int error = 0;
    int size = sizeof error;
    if (getsockopt(probe, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &size) != 0)
        error = WSAGetLastError();
    if (error == WSAECONNREFUSED)
        return true;
    // Windows' own time-out, where the wait is longer: no answer either.
    looked->timedOut = looked->timedOut || error == WSAETIMEDOUT;
    CloseSocket(flight, looked, at);
    return false;
}

// Waits up to timeout for connections to end, and finds each computer that
// one of them answered for, whose every connection failed, or whose wait
// is over.
void Watch(Flight *flight, DWORD wait, DWORD timeout)
{
    AddToSets(flight);
    timeval until = {static_cast<long>(timeout / kMillisecondsPerSecond),
                     static_cast<long>(timeout % kMillisecondsPerSecond * kMicrosecondsPerMillisecond)};
    // Windows reports a connection that failed in the exception set.
    const int ready = select(0, NULL, flight->writable, flight->failed, &until);
    const DWORD now = GetTickCount();
    for (DWORD computer = 0; computer < flight->count; ++computer) {
        Looked *const looked = &flight->computers[computer];
        // From the last, as a socket that fails takes the last one's place.
        for (DWORD at = looked->open; ready > 0 && at-- != 0 && looked->found == kNotYet;) {
            if (Answered(flight, looked, at))
                looked->found = kAnswers;
        }
        // Where select itself fails, nothing is known of any of them.
        if (ready < 0)
            looked->found = kUntried;
        else if (looked->found == kNotYet && looked->open == 0)
            looked->found = looked->timedOut ? kSilent : kUntried;
        else if (looked->found == kNotYet && now - looked->started >= wait)
            looked->found = kSilent;
        if (looked->found != kNotYet)
            CloseSockets(flight, looked);
    }
}

// Tells what was found of the computers watched, and makes room for more.
void Tell(Look *look)
{
    Flight *const flight = &look->flight;
    DWORD kept = 0;
    for (DWORD computer = 0; computer < flight->count; ++computer) {
        const Looked &looked = flight->computers[computer];
        if (looked.found == kNotYet) {
            flight->computers[kept++] = looked;
            continue;
        }
        flight->scarce = false;
        look->found(look->context, looked.index,
                    looked.found == kAnswers  ? kLookAnswers
                    : looked.found == kSilent ? kLookSilent
                                              : kLookUntried);
    }
    flight->count = kept;
}

// Makes the connections of the computers queued, while there is room.
void TakeQueued(Look *look)
{
    Flight *const flight = &look->flight;
    while (!flight->scarce && flight->count < flight->room && look->taken < static_cast<DWORD>(Read(&look->queued))) {
        Queued *const queued = &look->queue[look->taken];
        if (Read(&queued->ready) == 0 ||
            (flight->count != 0 && flight->sockets + Tried(queued->addresses) > flight->mostSockets))
            return;
        Looked *const looked = &flight->computers[flight->count];
        looked->index = queued->index;
        Connect(flight, queued->addresses, looked);
        // Scarce with nothing in flight: no socket will close to wait for.
        if (flight->scarce && flight->count != 0)
            return;
        flight->scarce = false;
        ReleaseAddresses(queued->addresses);
        ++look->taken;
        if (looked->found == kNotYet)
            ++flight->count;
        else
            look->found(look->context, looked->index, looked->found == kAnswers ? kLookAnswers : kLookUntried);
    }
}

}  // namespace

// Winsock is started once and left so: the process ends with the run, and
// a thread given up on under /T may still be resolving a name.
Look *OpenLook(DWORD count, DWORD waitSeconds, LookFound found, void *context, HANDLE queuedSignal)
{
    WSADATA data;
    Look *const look = WSAStartup(MAKEWORD(2, 2), &data) == 0 ? static_cast<Look *>(calloc(1, sizeof(Look))) : NULL;
    if (look == NULL)
        return NULL;
    look->queuedSignal = queuedSignal;
    look->wait = waitSeconds * kMillisecondsPerSecond;
    look->found = found;
    look->context = context;
    look->queue = static_cast<Queued *>(calloc(count, sizeof(Queued)));
    const DWORD mostSockets = MostSockets();
    const bool opened = OpenFlight(&look->flight, count < mostSockets ? count : mostSockets, mostSockets);
    if (look->queue == NULL || !opened) {
        CloseLook(look);
        return NULL;
    }
    return look;
}

bool WatchLook(Look *look, DWORD timeout)
{
    TakeQueued(look);
    Flight *const flight = &look->flight;
    if (flight->count == 0)
        return false;
    // Until the first wait is over, and at most a tick, so that computers
    // queued meanwhile are not kept waiting.
    const DWORD waited = GetTickCount() - flight->computers[0].started;
    Watch(flight, look->wait, Shortest(waited < look->wait ? look->wait - waited : 0, timeout, kLookTick));
    Tell(look);
    return true;
}

void CloseLook(Look *look)
{
    Flight *const flight = &look->flight;
    for (DWORD computer = 0; computer < flight->count; ++computer)
        CloseSockets(flight, &flight->computers[computer]);
    for (DWORD taken = look->taken; taken < static_cast<DWORD>(Read(&look->queued)); ++taken)
        ReleaseAddresses(look->queue[taken].addresses);
    FreeFlight(flight);
    free(look->queue);
    free(look);
}

addrinfo *Resolve(const char *computer)
{
    addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *addresses = NULL;
    while (*computer == '\\')
        ++computer;
    return getaddrinfo(computer, kLookPort, &hints, &addresses) == 0 ? addresses : NULL;
}

void ReleaseAddresses(addrinfo *addresses)
{
    if (addresses != NULL)
        freeaddrinfo(addresses);
}

void QueueLook(Look *look, DWORD index, addrinfo *addresses)
{
    Queued *const queued = &look->queue[InterlockedIncrement(&look->queued) - 1];
    queued->addresses = addresses;
    queued->index = index;
    InterlockedExchange(&queued->ready, 1);
    SetEvent(look->queuedSignal);
}

DWORD LookWaitSeconds(const Look *look)
{
    return look->wait / kMillisecondsPerSecond;
}
