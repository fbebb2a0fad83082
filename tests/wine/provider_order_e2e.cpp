// End-to-end cases for provider-order.exe on Wine's real registry and window
// manager: seeds the providers key, starts the tool, watches for its message
// box, and reads the value back. It rewrites HKLM, so it refuses to run
// anywhere but under Wine.
//
//   provider_order_e2e.exe CASE     runs one case; exit code 0 when it passed
#include <windows.h>

#include "../common/multi_string.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char kProviders[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Providers";
const char kBoxText[] = "Can't Enumerate Registry for Print Providers";
const char kBoxCaption[] = "info";
// A run takes well under a second, and some seconds on a busy machine;
// this stays inside the case's own limit.
const DWORD kToolTimeoutMs = 30000;
// How often a console is looked at while the checker runs on it.
const DWORD kScreenLookMs = 100;

typedef std::vector<std::string> Names;

int g_failures = 0;

#define CHECK(condition) Check((condition), #condition, __LINE__)

void Check(bool passed, const char *what, int line)
{
    if (!passed) {
        printf("  line %d: %s\n", line, what);
        ++g_failures;
    }
}

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
}

// Conversions sized by the call itself, so that no name is ever cut short.
std::wstring Wide(const std::string &utf8)
{
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, NULL, 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0 && MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &text[0], length) != length)
        text.clear();
    return text;
}

std::string Utf8(const wchar_t *text, int length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, NULL, 0, NULL, NULL);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0 && WideCharToMultiByte(CP_UTF8, 0, text, length, &bytes[0], size, NULL, NULL) != size)
        bytes.clear();
    return bytes;
}

// The providers key and everything under it, gone. Wide calls, since a
// name the 8-bit calls substitute cannot be deleted through them.
void DeleteProviders()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Wide(kProviders).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, Wide(kProviders).c_str());
}

// Subkeys by their UTF-8 names, created through the wide calls; a backslash
// makes a nested key.
void SeedProviders(const Names &subkeys)
{
    DeleteProviders();
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProviders, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    for (const std::string &name : subkeys) {
        HKEY subkey;
        if (RegCreateKeyExW(key, Wide(name).c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &subkey, NULL) == ERROR_SUCCESS)
            RegCloseKey(subkey);
        else
            printf("  could not seed subkey of %u bytes\n", static_cast<unsigned>(name.size()));
    }
    RegCloseKey(key);
}

void SetOrder(const std::string &block)
{
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kProviders, "Order", REG_MULTI_SZ, block.data(),
                    static_cast<DWORD>(block.size()));
}

// The subkeys, and Order's bytes where order is not NULL.
void Seed(const Names &subkeys, const char *order, size_t orderSize)
{
    SeedProviders(subkeys);
    if (order != NULL)
        SetOrder(std::string(order, orderSize));
}

// The Order value's bytes, or "absent".
std::string ReadOrder()
{
    char data[4096];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kProviders, "Order", RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) !=
        ERROR_SUCCESS)
        return "absent";
    if (type != REG_MULTI_SZ)
        return "wrong type";
    return std::string(data, size);
}

// The subkey names in the order the registry itself enumerates them, and
// the Order value, as the wide calls see them, in UTF-8.
Names EnumeratedNames()
{
    Names names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviders, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[MAX_PATH];
    DWORD length = MAX_PATH;
    for (DWORD i = 0; RegEnumKeyExW(key, i, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS; ++i) {
        names.push_back(Utf8(name, static_cast<int>(length)));
        length = MAX_PATH;
    }
    RegCloseKey(key);
    return names;
}

std::string ReadWideOrder()
{
    wchar_t data[2048];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, Wide(kProviders).c_str(), L"Order", RRF_RT_ANY | RRF_NOEXPAND, &type, data,
                     &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return "absent or wrong type";
    return Utf8(data, static_cast<int>(size / sizeof(wchar_t)));
}

// A program beside this one, and a writable command line that starts it
// with the given tail. CreateProcess takes a path of fewer than MAX_PATH
// characters: one that does not fit fails the case.
struct ProgramStart {
    bool fits = false;
    std::string path;
    std::vector<char> commandLine;
};

// This program's folder, which holds the exes, with its last backslash;
// empty where the path does not fit in MAX_PATH.
std::string OwnFolder()
{
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(NULL, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        printf("  this program's own path does not fit in MAX_PATH\n");
        CHECK(false);
        return "";
    }
    std::string path(self, length);
    return path.erase(path.rfind('\\') + 1);
}

ProgramStart Beside(const char *program, const std::string &tail)
{
    ProgramStart start;
    start.path = OwnFolder();
    if (start.path.empty())
        return start;
    start.path += program;
    if (start.path.size() >= MAX_PATH) {
        printf("  the path of %s takes %u characters, MAX_PATH is %d\n", program,
               static_cast<unsigned>(start.path.size()), MAX_PATH);
        CHECK(false);
        return start;
    }
    const std::string text = "\"" + start.path + "\"" + (tail.empty() ? "" : " " + tail);
    start.commandLine.assign(text.begin(), text.end());
    start.commandLine.push_back('\0');
    start.fits = true;
    return start;
}

// CreateProcessA, tried a second time after a pause where Wine fails to
// start the process with ERROR_INTERNAL_ERROR, as it did once in a hundred
// full runs, before any of the program's code ran.
BOOL StartProcess(const char *path, char *commandLine, BOOL inheritHandles, DWORD flags, STARTUPINFOA *startup,
                  PROCESS_INFORMATION *process)
{
    if (CreateProcessA(path, commandLine, NULL, NULL, inheritHandles, flags, NULL, NULL, startup, process))
        return TRUE;
    if (GetLastError() != ERROR_INTERNAL_ERROR)
        return FALSE;
    printf("  Wine could not start %s (error 1359); once more\n", path);
    Sleep(500);
    return CreateProcessA(path, commandLine, NULL, NULL, inheritHandles, flags, NULL, NULL, startup, process);
}

struct ToolRun {
    bool finished = false;
    DWORD exitCode = 0xFFFFFFFF;
    std::vector<std::string> boxTexts;
    std::vector<std::string> boxCaptions;
};

struct BoxSearch {
    DWORD processId;
    std::vector<HWND> *seen;
    ToolRun *run;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM context)
{
    BoxSearch *search = reinterpret_cast<BoxSearch *>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner != search->processId || strcmp(className, "#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    for (HWND seen : *search->seen) {
        if (seen == window)
            return TRUE;
    }
    search->seen->push_back(window);
    char caption[256] = "";
    char text[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    // The message box keeps its text in the static control with id 0xFFFF.
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
    search->run->boxCaptions.push_back(caption);
    search->run->boxTexts.push_back(text);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

// Starts the tool next to this program with the given tail, dismisses every
// box it shows, and waits for it to end.
ToolRun RunTool(const std::string &tail)
{
    ProgramStart start = Beside("provider-order.exe", tail);
    ToolRun run;
    if (!start.fits)
        return run;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!StartProcess(start.path.c_str(), &start.commandLine[0], FALSE, 0, &startup, &process)) {
        printf("  CreateProcess failed: %lu\n", GetLastError());
        return run;
    }
    std::vector<HWND> seen;
    BoxSearch search = {process.dwProcessId, &seen, &run};
    const DWORD started = GetTickCount();
    for (;;) {
        EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0)
            break;
        if (GetTickCount() - started > kToolTimeoutMs) {
            printf("  the tool did not end; terminated\n");
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, kToolTimeoutMs);
            break;
        }
    }
    run.finished = GetExitCodeProcess(process.hProcess, &run.exitCode) && run.exitCode != 99;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

struct CheckerRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

// Reads a pipe on a thread of its own until its writer has gone, so that a
// child that writes more than the pipe holds never waits on a full pipe.
struct PipeReader {
    HANDLE pipe;
    std::string text;
};

DWORD WINAPI ReadUntilClosed(void *context)
{
    PipeReader *reader = static_cast<PipeReader *>(context);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(reader->pipe, buffer, sizeof buffer, &got, NULL) && got > 0)
        reader->text.append(buffer, got);
    return 0;
}

