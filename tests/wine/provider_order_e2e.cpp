// End-to-end cases for provider-order.exe on Wine's real registry and window
// manager: seeds the providers key, starts the tool, watches for its message
// box, and reads the value back. It rewrites HKLM, so it refuses to run
// anywhere but under Wine.
//
//   provider_order_e2e.exe CASE     runs one case; exit code 0 when it passed
#include <windows.h>

#include "../common/multi_string.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kProviders[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Providers";
const char kBoxText[] = "Can't Enumerate Registry for Print Providers";
const char kBoxCaption[] = "info";
const DWORD kToolTimeoutMs = 30000;

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

std::wstring Wide(const std::string &utf8)
{
    wchar_t text[MAX_PATH] = L"";
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text, MAX_PATH);
    return text;
}

std::string Utf8(const wchar_t *text, int length)
{
    char bytes[4 * 1024];
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, sizeof bytes, NULL, NULL);
    return std::string(bytes, size > 0 ? static_cast<size_t>(size) : 0);
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

// The subkey names in the order the registry itself enumerates them.
Names EnumeratedNames()
{
    Names names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviders, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[MAX_PATH];
    DWORD length = sizeof name;
    for (DWORD i = 0; RegEnumKeyExA(key, i, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS; ++i) {
        names.push_back(std::string(name, length));
        length = sizeof name;
    }
    RegCloseKey(key);
    return names;
}

// The subkey names and the Order value as the wide calls see them, in UTF-8.
Names EnumeratedWideNames()
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
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof path);
    char *slash = strrchr(path, '\\');
    strcpy(slash + 1, "provider-order.exe");

    std::string commandLine = std::string("\"") + path + "\"" + (tail.empty() ? "" : " " + tail);
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');

    ToolRun run;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path, &writable[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
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
            WaitForSingleObject(process.hProcess, INFINITE);
            break;
        }
    }
    run.finished = GetExitCodeProcess(process.hProcess, &run.exitCode) && run.exitCode != 99;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
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
    const Names names = EnumeratedWideNames();
    CHECK(names.size() == 3);
    CHECK(ReadWideOrder() == MultiString(names));
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
};

}  // namespace

int main(int argc, char **argv)
{
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
