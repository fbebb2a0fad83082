#include "fake_platform.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <mutex>
#include <shared_mutex>
#include <thread>

FakeRegistry g_registry;
FakeModule g_module;
std::vector<ShownMessageBox> g_messageBoxes;
FakeConsole g_console;
int g_messageBoxResult = 1;
bool g_doubleByteCodePage = false;

static HKEY const kProvidersKey = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5150));
static HKEY const kRemoteRoot = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x6000));

namespace {

std::thread::id g_testThread;
std::shared_mutex g_valueLock;
thread_local std::vector<std::string> t_workerCalls;
std::mutex g_workerCallsLock;

// A call, in the order it was made: on the test's thread into calls; on
// another into that thread's own list, without a lock that would order
// the threads' checks one after another.
bool OnTestThread()
{
    return std::this_thread::get_id() == g_testThread;
}

void Record(const std::string &call)
{
    if (OnTestThread())
        g_registry.calls.push_back(call);
    else
        t_workerCalls.push_back(call);
}

}  // namespace

void FlushFakeWorkerCalls()
{
    std::lock_guard<std::mutex> guard(g_workerCallsLock);
    g_registry.workerCalls.insert(g_registry.workerCalls.end(), t_workerCalls.begin(), t_workerCalls.end());
    t_workerCalls.clear();
}

void ResetFakePlatform()
{
    ResetFakeKernel();
    g_testThread = std::this_thread::get_id();
    g_registry = FakeRegistry();
    g_module = FakeModule();
    g_messageBoxes.clear();
    g_messageBoxResult = 1;
    g_doubleByteCodePage = false;
    g_console = FakeConsole();
}

BOOL IsDBCSLeadByte(BYTE testChar)
{
    return g_doubleByteCodePage && ((testChar >= 0x81 && testChar <= 0x9F) || (testChar >= 0xE0 && testChar <= 0xFC));
}

// Subkey handles follow the providers key's, one per subkey index.
static HKEY SubkeyHandle(size_t index)
{
    return reinterpret_cast<HKEY>(reinterpret_cast<uintptr_t>(kProvidersKey) + 1 + index);
}

static bool IsSubkeyHandle(HKEY key)
{
    const uintptr_t offset = reinterpret_cast<uintptr_t>(key) - reinterpret_cast<uintptr_t>(kProvidersKey);
    return offset >= 1 && offset <= g_registry.subkeys.size();
}

bool SameRegistryName(const std::string &left, const std::string &right)
{
    if (left.size() != right.size())
        return false;
    for (size_t at = 0; at < left.size(); ++at) {
        const BYTE byte = static_cast<BYTE>(left[at]);
        // A double-byte letter is one character: its trail byte is no ASCII
        // letter, so it compares exactly.
        if (IsDBCSLeadByte(byte) && at + 1 < left.size()) {
            if (left.compare(at, 2, right, at, 2) != 0)
                return false;
            ++at;
        } else if (tolower(byte) != tolower(static_cast<unsigned char>(right[at]))) {
            return false;
        }
    }
    return true;
}

static LONG OpenSubkey(const char *name, REGSAM access, PHKEY result)
{
    Record(std::string("RegOpenKeyExA ") + name);
    if (OnTestThread())
        g_registry.subkeyAccess.push_back(access);
    const auto failure = g_registry.subkeyOpenFailures.find(name);
    if (failure != g_registry.subkeyOpenFailures.end())
        return failure->second;
    for (size_t index = 0; index < g_registry.subkeys.size(); ++index) {
        if (SameRegistryName(g_registry.subkeys[index], name)) {
            __atomic_add_fetch(&g_registry.keysOpen, 1, __ATOMIC_RELAXED);
            *result = SubkeyHandle(index);
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

static HMODULE const kKernel32 = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7C800000));

static BOOL WINAPI FakeSetDefaultDllDirectories(DWORD directoryFlags)
{
    char call[64];
    snprintf(call, sizeof call, "SetDefaultDllDirectories 0x%X", directoryFlags);
    g_module.calls.push_back(call);
    return 1;
}

HMODULE GetModuleHandleA(LPCSTR moduleName)
{
    g_module.calls.push_back(std::string("GetModuleHandleA ") + moduleName);
    return strcasecmp(moduleName, "kernel32.dll") == 0 ? kKernel32 : NULL;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName)
{
    g_module.calls.push_back(std::string("GetProcAddress ") + procName);
    if (module != kKernel32 || strcmp(procName, "SetDefaultDllDirectories") != 0 ||
        !g_module.hasSetDefaultDllDirectories)
        return NULL;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(FakeSetDefaultDllDirectories));
}

DWORD GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size)
{
    g_module.calls.push_back("GetModuleFileNameA");
    if (g_module.fails) {
        memset(fileName, 0xBD, size);  // the platform promises nothing here
        return 0;
    }
    const DWORD length = static_cast<DWORD>(g_module.path.size());
    if (length < size) {
        memcpy(fileName, g_module.path.c_str(), length + 1);
        return length;
    }
    memcpy(fileName, g_module.path.c_str(), size);
    if (!g_module.unterminatedWhenFull)
        fileName[size - 1] = '\0';
    return size;
}