// The subkeys and Order, to show that a run changed neither.
std::string RegistrySnapshot()
{
    std::string names;
    for (const std::string &name : EnumeratedNames())
        names += name + '\n';
    return names + "|" + ReadOrder();
}

enum CheckerStart {
    kReadOnly,             // the registry must be byte for byte as it was
    kSlowNetwork,          // that, and "slow-" computers answer late, "hang-" ones never
    kMayWrite,             // /F
    kSlowNetworkMayWrite,  // /F through the stand-in for a slow network
};

// The checker with the given tail, through the stand-in for a slow network
// where asked.
ProgramStart CheckerProgram(const std::string &tail, CheckerStart how)
{
    const std::string folder = OwnFolder();
    return how == kSlowNetwork || how == kSlowNetworkMayWrite
               ? Beside("with_slow_network.exe",
                        "\"" + folder + "slow_network.dll\" \"" + folder + "provider-order-check.exe\" " + tail)
               : Beside("provider-order-check.exe", tail);
}

// Runs the checker with standard output and error on pipes.
CheckerRun RunChecker(const std::string &tail = "", CheckerStart how = kReadOnly)
{
    CheckerRun run;
    ProgramStart start = CheckerProgram(tail, how);
    if (!start.fits)
        return run;
    const std::string before = RegistrySnapshot();
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    PipeReader out = {NULL, ""};
    PipeReader err = {NULL, ""};
    HANDLE outWrite = NULL;
    HANDLE errWrite = NULL;
    if (!CreatePipe(&out.pipe, &outWrite, &inherit, 0) || !CreatePipe(&err.pipe, &errWrite, &inherit, 0)) {
        printf("  CreatePipe failed: %lu\n", GetLastError());
        CHECK(false);
        for (HANDLE handle : {out.pipe, outWrite, err.pipe, errWrite}) {
            if (handle != NULL)
                CloseHandle(handle);
        }
        return run;
    }
    SetHandleInformation(out.pipe, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err.pipe, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = NULL;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process = {};
    const BOOL started =
        StartProcess(start.path.c_str(), &start.commandLine[0], TRUE, CREATE_NO_WINDOW, &startup, &process);
    // The child holds its own copies: the pipes end when it does.
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (started) {
        HANDLE readers[] = {CreateThread(NULL, 0, ReadUntilClosed, &out, 0, NULL),
                            CreateThread(NULL, 0, ReadUntilClosed, &err, 0, NULL)};
        CHECK(readers[0] != NULL && readers[1] != NULL);
        if (WaitForSingleObject(process.hProcess, kToolTimeoutMs) != WAIT_OBJECT_0) {
            printf("  the checker did not end; terminated\n");
            TerminateProcess(process.hProcess, 99);
            // Termination is asynchronous: the exit code is there once it ends.
            WaitForSingleObject(process.hProcess, kToolTimeoutMs);
        }
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        // A pipe still open after the child has gone (a grandchild holding
        // it) would keep its reader waiting: its read is cancelled then, and
        // the reader must be gone before its PipeReader is.
        for (HANDLE reader : readers) {
            if (reader == NULL)
                continue;
            if (WaitForSingleObject(reader, kToolTimeoutMs) != WAIT_OBJECT_0) {
                printf("  a pipe stayed open after the checker ended\n");
                CHECK(false);
                CancelSynchronousIo(reader);
                WaitForSingleObject(reader, INFINITE);
            }
            CloseHandle(reader);
        }
        run.out = out.text;
        run.err = err.text;
    } else {
        printf("  CreateProcess failed: %lu\n", GetLastError());
        CHECK(false);
    }
    CloseHandle(out.pipe);
    CloseHandle(err.pipe);
    CHECK(how == kMayWrite || how == kSlowNetworkMayWrite || RegistrySnapshot() == before);
    return run;
}

// This computer as the checker's argument, "\\NAME", in the letter case asked
// for: Wine connects to its own registry under its own name, in any case.
std::string OwnComputer(bool lowerCase)
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD length = sizeof name;
    GetComputerNameA(name, &length);
    if (lowerCase)
        CharLowerA(name);
    return std::string("\\\\") + name;
}

