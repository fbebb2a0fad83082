// A stand-in for a slow network, for the checker under Wine, which answers
// RegConnectRegistryA at once for every name. Loaded into the checker before
// it starts (with_slow_network.exe), it patches the checker's own import of
// that call so that a computer named "slow-..." answers 53, the network path
// not found, only after SLOW_NETWORK_MS milliseconds (2000 unless set), and
// one named "hang-..." never answers. One named "rr-..." is a computer
// whose Remote Registry is this prefix's RemoteRegistry service (the tests'
// stand-in): 53 while it does not run, this prefix's registry while it
// does. Every other name goes to Wine's own.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

namespace {

typedef LONG(WINAPI *ConnectCall)(LPCSTR machineName, HKEY key, PHKEY result);

ConnectCall g_connect = NULL;
DWORD g_slowMilliseconds = 2000;

bool Named(const char *computer, const char *prefix)
{
    while (*computer == '\\')
        ++computer;
    return _strnicmp(computer, prefix, strlen(prefix)) == 0;
}

bool RemoteRegistryRuns()
{
    SERVICE_STATUS status = {};
    const SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    const SC_HANDLE service = manager != NULL ? OpenServiceA(manager, "RemoteRegistry", SERVICE_QUERY_STATUS) : NULL;
    const bool runs =
        service != NULL && QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
    if (service != NULL)
        CloseServiceHandle(service);
    if (manager != NULL)
        CloseServiceHandle(manager);
    return runs;
}

LONG WINAPI SlowConnect(LPCSTR machineName, HKEY key, PHKEY result)
{
    if (machineName != NULL && Named(machineName, "rr-"))
        return RemoteRegistryRuns() ? g_connect(NULL, key, result) : ERROR_BAD_NETPATH;
    if (machineName != NULL && Named(machineName, "hang-"))
        Sleep(INFINITE);
    if (machineName != NULL && Named(machineName, "slow-")) {
        Sleep(g_slowMilliseconds);
        return ERROR_BAD_NETPATH;
    }
    return g_connect(machineName, key, result);
}

// The program's import address table entry for advapi32's
// RegConnectRegistryA, which its calls go through.
ULONG_PTR *ConnectImport(BYTE *image)
{
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(image);
    const IMAGE_NT_HEADERS *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(image + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (const IMAGE_IMPORT_DESCRIPTOR *dll =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(image + directory.VirtualAddress);
         dll->Name != 0; ++dll) {
        if (_stricmp(reinterpret_cast<const char *>(image + dll->Name), "advapi32.dll") != 0)
            continue;
        const IMAGE_THUNK_DATA *name = reinterpret_cast<const IMAGE_THUNK_DATA *>(image + dll->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slot = reinterpret_cast<IMAGE_THUNK_DATA *>(image + dll->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME *byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(image + name->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char *>(byName->Name), "RegConnectRegistryA") == 0)
                return reinterpret_cast<ULONG_PTR *>(&slot->u1.Function);
        }
    }
    return NULL;
}

bool Patch()
{
    const char *milliseconds = getenv("SLOW_NETWORK_MS");
    if (milliseconds != NULL)
        g_slowMilliseconds = static_cast<DWORD>(strtoul(milliseconds, NULL, 10));
    ULONG_PTR *const import = ConnectImport(reinterpret_cast<BYTE *>(GetModuleHandleA(NULL)));
    DWORD protection = 0;
    if (import == NULL || !VirtualProtect(import, sizeof *import, PAGE_READWRITE, &protection))
        return false;
    g_connect = reinterpret_cast<ConnectCall>(*import);
    *import = reinterpret_cast<ULONG_PTR>(SlowConnect);
    VirtualProtect(import, sizeof *import, protection, &protection);
    return true;
}

}  // namespace

// Loading fails where there is nothing to patch, so that the launcher says so.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    return reason != DLL_PROCESS_ATTACH || Patch();
}
