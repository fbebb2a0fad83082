// Scripted stand-ins for the platform calls. Each behaves like the platform
// where the product relies on it (lengths honoured, ERROR_MORE_DATA for a
// short buffer), can be told to fail, and records what it was asked.
#ifndef PROVIDER_ORDER_TESTS_FAKE_PLATFORM_H
#define PROVIDER_ORDER_TESTS_FAKE_PLATFORM_H

#include <windows.h>

#include "../common/multi_string.h"

#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

struct FakeRegistry {
    static const DWORD kNever = 0xFFFFFFFFu;

    // Script.
    LONG openResult = ERROR_SUCCESS;
    LONG writeOpenResult = ERROR_SUCCESS;  // of an open that asks for KEY_SET_VALUE
    std::vector<std::string> subkeys;
    std::map<DWORD, LONG> enumerationFailures;       // index -> result
    std::map<std::string, LONG> subkeyOpenFailures;  // name -> result
    DWORD lengthOverstatedAt = kNever;               // succeeds, claiming the whole room
    LONG setValueResult = ERROR_SUCCESS;             // not ERROR_SUCCESS: nothing stored
    std::string keptInstead;                         // not empty: what Order holds after a write
    bool keptAsString = false;                       // Order reads back as REG_SZ after a write
    int setValueDelay = 0;                           // milliseconds a write takes
    LONG closeResult = ERROR_SUCCESS;
    std::map<std::string, LONG> connectFailures;  // computer -> result; others connect
    std::map<std::string, int> connectDelays;     // computer -> milliseconds before it answers
    std::set<std::string> hangingComputers;       // answer only once the test lets them go
    // Answer 53 while the computer's RemoteRegistry service is not running.
    std::set<std::string> behindRemoteRegistry;
    // Called as each connection is asked for, on the thread that asks.
    std::function<void(const std::string &computer)> whileConnecting;
    bool hasOrder = false;  // the Order value, read by RegQueryValueExA
    DWORD orderType = REG_MULTI_SZ;
    std::string order;
    LONG queryResult = ERROR_SUCCESS;

    // Record, on the test's own thread; calls made on others are in
    // workerCalls once those threads have ended, and keysOpen counts all.
    std::vector<std::string> calls;  // a subkey's open and close carry its name, a computer's too
    std::vector<std::string> workerCalls;
    HKEY openedRoot = NULL;
    std::string openedPath;
    REGSAM openedAccess = 0;
    std::vector<REGSAM> subkeyAccess;
    int keysOpen = 0;
    bool written = false;
    std::string writtenName;
    DWORD writtenType = 0;
    std::string writtenBytes;  // exactly the size passed; Order holds them from then on
    int writes = 0;            // on any thread
};

struct FakeModule {
    std::string path = "C:\\Program Files\\provider-order.exe";
    bool fails = false;                       // result 0, buffer left undefined
    bool unterminatedWhenFull = false;        // Windows XP: a full buffer gets no NUL
    bool hasSetDefaultDllDirectories = true;  // Windows 8 on; Vista and 7 with an update
    std::vector<std::string> calls;           // the loader's calls, in order, with arguments
};

// Standard output and error, and the conversions and texts around them.
struct FakeConsole {
    UINT outputCodePage = 437;     // 0: no console (GetConsoleOutputCP fails)
    bool conversionsFail = false;  // MultiByteToWideChar answers 0
    std::string out;               // the bytes written to standard output
    std::string err;
    std::string screen;                      // both, in the order written, as one window shows them
    std::function<void()> afterWritingOut;   // on the writing thread, after each write to standard output
    PHANDLER_ROUTINE controlHandler = NULL;  // as SetConsoleCtrlHandler left it
    SHORT errColumns = 0;                    // not 0: standard error is a console window this wide
};

// List files by path; anything else cannot be opened.
struct FakeFiles {
    std::map<std::string, std::string> contents;
    std::map<std::string, LONG> openFailures;  // path -> the open's error
    DWORD sizeHigh = 0;                        // what GetFileSize says beyond 4 GiB
    DWORD sizeLow = 0;                         // not 0: what it says below, whatever the file holds
    LONG sizeFailure = ERROR_SUCCESS;          // GetFileSize answers INVALID_FILE_SIZE with it
    LONG readFailure = ERROR_SUCCESS;
    bool shortRead = false;  // ReadFile gives one byte fewer than asked, with success
    std::vector<std::string> opened;
};