bool StartsWith(const std::string &text, const char *prefix)
{
    return text.compare(0, strlen(prefix), prefix) == 0;
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// The whole screen of this process's console, in UTF-8.
std::string ReadScreen()
{
    std::string screen;
    const HANDLE buffer = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                      OPEN_EXISTING, 0, NULL);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (buffer != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(buffer, &info)) {
        std::wstring cells(static_cast<size_t>(info.dwSize.X) * static_cast<size_t>(info.dwSize.Y), L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(buffer, &cells[0], static_cast<DWORD>(cells.size()), COORD{0, 0}, &read);
        screen = Utf8(cells.data(), static_cast<int>(read));
    }
    if (buffer != INVALID_HANDLE_VALUE)
        CloseHandle(buffer);
    return screen;
}

// What a console shows after the checker ran on it with the given tail: the
// harness gets a console of its own, the checker inherits it, and the
// screen is read back through the wide calls, in UTF-8. With during, also
// what it showed while the checker ran, once it showed awaited, or as it
// ended: the screen is looked at every tenth of a second, for however
// long a busy machine makes the checker take.
std::string ScreenAfterChecker(const std::string &tail, CheckerStart how = kReadOnly, const char *awaited = "",
                               std::string *during = NULL)
{
    ProgramStart start = CheckerProgram(tail, how);
    if (!start.fits)
        return "";
    const HANDLE standard[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                               GetStdHandle(STD_ERROR_HANDLE)};
    FreeConsole();
    std::string screen;
    if (AllocConsole()) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (CreateProcessA(start.path.c_str(), &start.commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                           &process)) {
            for (bool ended = false; during != NULL && !ended;) {
                ended = WaitForSingleObject(process.hProcess, kScreenLookMs) == WAIT_OBJECT_0;
                *during = ReadScreen();
                ended = ended || Contains(*during, awaited);
            }
            CHECK(WaitForSingleObject(process.hProcess, kToolTimeoutMs) == WAIT_OBJECT_0);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        screen = ReadScreen();
        FreeConsole();
    } else {
        printf("  AllocConsole failed: %lu\n", GetLastError());
    }
    CHECK(!screen.empty());
    SetStdHandle(STD_INPUT_HANDLE, standard[0]);
    SetStdHandle(STD_OUTPUT_HANDLE, standard[1]);
    SetStdHandle(STD_ERROR_HANDLE, standard[2]);
    return screen;
}

void ExpectVerdict(const CheckerRun &run, DWORD exitCode, const char *firstWord)
{
    if (run.exitCode != exitCode || !StartsWith(run.out, firstWord))
        printf("  expected %lu %s, got %lu: %s\n", exitCode, firstWord, run.exitCode, run.out.c_str());
    CHECK(run.exitCode == exitCode);
    CHECK(StartsWith(run.out, firstWord));
    CHECK(run.err.empty());
}

void ExpectQuietSuccess(const ToolRun &run)
{
    CHECK(run.finished);
    CHECK(run.exitCode == 0);
    CHECK(run.boxTexts.empty());
}

void ExpectOneBox(const ToolRun &run)
{
    CHECK(run.finished);
    CHECK(run.exitCode == 0);
    CHECK(run.boxTexts.size() == 1);
    if (run.boxTexts.size() == 1) {
        CHECK(run.boxTexts[0] == kBoxText);
        CHECK(run.boxCaptions[0] == kBoxCaption);
    }
}

const Names kRealisticProviders = {"LanMan Print Services", "Internet Print Provider"};

void StaleNamesDroppedAndMissingAdded()
{
    SeedProviders({"LanMan Print Services", "Internet Print Provider", "Zeta Print Provider"});
    SetOrder(MultiString({"Retired Provider", "LanMan Print Services"}));
    ExpectQuietSuccess(RunTool(""));
    const Names names = EnumeratedNames();
    CHECK(names.size() == 3);
    CHECK(ReadOrder() == MultiString(names));
}

void OneSubkeyIsThreeBytes()
{
    SeedProviders({"A"});
    ExpectQuietSuccess(RunTool(""));
    CHECK(ReadOrder() == std::string("A\0\0", 3));
}

void NoSubkeysLeavesTheValueAsItWas()
{
    SeedProviders({});
    ExpectQuietSuccess(RunTool(""));
    CHECK(ReadOrder() == "absent");

    SetOrder(MultiString({"Kept Provider"}));
    ExpectQuietSuccess(RunTool(""));
    CHECK(ReadOrder() == MultiString({"Kept Provider"}));
}

void ExactFitIsWrittenOneByteOverIsNot()
{
    SeedProviders(NamesFilling(1024));
    SetOrder(MultiString({"Stale"}));
    ExpectQuietSuccess(RunTool(""));
    CHECK(ReadOrder() == MultiString(EnumeratedNames()));
    CHECK(ReadOrder().size() == 1024);

    SeedProviders(NamesFilling(1025));
    SetOrder(MultiString({"Stale"}));
    ExpectQuietSuccess(RunTool(""));
    CHECK(ReadOrder() == MultiString({"Stale"}));

    SeedProviders(NamesFilling(2000));
    SetOrder(MultiString({"Stale"}));
    ExpectQuietSuccess(RunTool(""));
    CHECK(ReadOrder() == MultiString({"Stale"}));
}

void MissingKeyShowsTheBox()
{
    DeleteProviders();
    ExpectOneBox(RunTool(""));
    HKEY key;
    CHECK(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviders, 0, KEY_READ, &key) == ERROR_FILE_NOT_FOUND);
}

// Grants everyone the given rights on the providers key, and nothing else.
bool SetProvidersAccess(REGSAM rights)
{
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = NULL;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        return false;
    BYTE aclBuffer[256];
    ACL *acl = reinterpret_cast<ACL *>(aclBuffer);
    SECURITY_DESCRIPTOR descriptor;
    HKEY key;
    bool done = InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION) &&
                AddAccessAllowedAce(acl, ACL_REVISION, rights, everyone) &&
                InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
                RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviders, 0, WRITE_DAC, &key) == ERROR_SUCCESS;
    if (done) {
        done = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    FreeSid(everyone);
    return done;
}

void ARefusingDaclShowsTheBox()
{
    SeedProviders(kRealisticProviders);
    SetOrder(MultiString({"Stale"}));
    const bool refused = SetProvidersAccess(KEY_READ | WRITE_DAC);
    CHECK(refused);
    ExpectOneBox(RunTool(""));
    CHECK(SetProvidersAccess(KEY_ALL_ACCESS));
    CHECK(ReadOrder() == MultiString({"Stale"}));
}

