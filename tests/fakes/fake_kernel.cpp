// Threads, events, files and atomics as the checker relies on them. The
// threads are real ones and the atomics the compiler's, so that a sanitizer
// sees what the product's threads share; the fakes' own bookkeeping takes a
// lock only where a thread begins and ends, never on the way through a
// check, so that it orders nothing the product does not order itself.
#include "fake_platform.h"

#include <string.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

FakeFiles g_files;
FakeThreads g_threads;
FakeVersion g_version;

namespace {

thread_local DWORD t_lastError = 0;

enum ObjectKind { kFileObject, kEventObject, kThreadObject, kSemaphoreObject };

struct FakeObject {
    explicit FakeObject(ObjectKind objectKind) : kind(objectKind) {}
    virtual ~FakeObject() = default;
    FakeObject(const FakeObject &) = delete;
    FakeObject &operator=(const FakeObject &) = delete;
    ObjectKind kind;
};

struct FakeFile : FakeObject {
    explicit FakeFile(const std::string &bytes) : FakeObject(kFileObject), contents(bytes) {}
    std::string contents;
    size_t position = 0;
};

// Set with a release and waited for with an acquire, and no lock: a lock
// that every thread took on its way would order the threads' checks one
// after another, and hide a buffer they share from the sanitizer.
struct FakeEvent : FakeObject {
    FakeEvent(bool manual, bool initial) : FakeObject(kEventObject), manualReset(manual), signaled(initial) {}
    bool manualReset;
    std::atomic<bool> signaled;
};

// Counted as the platform counts, with the same care as an event.
struct FakeSemaphore : FakeObject {
    FakeSemaphore(LONG initial, LONG most) : FakeObject(kSemaphoreObject), count(initial), maximum(most) {}
    std::atomic<LONG> count;
    LONG maximum;
};

struct FakeThread : FakeObject {
    FakeThread() : FakeObject(kThreadObject) {}
};

// Handles given out and not yet closed, and every thread started.
std::mutex g_objectsLock;
std::set<FakeObject *> g_objects;
std::vector<std::thread> g_running;
// One for each thread started, set once it first waits or ends; relaxed,
// so that the sanitizer sees no order the product does not make itself.
std::deque<std::atomic<bool>> g_settled;
thread_local std::atomic<bool> *t_settled = NULL;
// A thread that waits on something the fakes do not know lets its
// CreateThread return after this long.
const auto kMostSettleWait = std::chrono::seconds(1);

FakeObject *Lookup(HANDLE handle)
{
    std::lock_guard<std::mutex> guard(g_objectsLock);
    FakeObject *const object = static_cast<FakeObject *>(handle);
    return g_objects.count(object) != 0 ? object : NULL;
}

HANDLE Keep(FakeObject *object)
{
    std::lock_guard<std::mutex> guard(g_objectsLock);
    g_objects.insert(object);
    return object;
}

// Hanging connections wait here until the test lets them go.
std::mutex g_hangLock;
std::condition_variable g_hangReleased;
bool g_hangsReleased = false;

}  // namespace

void SetFakeLastError(DWORD error)
{
    t_lastError = error;
}

DWORD GetLastError()
{
    return t_lastError;
}

void SettleFakeThread()
{
    if (t_settled == NULL)
        return;
    t_settled->store(true, std::memory_order_relaxed);
    t_settled = NULL;
}

void HangUntilReleased()
{
    SettleFakeThread();
    std::unique_lock<std::mutex> guard(g_hangLock);
    g_hangReleased.wait(guard, [] { return g_hangsReleased; });
}

void ReleaseHangingComputers()
{
    {
        std::lock_guard<std::mutex> guard(g_hangLock);
        g_hangsReleased = true;
    }
    g_hangReleased.notify_all();
}

