// The network as the checker's look meets it, on real time: names resolve
// as the script has them, a connection answers (accepted, refused, or
// unreachable) so many milliseconds after it was asked for, or never, and
// select behaves as Windows': a connection made is writable, one that
// failed is in the exception set, and empty sets are an error. Sockets
// take a lock where they are made, changed and closed; a name resolves
// from the script alone, which no thread changes during a run.
#include "fake_platform.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

FakeNetwork g_network;

namespace {

typedef std::chrono::steady_clock Clock;

// What getaddrinfo gives: an address, which names its name and its place
// among that name's addresses in its bytes.
struct Resolved {
    addrinfo info;
    sockaddr address;
};

struct FakeSocket {
    const std::string *name = NULL;
    const FakeAddress *address = NULL;
    bool nonBlocking = false;
    bool connecting = false;
    Clock::time_point answersAt;
    bool reset = false;  // SO_LINGER on, 0 seconds: closed with a reset
};

std::mutex g_socketsLock;
std::map<SOCKET, FakeSocket> g_sockets;
SOCKET g_nextSocket = 0x100;

bool HasAnswered(const FakeSocket &socket, Clock::time_point now)
{
    return socket.connecting && socket.address->answer != FakeAddress::kSilent && now >= socket.answersAt;
}

bool Connected(const FakeSocket &socket, Clock::time_point now)
{
    return HasAnswered(socket, now) && socket.address->answer == FakeAddress::kAccepts;
}

int Fail(int error)
{
    SetFakeLastError(static_cast<DWORD>(error));
    return SOCKET_ERROR;
}

// The socket, under the lock; NULL where there is none.
FakeSocket *Find(SOCKET socket)
{
    const auto found = g_sockets.find(socket);
    return found != g_sockets.end() ? &found->second : NULL;
}

}  // namespace

void ResetFakeNetwork()
{
    std::lock_guard<std::mutex> guard(g_socketsLock);
    g_sockets.clear();
    g_network = FakeNetwork();
}

int WSAStartup(WORD, WSADATA *data)
{
    memset(data, 0, sizeof *data);
    return g_network.startupFails ? 10091 : 0;  // WSASYSNOTREADY
}

int WSACleanup()
{
    return 0;
}

int WSAGetLastError()
{
    return static_cast<int>(GetLastError());
}

int getaddrinfo(const char *node, const char *service, const addrinfo *hints, addrinfo **result)
{
    const auto found = g_network.names.find(node);
    if (found == g_network.names.end() || found->second.empty() || strcmp(service, "445") != 0)
        return WSAHOST_NOT_FOUND;
    addrinfo *first = NULL;
    addrinfo **next = &first;
    for (size_t index = 0; index < found->second.size(); ++index) {
        Resolved *const resolved = new Resolved();
        resolved->info.ai_family = AF_INET;
        resolved->info.ai_socktype = hints->ai_socktype;
        resolved->info.ai_protocol = hints->ai_protocol;
        resolved->info.ai_addrlen = sizeof resolved->address;
        resolved->info.ai_addr = &resolved->address;
        resolved->address.sa_family = AF_INET;
        const std::string *const name = &found->first;
        const uint32_t place = static_cast<uint32_t>(index);
        memcpy(resolved->address.sa_data, &name, sizeof name);
        memcpy(resolved->address.sa_data + sizeof name, &place, sizeof place);
        *next = &resolved->info;
        next = &resolved->info.ai_next;
    }
    *result = first;
    return 0;
}

void freeaddrinfo(addrinfo *addresses)
{
    while (addresses != NULL) {
        addrinfo *const next = addresses->ai_next;
        delete reinterpret_cast<Resolved *>(addresses);
        addresses = next;
    }
}