// The 8-bit calls substitute these names ("?", or a best-fit letter that
// names another key or none), so the list cannot be proven: each leaves a
// stale Order byte for byte, beside ordinary names.
void NamesOutsideTheCodePageLeaveOrderAsItWas()
{
    CHECK(GetACP() == 1252);
    const Names groups[] = {
        {"LanMan Print Services", "\u0394\u03c1\u03bf\u03bc\u03ad\u03b1\u03c2", "Internet Print Provider"},
        {"A", "\u0141\u00f3d\u017a"},
        {"\u6253\u5370", "\u5370\u5237", "LanMan Print Services"},
        {"A", "A\\B", "A\uff3cB"},
        {"\u0141\u00f3d\u017a", "l\u00f3dz"},
    };
    for (const Names &subkeys : groups) {
        SeedProviders(subkeys);
        const std::string stale = MultiString({"Stale", "LanMan Print Services"});
        SetOrder(stale);
        ExpectQuietSuccess(RunTool(""));
        CHECK(ReadOrder() == stale);
    }
}

// Names inside the code page round-trip: read back through the wide calls,
// Order holds exactly the subkeys' names.
void CodePageNamesRoundTrip()
{
    SeedProviders({"Dr\u00fccker", "\u20acuro", "LanMan Print Services"});
    SetOrder(MultiString({"Stale"}));
    ExpectQuietSuccess(RunTool(""));
    const Names names = EnumeratedNames();
    CHECK(names.size() == 3);
    CHECK(ReadWideOrder() == MultiString(names));
}

// Each verdict of the checker, and that it changes nothing.
void CheckerVerdicts()
{
    // Windows as it ships: LanMan Print Services first, which the registry
    // enumerates second. Current, and said to be in an order of its own.
    SeedProviders(kRealisticProviders);
    SetOrder(MultiString(kRealisticProviders));
    CheckerRun run = RunChecker();
    ExpectVerdict(run, 0,
                  "current: Order lists every provider subkey, in an order provider-order.exe would change\r\n"
                  "  LanMan Print Services\r\n  Internet Print Provider\r\n");
    run = RunChecker("/FO CSV /NH");
    CHECK(run.exitCode == 0);
    CHECK(Contains(run.out, "\",\"current\",\"0\",\"Order lists every provider subkey, in an order provider-order.exe "
                            "would change\",\"LanMan Print Services\nInternet Print Provider\",\"LanMan Print "
                            "Services\nInternet Print Provider\"\r\n"));

    SetOrder(MultiString({"Retired Provider", "LanMan Print Services"}));
    run = RunChecker();
    ExpectVerdict(run, 1, "stale");
    CHECK(Contains(run.out, "now:\r\n  Retired Provider\r\n  LanMan Print Services\r\nafter:\r\n"));
    CHECK(Contains(run.out, "  Internet Print Provider\r\n"));

    ExpectQuietSuccess(RunTool(""));
    ExpectVerdict(RunChecker(), 0, "current");

    // Redirected, in the console's output code page as a person would have
    // read it (437 under Wine, where there is no console: the OEM code
    // page); on a console, as the console shows it.
    SeedProviders({"Dr\u00fccker"});
    run = RunChecker();
    ExpectVerdict(run, 1, "stale");
    CHECK(Contains(run.out, "now: absent\r\nafter:\r\n  Dr\x81"
                            "cker\r\n"));
    CHECK(Contains(ScreenAfterChecker(""), "  Dr\u00fccker "));

    SeedProviders({});
    ExpectVerdict(RunChecker(), 2, "untouched");

    SeedProviders(NamesFilling(1025));
    run = RunChecker();
    ExpectVerdict(run, 2, "untouched");
    CHECK(Contains(run.out, "1025"));

    SeedProviders({"A", "\u0394\u03c1\u03bf\u03bc\u03ad\u03b1\u03c2"});
    run = RunChecker();
    ExpectVerdict(run, 2, "untouched");
    CHECK(Contains(run.out, "subkey 1"));

    // Another computer is never this one: 53, and its name; several give
    // the highest code and each verdict, in turn.
    SeedProviders(kRealisticProviders);
    run = RunChecker("\\\\no-such-computer");
    ExpectVerdict(run, 3, "unreadable: \\\\no-such-computer: remote registry: error 53: ");
    ExpectVerdict(RunChecker("\\\\" + std::string(255, 'n')), 3, "unreadable: ");

    DeleteProviders();
    run = RunChecker();
    ExpectVerdict(run, 3, "unreadable: HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Providers: error 2: ");
    ExpectVerdict(RunChecker(OwnComputer(false)), 3,
                  ("unreadable: " + OwnComputer(false) + ": HKLM\\SYSTEM\\CurrentControlSet").c_str());
}

// Reading needs no more than the rights to read: a DACL that grants only
// those still gets a verdict, one that refuses them gets "unreadable".
void CheckerNeedsOnlyReadRights()
{
    SeedProviders(kRealisticProviders);
    SetOrder(MultiString({"Stale"}));
    CHECK(SetProvidersAccess(KEY_READ | WRITE_DAC));
    ExpectVerdict(RunChecker(), 1, "stale");

    CHECK(SetProvidersAccess(READ_CONTROL | WRITE_DAC));
    const CheckerRun run = RunChecker();
    ExpectVerdict(run, 3, "unreadable");
    CHECK(Contains(run.out, "error 5: "));
    CHECK(SetProvidersAccess(KEY_ALL_ACCESS));
}

void CheckerUsage()
{
    for (const char *help : {"/?", "-h", "--help"}) {
        const CheckerRun run = RunChecker(help);
        CHECK(run.exitCode == 0);
        CHECK(StartsWith(run.out, "usage:"));
        CHECK(run.err.empty());
    }
    // A computer is "\\NAME" and nothing else, of at most 255 bytes.
    std::vector<std::string> wrongs = {"/x",       "current", "/? /?",   "\\\\", "\\\\a\\b", "\\\\a b",
                                       "\\\\a /?", "@",       "/FO XML", "/T 0", "/T soon",  "/NH"};
    wrongs.push_back("\\\\" + std::string(256, 'n'));
    for (const std::string &wrong : wrongs) {
        const CheckerRun run = RunChecker(wrong);
        CHECK(run.exitCode == 4);
        CHECK(run.out.empty());
        CHECK(StartsWith(run.err, "usage:"));
    }
}