LONG RegConnectRegistryA(LPCSTR machineName, HKEY key, PHKEY result)
{
    Record(std::string("RegConnectRegistryA ") + machineName);
    if (key != HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    if (g_registry.whileConnecting)
        g_registry.whileConnecting(machineName);
    const auto delay = g_registry.connectDelays.find(machineName);
    // Sleep as the fakes have it: a thread that waits lets its starter go on.
    if (delay != g_registry.connectDelays.end())
        Sleep(static_cast<DWORD>(delay->second));
    if (g_registry.hangingComputers.count(machineName) != 0)
        HangUntilReleased();
    const auto failure = g_registry.connectFailures.find(machineName);
    if (failure != g_registry.connectFailures.end())
        return failure->second;
    if (g_registry.behindRemoteRegistry.count(machineName) != 0) {
        const auto service = g_services.services.find("RemoteRegistry");
        if (service == g_services.services.end() || service->second.state != SERVICE_RUNNING)
            return ERROR_BAD_NETPATH;
    }
    __atomic_add_fetch(&g_registry.keysOpen, 1, __ATOMIC_RELAXED);
    *result = kRemoteRoot;
    return ERROR_SUCCESS;
}

// The providers key of this computer's registry, or of the one connected to.
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    if (key == kProvidersKey)
        return OpenSubkey(subKey, access, result);
    Record(key == kRemoteRoot ? "RegOpenKeyExA remote" : "RegOpenKeyExA");
    if (OnTestThread()) {
        g_registry.openedRoot = key;
        g_registry.openedPath = subKey;
        g_registry.openedAccess = access;
    }
    if (g_registry.openResult != ERROR_SUCCESS)
        return g_registry.openResult;
    if ((access & KEY_SET_VALUE) && g_registry.writeOpenResult != ERROR_SUCCESS)
        return g_registry.writeOpenResult;
    __atomic_add_fetch(&g_registry.keysOpen, 1, __ATOMIC_RELAXED);
    *result = kProvidersKey;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR, LPDWORD, void *)
{
    Record("RegEnumKeyExA");
    if (key != kProvidersKey)
        return ERROR_INVALID_HANDLE;
    const auto failure = g_registry.enumerationFailures.find(index);
    if (failure != g_registry.enumerationFailures.end())
        return failure->second;
    if (index >= g_registry.subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    if (index == g_registry.lengthOverstatedAt)
        return ERROR_SUCCESS;  // *nameLength left as the room it was given
    const std::string &subkey = g_registry.subkeys[index];
    if (subkey.size() + 1 > *nameLength)
        return ERROR_MORE_DATA;
    memcpy(name, subkey.c_str(), subkey.size() + 1);
    *nameLength = static_cast<DWORD>(subkey.size());
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, BYTE *data, LPDWORD size)
{
    Record(std::string("RegQueryValueExA ") + valueName);
    if (key != kProvidersKey)
        return ERROR_INVALID_HANDLE;
    if (g_registry.queryResult != ERROR_SUCCESS)
        return g_registry.queryResult;
    // Shared: reads order nothing among themselves.
    const std::shared_lock<std::shared_mutex> guard(g_valueLock);
    if (!g_registry.hasOrder || strcmp(valueName, "Order") != 0)
        return ERROR_FILE_NOT_FOUND;
    if (type != NULL)
        *type = g_registry.orderType;
    const DWORD needed = static_cast<DWORD>(g_registry.order.size());
    if (data != NULL && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    // The platform promises nothing past the data: not even a NUL.
    if (data != NULL) {
        memset(data, 0xBD, *size);
        memcpy(data, g_registry.order.data(), needed);
    }
    *size = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE *data, DWORD size)
{
    Record("RegSetValueExA");
    if (key != kProvidersKey)
        return ERROR_INVALID_HANDLE;
    if (g_registry.setValueResult != ERROR_SUCCESS)
        return g_registry.setValueResult;
    if (g_registry.setValueDelay != 0)
        Sleep(static_cast<DWORD>(g_registry.setValueDelay));
    // The value is one for every thread: a write orders the reads after it.
    const std::lock_guard<std::shared_mutex> guard(g_valueLock);
    ++g_registry.writes;
    g_registry.written = true;
    g_registry.writtenName = valueName;
    g_registry.writtenType = type;
    g_registry.writtenBytes.assign(reinterpret_cast<const char *>(data), size);
    g_registry.hasOrder = true;
    g_registry.orderType = g_registry.keptAsString ? REG_SZ : type;
    g_registry.order = g_registry.keptInstead.empty() ? g_registry.writtenBytes : g_registry.keptInstead;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (key == kRemoteRoot) {
        Record("RegCloseKey remote");
        __atomic_sub_fetch(&g_registry.keysOpen, 1, __ATOMIC_RELAXED);
        return ERROR_SUCCESS;
    }
    if (IsSubkeyHandle(key)) {
        const size_t index = reinterpret_cast<uintptr_t>(key) - reinterpret_cast<uintptr_t>(kProvidersKey) - 1;
        Record("RegCloseKey " + g_registry.subkeys[index]);
        __atomic_sub_fetch(&g_registry.keysOpen, 1, __ATOMIC_RELAXED);
        return ERROR_SUCCESS;
    }
    Record("RegCloseKey");
    if (key != kProvidersKey)
        return ERROR_INVALID_HANDLE;
    __atomic_sub_fetch(&g_registry.keysOpen, 1, __ATOMIC_RELAXED);
    return g_registry.closeResult;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    g_messageBoxes.push_back({owner, text, caption, type});
    return g_messageBoxResult;
}