SOCKET socket(int family, int type, int protocol)
{
    std::lock_guard<std::mutex> guard(g_socketsLock);
    if (family != AF_INET || type != SOCK_STREAM || protocol != IPPROTO_TCP) {
        Fail(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (g_network.socketsBeforeScarce >= 0 && g_network.open >= g_network.socketsBeforeScarce) {
        Fail(WSAENOBUFS);
        return INVALID_SOCKET;
    }
    const SOCKET made = g_nextSocket++;
    g_sockets[made] = FakeSocket();
    g_network.mostOpen = std::max(g_network.mostOpen, ++g_network.open);
    return made;
}

int ioctlsocket(SOCKET socket, long command, u_long *argument)
{
    std::lock_guard<std::mutex> guard(g_socketsLock);
    FakeSocket *const fake = Find(socket);
    if (fake == NULL || command != static_cast<long>(FIONBIO))
        return Fail(WSAEINVAL);
    fake->nonBlocking = *argument != 0;
    return 0;
}

// Always under way once asked for, as a connection across a network is.
int connect(SOCKET socket, const sockaddr *address, int length)
{
    std::lock_guard<std::mutex> guard(g_socketsLock);
    FakeSocket *const fake = Find(socket);
    if (fake == NULL || length != sizeof(sockaddr) || fake->connecting)
        return Fail(WSAEINVAL);
    uint32_t place = 0;
    memcpy(&fake->name, address->sa_data, sizeof fake->name);
    memcpy(&place, address->sa_data + sizeof fake->name, sizeof place);
    fake->address = &g_network.names.at(*fake->name).at(place);
    ++g_network.connections[*fake->name];
    if (!fake->nonBlocking)
        ++g_network.blockingConnects;
    fake->connecting = true;
    fake->answersAt = Clock::now() + std::chrono::milliseconds(fake->address->after);
    return Fail(WSAEWOULDBLOCK);
}

int __WSAFDIsSet(SOCKET socket, fd_set *set)
{
    return std::find(set->fd_array, set->fd_array + set->fd_count, socket) != set->fd_array + set->fd_count;
}

bool Writable(SOCKET socket, Clock::time_point now)
{
    return Connected(*Find(socket), now);
}

bool Failed(SOCKET socket, Clock::time_point now)
{
    const FakeSocket &fake = *Find(socket);
    return HasAnswered(fake, now) && !Connected(fake, now);
}

// Keeps in the set, whatever its size, those of its sockets that are ready.
u_int Keep(fd_set *set, bool (*ready)(SOCKET socket, Clock::time_point now), Clock::time_point now)
{
    u_int kept = 0;
    for (u_int at = 0; at < set->fd_count; ++at) {
        if (ready(set->fd_array[at], now))
            set->fd_array[kept++] = set->fd_array[at];
    }
    return kept;
}

// A connection made is writable, one refused or unreachable in the
// exception set; the sets keep those that are.
int select(int, fd_set *readable, fd_set *writable, fd_set *failed, const timeval *timeout)
{
    if ((readable != NULL && readable->fd_count != 0) || writable->fd_count + failed->fd_count == 0)
        return Fail(WSAEINVAL);
    SettleFakeThread();
    const Clock::time_point until =
        Clock::now() + std::chrono::seconds(timeout->tv_sec) + std::chrono::microseconds(timeout->tv_usec);
    for (;; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
        const Clock::time_point now = Clock::now();
        std::lock_guard<std::mutex> guard(g_socketsLock);
        const bool ready = std::any_of(writable->fd_array, writable->fd_array + writable->fd_count,
                                       [now](SOCKET socket) { return Writable(socket, now); }) ||
                           std::any_of(failed->fd_array, failed->fd_array + failed->fd_count,
                                       [now](SOCKET socket) { return Failed(socket, now); });
        if (ready || now >= until) {
            writable->fd_count = Keep(writable, Writable, now);
            failed->fd_count = Keep(failed, Failed, now);
            return static_cast<int>(writable->fd_count + failed->fd_count);
        }
    }
}

int getsockopt(SOCKET socket, int level, int name, char *value, int *length)
{
    std::lock_guard<std::mutex> guard(g_socketsLock);
    const FakeSocket *const fake = Find(socket);
    if (fake == NULL || level != SOL_SOCKET || name != SO_ERROR || *length < static_cast<int>(sizeof(int)))
        return Fail(WSAEINVAL);
    int error = 0;
    if (fake->connecting && HasAnswered(*fake, Clock::now()))
        error = fake->address->answer == FakeAddress::kRefuses       ? WSAECONNREFUSED
                : fake->address->answer == FakeAddress::kUnreachable ? WSAEHOSTUNREACH
                : fake->address->answer == FakeAddress::kTimesOut    ? WSAETIMEDOUT
                                                                     : 0;
    memcpy(value, &error, sizeof error);
    *length = sizeof error;
    return 0;
}

int setsockopt(SOCKET socket, int level, int name, const char *value, int length)
{
    std::lock_guard<std::mutex> guard(g_socketsLock);
    FakeSocket *const fake = Find(socket);
    if (fake == NULL || level != SOL_SOCKET || name != SO_LINGER || length != sizeof(LINGER))
        return Fail(WSAEINVAL);
    LINGER linger;
    memcpy(&linger, value, sizeof linger);
    fake->reset = linger.l_onoff != 0 && linger.l_linger == 0;
    return 0;
}

int closesocket(SOCKET socket)
{
    std::lock_guard<std::mutex> guard(g_socketsLock);
    const FakeSocket *const fake = Find(socket);
    if (fake == NULL)
        return Fail(10038);  // WSAENOTSOCK
    if (Connected(*fake, Clock::now()) && !fake->reset)
        ++g_network.closedConnectedWithoutReset;
    g_sockets.erase(socket);
    --g_network.open;
    return 0;
}