// ASCII letters in lower case: the registry's names compare so.
std::string Lowered(std::string text)
{
    for (char &character : text)
        character = static_cast<char>(tolower(static_cast<unsigned char>(character)));
    return text;
}

// The names of a REG_MULTI_SZ block, up to the empty string that ends it.
Names NamesOf(const std::string &block)
{
    Names names;
    for (size_t at = 0; at < block.size() && block[at] != '\0'; at = block.find('\0', at) + 1) {
        names.push_back(block.substr(at, block.find('\0', at) - at));
        if (block.find('\0', at) == std::string::npos)
            break;
    }
    return names;
}

// The checker's 0 means Order names each subkey once, in any order, and its
// note that provider-order.exe would reorder them holds exactly when the
// repair that follows changes the order; 1 means the repair changes Order.
// Right after the repair, 0; 2 and 3 it says again. Asked through the
// network for this computer, it says the same, naming the computer.
void CheckerAgreesWithTheRepair()
{
    const struct {
        Names subkeys;
        const char *order;  // NULL: absent
        size_t orderSize;
    } rows[] = {
        {kRealisticProviders, "Stale\0\0", 7},
        {kRealisticProviders, "LanMan Print Services\0Internet Print Provider\0\0", 47},
        {{"Vendor Port Monitor Provider", "LanMan Print Services", "Internet Print Provider"},
         "Vendor Port Monitor Provider\0LanMan Print Services\0Internet Print Provider\0\0",
         76},
        {{"A", "B"}, "A\0B\0\0", 5},
        {{"A", "B"}, "b\0a\0\0", 5},
        {{"A", "B"}, "a\0B\0\0", 5},
        {{"A", "B"}, "A\0B\0", 4},
        {{"A", "B"}, "A\0C\0\0", 5},  // the same first name and size
        {{"A"}, NULL, 0},
        {{"A", "\u0141\u00f3d\u017a"}, "A\0\0", 3},
        {{}, "Kept\0\0", 6},
        {NamesFilling(1025), "Stale\0\0", 7},
    };
    for (const auto &row : rows) {
        Seed(row.subkeys, row.order, row.orderSize);
        const std::string before = ReadOrder();
        const CheckerRun local = RunChecker();
        const DWORD verdict = local.exitCode;
        const CheckerRun remote = RunChecker(OwnComputer(true));
        std::string named = local.out;
        named.insert(named.find(": ") + 2, OwnComputer(true) + ": ");
        CHECK(remote.exitCode == verdict);
        CHECK(remote.out == named);
        ExpectQuietSuccess(RunTool(""));
        const std::string after = ReadOrder();
        CHECK(verdict == 0 || verdict == 1 || verdict == 2);
        if (verdict == 0) {
            Names ordered = NamesOf(Lowered(before));
            Names subkeys = NamesOf(Lowered(after));
            std::sort(ordered.begin(), ordered.end());
            std::sort(subkeys.begin(), subkeys.end());
            CHECK(ordered == subkeys);
            CHECK(Contains(local.out, "would change") == (Lowered(before) != Lowered(after)));
        }
        CHECK(verdict != 1 || after != before);
        CHECK(verdict != 2 || after == before);
        const DWORD again = RunChecker().exitCode;
        CHECK(again == (verdict == 2 ? 2u : 0u));
    }
}