// A computer's services, as the Service Control Manager shows them.
struct FakeService {
    DWORD state = SERVICE_RUNNING;
    std::vector<std::string> dependants;     // as EnumDependentServicesA lists them: the last to start first
    LONG stopFailure = ERROR_SUCCESS;        // ControlService's answer
    bool staysStopPending = false;           // takes the stop, and never gets there
    int stopTakes = 0;                       // milliseconds stop pending, its check point never moving
    DWORD waitHint = 0;                      // what its status says while pending
    bool stopsByItself = false;              // stopped when asked to stop: not active
    DWORD startType = SERVICE_DEMAND_START;  // a disabled one refuses to start
    int changesAllowed = -1;                 // configuration changes that work; then access denied
    std::chrono::steady_clock::time_point stoppedAt;
    LONG startFailure = ERROR_SUCCESS;  // StartServiceA's answer
    // As Windows starts one: StartServiceA returns while it is start
    // pending, and it is seen so once before it runs.
    bool startSeenPending = false;
};

struct FakeServices {
    LONG managerResult = ERROR_SUCCESS;  // of OpenSCManagerA
    std::map<std::string, FakeService> services;
    std::vector<std::string> calls;  // "OpenSCManagerA \\NAME", "stop Fax", "start Spooler", "config X 3"
    int handlesOpen = 0;
};

struct FakeThreads {
    bool createFails = false;
    int createsBeforeFailing = -1;  // then every one fails; -1: never
    int created = 0;
    size_t stackSize = 0;  // of the last one
    DWORD flags = 0;
};

// What GetVersionExA says the system is.
struct FakeVersion {
    DWORD major = 10;
    DWORD minor = 0;
    WORD servicePack = 0;
};

// One address a name resolves to, as it answers a connection to TCP port
// 445, after so many milliseconds; a silent one never does, and one that
// times out fails as Windows does when it gives up on a silent one.
struct FakeAddress {
    enum Answer { kAccepts, kRefuses, kSilent, kUnreachable, kTimesOut };
    Answer answer = kRefuses;
    int after = 0;
};

// The network as the look meets it: the names that resolve, each to its
// addresses in order; any other resolves to none (WSAHOST_NOT_FOUND).
struct FakeNetwork {
    std::map<std::string, std::vector<FakeAddress>> names;
    int socketsBeforeScarce = -1;  // sockets that can be open at once, then WSAENOBUFS; -1: any
    bool startupFails = false;
    // Record, under the fakes' own lock.
    std::map<std::string, int> connections;  // per name, each address tried counting once
    int mostOpen = 0;                        // sockets open at once, at most
    int open = 0;
    int closedConnectedWithoutReset = 0;  // a connected socket closed without SO_LINGER 0: TIME_WAIT
    int blockingConnects = 0;             // a connect on a socket not made non-blocking
};

struct ShownMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

extern FakeRegistry g_registry;
extern int g_messageBoxResult;  // 0: the box could not be shown
extern FakeModule g_module;
extern bool g_doubleByteCodePage;  // code page 932's lead bytes, not 1252's none
extern std::vector<ShownMessageBox> g_messageBoxes;
// The fakes model the ANSI code page's Latin-1 letters and, besides it,
// 437 (the OEM code page) for u with diaeresis and 65001; any other fails.
extern FakeConsole g_console;
extern FakeFiles g_files;
extern FakeThreads g_threads;
extern FakeServices g_services;
extern FakeVersion g_version;
extern FakeNetwork g_network;

// Whether the registry takes two subkey names for one: it ignores case,
// which the fakes model for ASCII letters (in a double-byte code page, not
// for a letter's trail byte).
bool SameRegistryName(const std::string &left, const std::string &right);

// Back to a well-behaved platform with nothing recorded: hanging
// connections are let go and every thread is waited for first.
void ResetFakePlatform();

// Lets hanging connections answer, from now until the next join.
void ReleaseHangingComputers();
// Lets hanging connections answer and waits for every thread started.
void JoinFakeThreads();
// Events, files and threads whose handles are still open.
int OpenFakeHandles();

// For the fakes themselves.
void ResetFakeKernel();
void ResetFakeNetwork();
void SetFakeLastError(DWORD error);
void HangUntilReleased();
// A thread of the fakes' waits, or ends: its CreateThread may return.
void SettleFakeThread();
void FlushFakeWorkerCalls();

#endif