void JoinFakeThreads()
{
    ReleaseHangingComputers();
    std::vector<std::thread> running;
    {
        std::lock_guard<std::mutex> guard(g_objectsLock);
        running.swap(g_running);
    }
    for (std::thread &thread : running)
        thread.join();
    {
        std::lock_guard<std::mutex> guard(g_objectsLock);
        g_settled.clear();
    }
    std::lock_guard<std::mutex> guard(g_hangLock);
    g_hangsReleased = false;
}

int OpenFakeHandles()
{
    std::lock_guard<std::mutex> guard(g_objectsLock);
    return static_cast<int>(g_objects.size());
}

void ResetFakeKernel()
{
    JoinFakeThreads();
    g_files = FakeFiles();
    g_threads = FakeThreads();
    g_services = FakeServices();
    g_version = FakeVersion();
    ResetFakeNetwork();
}

BOOL GetVersionExA(OSVERSIONINFOA *version)
{
    if (version->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA) &&
        version->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    version->dwMajorVersion = g_version.major;
    version->dwMinorVersion = g_version.minor;
    if (version->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA))
        reinterpret_cast<OSVERSIONINFOEXA *>(version)->wServicePackMajor = g_version.servicePack;
    return 1;
}

BOOL GetComputerNameA(LPSTR buffer, LPDWORD size)
{
    static const char kName[] = "THISPC";
    if (*size < sizeof kName) {
        *size = sizeof kName;
        t_lastError = ERROR_BUFFER_OVERFLOW;
        return 0;
    }
    memcpy(buffer, kName, sizeof kName);
    *size = sizeof kName - 1;
    return 1;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD, void *, DWORD disposition, DWORD, HANDLE)
{
    g_files.opened.push_back(fileName);
    const auto failure = g_files.openFailures.find(fileName);
    const auto found = g_files.contents.find(fileName);
    if (failure != g_files.openFailures.end() || found == g_files.contents.end() || access != GENERIC_READ ||
        disposition != OPEN_EXISTING) {
        t_lastError = failure != g_files.openFailures.end() ? static_cast<DWORD>(failure->second)
                                                            : static_cast<DWORD>(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return Keep(new FakeFile(found->second));
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh)
{
    FakeObject *const object = Lookup(file);
    if (object == NULL || object->kind != kFileObject)
        return 0xFFFFFFFFu;
    if (g_files.sizeFailure != ERROR_SUCCESS) {
        t_lastError = static_cast<DWORD>(g_files.sizeFailure);
        return INVALID_FILE_SIZE;
    }
    if (sizeHigh != NULL)
        *sizeHigh = g_files.sizeHigh;
    t_lastError = NO_ERROR;
    if (g_files.sizeLow != 0)
        return g_files.sizeLow;
    return static_cast<DWORD>(static_cast<FakeFile *>(object)->contents.size());
}

BOOL ReadFile(HANDLE file, void *buffer, DWORD size, LPDWORD read, void *)
{
    FakeObject *const object = Lookup(file);
    if (object == NULL || object->kind != kFileObject) {
        t_lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    if (g_files.readFailure != ERROR_SUCCESS) {
        t_lastError = static_cast<DWORD>(g_files.readFailure);
        return 0;
    }
    FakeFile *const fake = static_cast<FakeFile *>(object);
    size_t take = fake->contents.size() - fake->position;
    if (take > size)
        take = size;
    if (g_files.shortRead && take > 0)
        --take;
    memcpy(buffer, fake->contents.data() + fake->position, take);
    fake->position += take;
    *read = static_cast<DWORD>(take);
    return 1;
}

BOOL CloseHandle(HANDLE object)
{
    FakeObject *const fake = Lookup(object);
    if (fake == NULL) {
        t_lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    {
        std::lock_guard<std::mutex> guard(g_objectsLock);
        g_objects.erase(fake);
    }
    delete fake;
    return 1;
}

HANDLE CreateThread(void *, size_t stackSize, LPTHREAD_START_ROUTINE start, void *parameter, DWORD flags, LPDWORD)
{
    if (g_threads.createFails || g_threads.created == g_threads.createsBeforeFailing) {
        t_lastError = ERROR_NOT_ENOUGH_MEMORY;
        return NULL;
    }
    ++g_threads.created;
    g_threads.stackSize = stackSize;
    g_threads.flags = flags;
    // As on a computer with a core to spare, the thread runs before
    // CreateThread returns: until it first waits, or to its end.
    std::atomic<bool> *settled;
    FakeThread *const thread = new FakeThread();
    {
        std::lock_guard<std::mutex> guard(g_objectsLock);
        g_settled.emplace_back(false);
        settled = &g_settled.back();
        g_running.emplace_back([start, parameter, settled] {
            t_settled = settled;
            start(parameter);
            FlushFakeWorkerCalls();
            SettleFakeThread();
        });
        g_objects.insert(thread);
    }
    const auto latest = std::chrono::steady_clock::now() + kMostSettleWait;
    while (!settled->load(std::memory_order_relaxed) && std::chrono::steady_clock::now() < latest)
        std::this_thread::yield();
    return thread;
}

HANDLE CreateEventA(void *, BOOL manualReset, BOOL initialState, LPCSTR)
{
    return Keep(new FakeEvent(manualReset != 0, initialState != 0));
}

HANDLE CreateSemaphoreA(void *, LONG initialCount, LONG maximumCount, LPCSTR)
{
    if (initialCount < 0 || maximumCount <= 0 || initialCount > maximumCount) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return NULL;
    }
    return Keep(new FakeSemaphore(initialCount, maximumCount));
}

// As on Windows, a release past the maximum fails and changes nothing.
BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG *previousCount)
{
    FakeSemaphore *const fake = static_cast<FakeSemaphore *>(static_cast<FakeObject *>(semaphore));
    LONG count = fake->count.load(std::memory_order_relaxed);
    do {
        if (fake->kind != kSemaphoreObject || releaseCount <= 0 || count > fake->maximum - releaseCount) {
            t_lastError = ERROR_TOO_MANY_POSTS;
            return 0;
        }
    } while (!fake->count.compare_exchange_weak(count, count + releaseCount, std::memory_order_release));
    if (previousCount != NULL)
        *previousCount = count;
    return 1;
}

// The product waits on and sets only the events it made, and closes none
// while a thread may still set it: no lookup, so no lock.
BOOL SetEvent(HANDLE event)
{
    FakeEvent *const fake = static_cast<FakeEvent *>(static_cast<FakeObject *>(event));
    if (fake->kind != kEventObject)
        return 0;
    fake->signaled.store(true, std::memory_order_release);
    return 1;
}

// Taken when it is above zero.
static bool TakeCount(FakeSemaphore *semaphore)
{
    LONG count = semaphore->count.load(std::memory_order_relaxed);
    while (count > 0) {
        if (semaphore->count.compare_exchange_weak(count, count - 1, std::memory_order_acquire))
            return true;
    }
    return false;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    FakeObject *const fake = static_cast<FakeObject *>(object);
    if (fake->kind != kEventObject && fake->kind != kSemaphoreObject)
        return 0xFFFFFFFFu;  // WAIT_FAILED
    SettleFakeThread();
    FakeEvent *const event = fake->kind == kEventObject ? static_cast<FakeEvent *>(fake) : NULL;
    const DWORD started = GetTickCount();
    for (;;) {
        if (event == NULL        ? TakeCount(static_cast<FakeSemaphore *>(fake))
            : event->manualReset ? event->signaled.load(std::memory_order_acquire)
                                 : event->signaled.exchange(false, std::memory_order_acquire))
            return WAIT_OBJECT_0;
        if (milliseconds != INFINITE && GetTickCount() - started >= milliseconds)
            return WAIT_TIMEOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

DWORD GetTickCount()
{
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    using std::chrono::steady_clock;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

LONG InterlockedIncrement(volatile LONG *addend)
{
    return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(volatile LONG *addend)
{
    return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchange(volatile LONG *target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(volatile LONG *destination, LONG exchange, LONG comparand)
{
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