// Writes a file beside this program.
std::string WriteBeside(const char *name, const std::string &bytes)
{
    const std::string path = OwnFolder() + name;
    FILE *file = fopen(path.c_str(), "wb");
    CHECK(file != NULL);
    if (file != NULL) {
        CHECK(fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
        fclose(file);
    }
    return path;
}

// Text as UTF-16LE, with its byte-order mark, from ANSI (1252).
std::string Utf16WithMark(const std::string &ansi)
{
    std::string bytes = "\xff\xfe";
    for (const char character : ansi) {
        wchar_t unit = 0;
        MultiByteToWideChar(1252, 0, &character, 1, &unit, 1);
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string Utf8(const std::string &ansi)
{
    std::string bytes;
    for (const char character : ansi) {
        wchar_t unit = 0;
        MultiByteToWideChar(1252, 0, &character, 1, &unit, 1);
        bytes += Utf8(&unit, 1);
    }
    return bytes;
}

// Dozens of computers, reachable (this one, by its name in any case) and not
// (any other name) interleaved, are checked at once: each one's lines are
// what it alone gives, in the order named, with the highest exit code and a
// count; a list file in each encoding and form Windows' tools write, and
// the checker's own CSV report of the run, gives the same.
void CheckerFleet()
{
    SeedProviders(kRealisticProviders);
    SetOrder(MultiString({"Retired Provider", "LanMan Print Services"}));
    std::string own = OwnComputer(false).substr(2);
    std::string mixed = own;
    CharLowerA(&mixed[1]);
    const std::string ownNames[] = {own, OwnComputer(true).substr(2), mixed};
    std::vector<std::string> names;
    for (int index = 0; index < 36; ++index)
        names.push_back(index % 3 == 0 ? ownNames[index / 3 % 3]
                                       : "no-such-" + std::to_string(index) +
                                             "-dr\xfc"
                                             "ck");

    std::string tail;
    std::string expected;
    std::string listed;
    for (size_t index = 0; index < names.size(); ++index) {
        const std::string computer = "\\\\" + names[index];
        tail += computer + " ";
        const CheckerRun alone = RunChecker(computer);
        CHECK(alone.exitCode == (index % 3 == 0 ? 1u : 3u));
        expected += alone.out;
        // With the backslashes or without, amid blanks and empty lines.
        listed += (index % 2 ? " \t" + computer : names[index] + "  ") + (index % 5 ? "\r\n" : "\r\n\r\n");
    }
    listed.erase(listed.size() - 2);  // the last line without its break
    const std::string summary = "36 computers: 0 current, 12 stale, 0 untouched, 24 unreadable\r\n";

    const CheckerRun run = RunChecker(tail);
    CHECK(run.exitCode == 3);
    CHECK(run.out == expected);
    CHECK(run.err == summary);

    // The same computers as the directory's tools list them, and as the
    // checker's own report names them.
    std::string quoted, distinguished, accounts, exported, table;
    for (size_t index = 0; index < names.size(); ++index) {
        const std::string &name = names[index];
        quoted += "\"" + name + "\"\r\n";
        distinguished += "\"CN=" + name + ",OU=Workstations\\, North,DC=corp,DC=example,DC=com\"\r\n";
        accounts += "\"" + name + "$\"\r\n";
        exported += name + "\tComputer\t\r\n";
        table += "\"CN=" + name + ",DC=corp\",\"" + (index % 2 ? name : "") + "\",\"" + name + "\"\r\n";
    }
    const std::string header = "\"DistinguishedName\",\"DNSHostName\",\"Name\"\r\n";
    const CheckerRun report = RunChecker(tail + "/FO CSV");
    CHECK(report.exitCode == 3);
    const struct {
        const char *file;
        std::string bytes;
    } lists[] = {
        {"fleet-ansi.txt", listed},
        {"fleet-utf8.txt", Utf8(listed)},
        {"fleet-utf8-mark.txt", "\xef\xbb\xbf" + Utf8(listed)},
        {"fleet-utf16.txt", Utf16WithMark(listed)},
        {"fleet-rdn.txt", quoted},
        {"fleet-dn.txt", distinguished},
        {"fleet-samid.txt", accounts},
        {"fleet-export.txt", Utf16WithMark("Name\tType\tDescription\r\n" + exported)},
        {"fleet-ps5.csv",
         "\xef\xbb\xbf" + Utf8("#TYPE Microsoft.ActiveDirectory.Management.ADComputer\r\n" + header + table)},
        {"fleet-ps7.csv", Utf8(header + table)},
        {"fleet-report.csv", report.out},
    };
    for (const auto &list : lists) {
        const CheckerRun fromList = RunChecker("@\"" + WriteBeside(list.file, list.bytes) + "\"");
        if (fromList.out != expected)
            printf("  %s gives another output:\n%s\n", list.file, fromList.out.c_str());
        CHECK(fromList.exitCode == 3);
        CHECK(fromList.out == expected);
        CHECK(fromList.err == summary);
    }

    // A bad line stops the run before anything is checked.
    const std::string bad = WriteBeside("fleet-bad.txt", own + "\r\n\r\n  PRN 1\r\n");
    const CheckerRun refused = RunChecker(OwnComputer(false) + " @" + bad);
    CHECK(refused.exitCode == 4);
    CHECK(refused.out.empty());
    CHECK(refused.err == "provider-order-check: " + bad + ", line 3: not a computer name: PRN 1\r\n");
}

// /T, through the stand-in for a slow network: a computer that never
// answers is unreadable in its place, every other verdict is written, and
// the run ends near the limit.
void CheckerTimeLimit()
{
    SeedProviders(kRealisticProviders);
    SetOrder(MultiString(EnumeratedNames()));
    const std::string own = OwnComputer(false);
    const CheckerRun alone = RunChecker(own);
    // Wine answers 53 at once; the stand-in, half a second later.
    const CheckerRun slow = RunChecker("\\\\slow-1");
    SetEnvironmentVariableA("SLOW_NETWORK_MS", "500");
    const DWORD started = GetTickCount();
    const CheckerRun run = RunChecker("/T 2 " + own + " \\\\hang-1 \\\\slow-1 " + own, kSlowNetwork);
    printf("  ended after %lu ms, with a limit of 2 s\n", GetTickCount() - started);
    CHECK(alone.exitCode == 0);
    CHECK(slow.exitCode == 3);
    CHECK(run.exitCode == 3);
    CHECK(run.out == alone.out + "unreadable: \\\\hang-1: no answer in 2 s\r\n" + slow.out + alone.out);
    CHECK(run.err == "4 computers: 2 current, 0 stale, 0 untouched, 2 unreadable\r\n");

    // On a console, while it waits for the one that never answers, a line
    // says so; by the end it is blanked, and the verdicts stand as above.
    std::string during;
    const char waiting[] = " of 3 computers; waiting for \\\\hang-1 (";
    const std::string screen = ScreenAfterChecker("/T 5 " + own + " \\\\hang-1 " + own, kSlowNetwork, waiting, &during);
    CHECK(Contains(during, waiting));
    CHECK(!Contains(screen, "Checked"));
    CHECK(Contains(screen, "unreadable: \\\\hang-1: no answer in 5 s"));
    CHECK(Contains(screen, "3 computers: 2 current, 0 stale, 0 untouched, 1 unreadable"));
}

// On a network of the case's own (on_loopback_network.sh), through real
// sockets: a computer whose packets are dropped is unreadable after the
// look's wait, in its place, its registry never asked; one that refuses
// the connection is on, so its 53 is its Remote Registry's; this one,
// which answers, gives the very lines it gives alone.
void CheckerOffTheNetwork()
{
    SeedProviders(kRealisticProviders);
    SetOrder(MultiString(kRealisticProviders));
    const std::string own = OwnComputer(false);
    const CheckerRun alone = RunChecker(own);
    const char off[] =
        ": no answer on TCP port 445 in %s s: switched off, or a firewall drops file and printer sharing";
    char offInTwo[sizeof off + 8];
    char offInFive[sizeof off + 8];
    snprintf(offInTwo, sizeof offInTwo, off, "2");
    snprintf(offInFive, sizeof offInFive, off, "5");

    const CheckerRun run = RunChecker("/T 2 \\\\off-1 " + own + " \\\\up-1 \\\\off-2");
    CHECK(alone.exitCode == 0);
    CHECK(run.exitCode == 3);
    CHECK(StartsWith(run.out, ("unreadable: \\\\off-1" + std::string(offInTwo) + "\r\n" + alone.out +
                               "unreadable: \\\\up-1: remote registry: error 53: ")
                                  .c_str()));
    CHECK(Contains(run.out, ". It answers, but its Remote Registry refused: /RR starts it\r\nunreadable: \\\\off-2" +
                                std::string(offInTwo) + "\r\n"));
    CHECK(run.err == "4 computers: 1 current, 0 stale, 0 untouched, 3 unreadable\r\n");

    // Without /T, the look's own wait; one computer alone, the same.
    const CheckerRun one = RunChecker("\\\\off-1");
    CHECK(one.exitCode == 3);
    CHECK(one.out == "unreadable: \\\\off-1" + std::string(offInFive) + "\r\n");
}

// Runs a command line of Wine's own programs and waits for it.
void RunWine(std::string commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &startup, &process)) {
        printf("  %s: CreateProcess failed: %lu\n", commandLine.c_str(), GetLastError());
        return;
    }
    CHECK(WaitForSingleObject(process.hProcess, kToolTimeoutMs) == WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

// The Print Spooler's state here.
DWORD SpoolerState()
{
    SERVICE_STATUS status = {};
    const SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    const SC_HANDLE spooler = manager != NULL ? OpenServiceA(manager, "Spooler", SERVICE_QUERY_STATUS) : NULL;
    if (spooler == NULL || !QueryServiceStatus(spooler, &status))
        printf("  the spooler's state cannot be read: %lu\n", GetLastError());
    if (spooler != NULL)
        CloseServiceHandle(spooler);
    if (manager != NULL)
        CloseServiceHandle(manager);
    return status.dwCurrentState;
}

// /F, through the network to this computer: a stale Order ends as the
// names it holds that are subkeys, in its order, spelled as the registry
// spells them, then the subkeys it left out in the registry's order; where
// it holds no names, as the very bytes the repair writes on the same
// registry. "repaired", 0. Nothing else is written, and a key that may be
// read but not written is left as it was, stale, 1. /R restarts the
// spooler, running or stopped.
void CheckerRepairs()
{
    const std::string own = OwnComputer(true);
    const std::string stale = MultiString({"Retired Provider", "LanMan Print Services"});
    const Names vendorFirst = {"Vendor Provider", "LanMan Print Services", "Internet Print Provider"};
    const struct {
        Names subkeys;
        std::string order;  // empty: absent
        Names after;        // none: as provider-order.exe writes it
        DWORD orderType = REG_MULTI_SZ;
    } staleRows[] = {
        {vendorFirst, MultiString({"vendor provider", "Retired Provider", "LanMan Print Services"}), vendorFirst},
        // A name twice is named once; a name after an empty string, not at all.
        {vendorFirst,
         std::string("LanMan Print Services\0LanMan Print Services\0\0Vendor Provider\0\0", 62),
         {"LanMan Print Services", "Internet Print Provider", "Vendor Provider"}},
        {kRealisticProviders, MultiString({"Stale"}), {}},
        {kRealisticProviders, std::string("LanMan Print Services\0", 22), {}, REG_SZ},
        {{"A", "B"}, std::string("A\0B\0", 4), {}},
        {{"Dr\u00fccker", "LanMan Print Services"}, "", {}},
        {NamesFilling(1024), MultiString({"Stale"}), {}},
    };
    for (const auto &row : staleRows) {
        SeedProviders(row.subkeys);
        ExpectQuietSuccess(RunTool(""));
        const std::string repaired = row.after.empty() ? ReadOrder() : MultiString(row.after);
        SeedProviders(row.subkeys);
        if (!row.order.empty())
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, kProviders, "Order", row.orderType, row.order.data(),
                            static_cast<DWORD>(row.order.size()));
        const CheckerRun run = RunChecker("/F " + own, kMayWrite);
        ExpectVerdict(run, 0, ("repaired: " + own + ": Order rewritten\r\nwas:").c_str());
        CHECK(ReadOrder() == repaired);
        ExpectVerdict(RunChecker(own), 0, "current");
    }

    // Current, in any order or letter case: neither written nor restarted.
    for (const std::string &current : {MultiString(kRealisticProviders), MultiString(vendorFirst),
                                       MultiString({"lanman print services", "INTERNET PRINT PROVIDER"})}) {
        SeedProviders(NamesOf(current).size() == 3 ? vendorFirst : kRealisticProviders);
        SetOrder(current);
        ExpectVerdict(RunChecker("/F /R " + own, kMayWrite), 0, ("current: " + own + ": ").c_str());
        CHECK(ReadOrder() == current);
    }

    // Not written: untouched, unreachable, and a key that refuses.
    const struct {
        Names subkeys;
        std::string tail;
        DWORD exitCode;
        const char *firstWords;
        bool readOnlyKey;
    } untouchedRows[] = {
        {kRealisticProviders, "/F \\\\no-such-computer", 3, "unreadable: \\\\no-such-computer: remote registry", false},
        {{}, "/F " + own, 2, "untouched: ", false},
        {{"A", "\u0394\u03c1\u03bf\u03bc\u03ad\u03b1\u03c2"}, "/F " + own, 2, "untouched: ", false},
        {kRealisticProviders, "/F " + own, 1, "stale: ", true},
        {kRealisticProviders, "/F", 1, "stale: not repaired (run it elevated): error 5: ", true},
    };
    for (const auto &row : untouchedRows) {
        SeedProviders(row.subkeys);
        SetOrder(stale);
        if (row.readOnlyKey)
            CHECK(SetProvidersAccess(KEY_READ | WRITE_DAC));
        const CheckerRun run = RunChecker(row.tail, kMayWrite);
        ExpectVerdict(run, row.exitCode, row.firstWords);
        CHECK(!row.readOnlyKey || Contains(run.out, "not repaired"));
        CHECK(ReadOrder() == stale);
        if (row.readOnlyKey)
            CHECK(SetProvidersAccess(KEY_ALL_ACCESS));
    }

    // /R: the spooler runs afterwards, whether it ran before or not; the
    // computer named, or listed.
    const struct {
        const char *spooler;
        std::string named;
    } restarts[] = {
        {"net.exe start spooler", own},
        {"net.exe stop spooler", "@\"" + WriteBeside("stale.txt", own + "\r\n") + "\""},
    };
    for (const auto &restart : restarts) {
        RunWine(restart.spooler);
        SeedProviders(kRealisticProviders);
        SetOrder(stale);
        const CheckerRun run = RunChecker("/F /R " + restart.named, kMayWrite);
        ExpectVerdict(run, 0, ("repaired: " + own + ": Order rewritten; spooler restarted\r\n").c_str());
        CHECK(SpoolerState() == SERVICE_RUNNING);
        CHECK(ReadOrder() == MultiString(kRealisticProviders));
    }
}

// The stand-in RemoteRegistry service's start type and state, or 0s where
// it is not installed.
struct ServiceAsFound {
    DWORD startType;
    DWORD state;
};

ServiceAsFound RemoteRegistryAsFound()
{
    ServiceAsFound found = {0, 0};
    const SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    const SC_HANDLE service =
        manager != NULL ? OpenServiceA(manager, "RemoteRegistry", SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS) : NULL;
    union {
        QUERY_SERVICE_CONFIGA config;
        char room[8192];
    } config;
    DWORD needed = 0;
    SERVICE_STATUS status = {};
    if (service != NULL && QueryServiceConfigA(service, &config.config, sizeof config, &needed) &&
        QueryServiceStatus(service, &status)) {
        found.startType = config.config.dwStartType;
        found.state = status.dwCurrentState;
    }
    if (service != NULL)
        CloseServiceHandle(service);
    if (manager != NULL)
        CloseServiceHandle(manager);
    return found;
}

// The stand-in installed with a start type, or removed (0).
bool InstallRemoteRegistry(DWORD startType)
{
    const SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (manager == NULL)
        return false;
    SC_HANDLE service = OpenServiceA(manager, "RemoteRegistry", SERVICE_ALL_ACCESS);
    if (service != NULL) {
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    service = NULL;
    if (startType != 0) {
        const std::string path = "\"" + OwnFolder() + "remote_registry_service.exe\"";
        service = CreateServiceA(manager, "RemoteRegistry", "Remote Registry (test stand-in)", SERVICE_ALL_ACCESS,
                                 SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_IGNORE, path.c_str(), NULL, NULL,
                                 NULL, NULL, NULL);
        if (service == NULL)
            printf("  CreateService failed: %lu\n", GetLastError());
        else
            CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return startType == 0 || service != NULL;
}

// /RR, through the stand-in for a slow network: "rr-client" answers 53
// until this prefix's stand-in RemoteRegistry runs. A disabled, stopped
// one is enabled and started for the check, which repairs the stale Order
// under /F, and ends disabled and stopped; a manual one ends manual.
void CheckerRemoteRegistry()
{
    const struct {
        DWORD startType;
        const char *tail;
        DWORD exitCode;
        const char *firstLine;
    } rows[] = {
        {SERVICE_DISABLED, "/RR /F \\\\rr-client", 0,
         "repaired: \\\\rr-client: Order rewritten; Remote Registry started for the check, then stopped and disabled "
         "again\r\n"},
        {SERVICE_DEMAND_START, "/RR \\\\rr-client", 1,
         "stale: \\\\rr-client: Order does not name every provider subkey once; Remote Registry started for the "
         "check, then stopped again\r\n"},
        {SERVICE_DISABLED, "\\\\rr-client", 3, "unreadable: \\\\rr-client: remote registry: error 53: "},
    };
    for (const auto &row : rows) {
        CHECK(InstallRemoteRegistry(row.startType));
        SeedProviders(kRealisticProviders);
        SetOrder(MultiString({"Retired Provider", "LanMan Print Services"}));
        const CheckerRun run = RunChecker(row.tail, kSlowNetworkMayWrite);
        ExpectVerdict(run, row.exitCode, row.firstLine);
        CHECK(ReadOrder() == MultiString(row.exitCode == 0 ? kRealisticProviders
                                                           : Names{"Retired Provider", "LanMan Print Services"}));
        const ServiceAsFound found = RemoteRegistryAsFound();
        if (found.startType != row.startType || found.state != SERVICE_STOPPED)
            printf("  left as start type %lu, state %lu\n", found.startType, found.state);
        CHECK(found.startType == row.startType);
        CHECK(found.state == SERVICE_STOPPED);
    }
    CHECK(InstallRemoteRegistry(0));
}

void ArgumentsChangeNothing()
{
    SeedProviders(kRealisticProviders);
    SetOrder(MultiString({"Stale"}));
    ExpectQuietSuccess(RunTool("1 2 3 4 5 6 7 8 9 10 11 12"));
    CHECK(ReadOrder() == MultiString(EnumeratedNames()));

    SetOrder(MultiString({"Stale"}));
    ExpectQuietSuccess(RunTool("\"" + std::string(6000, 'k') + "\" " + std::string(3000, 'x')));
    CHECK(ReadOrder() == MultiString(EnumeratedNames()));
}

const struct {
    const char *name;
    void (*run)();
} kCases[] = {
    {"stale-dropped-missing-added", StaleNamesDroppedAndMissingAdded},
    {"one-subkey", OneSubkeyIsThreeBytes},
    {"no-subkeys", NoSubkeysLeavesTheValueAsItWas},
    {"1024-byte-limit", ExactFitIsWrittenOneByteOverIsNot},
    {"missing-key", MissingKeyShowsTheBox},
    {"dacl-refuses-open", ARefusingDaclShowsTheBox},
    {"arguments-ignored", ArgumentsChangeNothing},
    {"names-outside-code-page", NamesOutsideTheCodePageLeaveOrderAsItWas},
    {"code-page-names-round-trip", CodePageNamesRoundTrip},
    {"checker-verdicts", CheckerVerdicts},
    {"checker-read-rights", CheckerNeedsOnlyReadRights},
    {"checker-usage", CheckerUsage},
    {"checker-agrees-with-repair", CheckerAgreesWithTheRepair},
    {"checker-fleet", CheckerFleet},
    {"checker-time-limit", CheckerTimeLimit},
    {"checker-repairs", CheckerRepairs},
    {"checker-remote-registry", CheckerRemoteRegistry},
    {"checker-off-the-network", CheckerOffTheNetwork},
};

}  // namespace

int main(int argc, char **argv)
{
    // Written as it is said, so that a case that dies part-way still shows
    // how far it got: a pipe would otherwise hold it in the buffer.
    setvbuf(stdout, NULL, _IONBF, 0);
    if (!RunningUnderWine()) {
        fprintf(stderr, "refusing to run: these cases rewrite HKLM and run only under Wine\n");
        return 2;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: provider_order_e2e CASE\n");
        return 2;
    }
    for (const auto &testCase : kCases) {
        if (strcmp(argv[1], testCase.name) == 0) {
            testCase.run();
            DeleteProviders();
            printf("%s: %s\n", testCase.name, g_failures ? "FAILED" : "passed");
            return g_failures ? 1 : 0;
        }
    }
    fprintf(stderr, "no such case: %s\n", argv[1]);
    return 2;
}
