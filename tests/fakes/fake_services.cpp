// A Service Control Manager as the checker's spooler restart relies on it:
// a service stops only once its active dependants have, answers for a
// state it is already in as Windows does, and each call is recorded.
#include "fake_platform.h"

#include <string.h>

#include <chrono>
#include <thread>

FakeServices g_services;

namespace {

SC_HANDLE const kManager = reinterpret_cast<SC_HANDLE>(static_cast<uintptr_t>(0x5C00));

struct ServiceHandle {
    std::string name;
    DWORD access;
};

ServiceHandle *Service(SC_HANDLE handle)
{
    return reinterpret_cast<ServiceHandle *>(handle);
}

BOOL Fail(LONG error)
{
    SetFakeLastError(static_cast<DWORD>(error));
    return 0;
}

bool Active(const FakeService &service)
{
    return service.state != SERVICE_STOPPED;
}

}  // namespace

void Sleep(DWORD milliseconds)
{
    SettleFakeThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR, DWORD)
{
    g_services.calls.push_back(std::string("OpenSCManagerA ") + (machineName != NULL ? machineName : "here"));
    if (g_services.managerResult != ERROR_SUCCESS) {
        Fail(g_services.managerResult);
        return NULL;
    }
    ++g_services.handlesOpen;
    return kManager;
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD access)
{
    if (manager != kManager) {
        Fail(ERROR_INVALID_HANDLE);
        return NULL;
    }
    if (g_services.services.count(serviceName) == 0) {
        Fail(ERROR_SERVICE_DOES_NOT_EXIST);
        return NULL;
    }
    ++g_services.handlesOpen;
    return reinterpret_cast<SC_HANDLE>(new ServiceHandle{serviceName, access});
}

BOOL CloseServiceHandle(SC_HANDLE service)
{
    --g_services.handlesOpen;
    if (service != kManager)
        delete Service(service);
    return 1;
}

BOOL QueryServiceStatus(SC_HANDLE handle, SERVICE_STATUS *status)
{
    ServiceHandle *const service = Service(handle);
    if (!(service->access & SERVICE_QUERY_STATUS))
        return Fail(ERROR_ACCESS_DENIED);
    FakeService &fake = g_services.services[service->name];
    if (fake.state == SERVICE_STOP_PENDING && fake.stopTakes > 0 && std::chrono::steady_clock::now() >= fake.stoppedAt)
        fake.state = SERVICE_STOPPED;
    if (fake.state == SERVICE_START_PENDING && fake.startSeenPending)
        fake.state = SERVICE_RUNNING;
    fake.startSeenPending = fake.state == SERVICE_START_PENDING;
    *status = SERVICE_STATUS();
    status->dwCurrentState = fake.state;
    status->dwWaitHint = fake.state == SERVICE_STOP_PENDING || fake.state == SERVICE_START_PENDING ? fake.waitHint : 0;
    return 1;
}

BOOL ControlService(SC_HANDLE handle, DWORD control, SERVICE_STATUS *status)
{
    ServiceHandle *const service = Service(handle);
    FakeService &fake = g_services.services[service->name];
    if (!(service->access & SERVICE_STOP) || control != SERVICE_CONTROL_STOP)
        return Fail(ERROR_ACCESS_DENIED);
    g_services.calls.push_back("stop " + service->name);
    if (fake.stopFailure != ERROR_SUCCESS)
        return Fail(fake.stopFailure);
    if (fake.stopsByItself)
        fake.state = SERVICE_STOPPED;
    if (!Active(fake))
        return Fail(ERROR_SERVICE_NOT_ACTIVE);
    for (const std::string &dependant : fake.dependants) {
        if (Active(g_services.services[dependant]))
            return Fail(ERROR_DEPENDENT_SERVICES_RUNNING);
    }
    fake.state = fake.staysStopPending || fake.stopTakes > 0 ? SERVICE_STOP_PENDING : SERVICE_STOPPED;
    fake.stoppedAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(fake.stopTakes);
    *status = SERVICE_STATUS();
    status->dwCurrentState = fake.state;
    return 1;
}

BOOL StartServiceA(SC_HANDLE handle, DWORD, LPCSTR *)
{
    ServiceHandle *const service = Service(handle);
    FakeService &fake = g_services.services[service->name];
    if (!(service->access & SERVICE_START))
        return Fail(ERROR_ACCESS_DENIED);
    g_services.calls.push_back("start " + service->name);
    if (fake.startFailure != ERROR_SUCCESS)
        return Fail(fake.startFailure);
    if (fake.startType == SERVICE_DISABLED)
        return Fail(ERROR_SERVICE_DISABLED);
    if (Active(fake))
        return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    fake.state = SERVICE_START_PENDING;
    fake.startSeenPending = false;
    return 1;
}

BOOL QueryServiceConfigA(SC_HANDLE handle, QUERY_SERVICE_CONFIGA *config, DWORD size, LPDWORD needed)
{
    ServiceHandle *const service = Service(handle);
    if (!(service->access & SERVICE_QUERY_CONFIG))
        return Fail(ERROR_ACCESS_DENIED);
    // Its strings follow it in the same buffer, and need room there too.
    static const char kBinaryPath[] = "C:\\Windows\\system32\\svchost.exe -k localService -p";
    static const char kDependencies[] = "RPCSS\0";
    static const char kStartName[] = "NT AUTHORITY\\LocalService";
    *needed = static_cast<DWORD>(sizeof *config + sizeof kBinaryPath + 1 + sizeof kDependencies + sizeof kStartName +
                                 service->name.size() + 1);
    if (size < *needed)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    *config = QUERY_SERVICE_CONFIGA();
    config->dwStartType = g_services.services[service->name].startType;
    char *strings = reinterpret_cast<char *>(config + 1);
    const auto place = [&strings](const char *text, size_t length) {
        memcpy(strings, text, length);
        char *const placed = strings;
        strings += length;
        return placed;
    };
    config->lpBinaryPathName = place(kBinaryPath, sizeof kBinaryPath);
    config->lpLoadOrderGroup = place("", 1);
    config->lpDependencies = place(kDependencies, sizeof kDependencies);
    config->lpServiceStartName = place(kStartName, sizeof kStartName);
    config->lpDisplayName = place(service->name.c_str(), service->name.size() + 1);
    return 1;
}

BOOL ChangeServiceConfigA(SC_HANDLE handle, DWORD serviceType, DWORD startType, DWORD errorControl,
                          LPCSTR binaryPathName, LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies,
                          LPCSTR serviceStartName, LPCSTR password, LPCSTR displayName)
{
    ServiceHandle *const service = Service(handle);
    FakeService &fake = g_services.services[service->name];
    if (!(service->access & SERVICE_CHANGE_CONFIG))
        return Fail(ERROR_ACCESS_DENIED);
    // Only the start type is ever asked to change.
    if (serviceType != SERVICE_NO_CHANGE || errorControl != SERVICE_NO_CHANGE || binaryPathName != NULL ||
        loadOrderGroup != NULL || tagId != NULL || dependencies != NULL || serviceStartName != NULL ||
        password != NULL || displayName != NULL)
        return Fail(ERROR_INVALID_PARAMETER);
    g_services.calls.push_back("config " + service->name + " " + std::to_string(startType));
    if (fake.changesAllowed == 0)
        return Fail(ERROR_ACCESS_DENIED);
    if (fake.changesAllowed > 0)
        --fake.changesAllowed;
    fake.startType = startType;
    return 1;
}

BOOL EnumDependentServicesA(SC_HANDLE handle, DWORD state, ENUM_SERVICE_STATUSA *services, DWORD size, LPDWORD needed,
                            LPDWORD returned)
{
    ServiceHandle *const service = Service(handle);
    if (!(service->access & SERVICE_ENUMERATE_DEPENDENTS) || state != SERVICE_ACTIVE)
        return Fail(ERROR_ACCESS_DENIED);
    std::vector<std::string> active;
    DWORD bytes = 0;
    for (const std::string &dependant : g_services.services[service->name].dependants) {
        if (Active(g_services.services[dependant])) {
            active.push_back(dependant);
            bytes += static_cast<DWORD>(sizeof(ENUM_SERVICE_STATUSA) + dependant.size() + 1);
        }
    }
    *needed = bytes;
    *returned = 0;
    if (bytes > size)
        return Fail(ERROR_MORE_DATA);
    // The names follow the records, in the same buffer.
    char *name = reinterpret_cast<char *>(services + active.size());
    for (const std::string &dependant : active) {
        memcpy(name, dependant.c_str(), dependant.size() + 1);
        services[*returned] = ENUM_SERVICE_STATUSA();
        services[*returned].lpServiceName = name;
        services[*returned].lpDisplayName = name;
        services[*returned].ServiceStatus.dwCurrentState = g_services.services[dependant].state;
        name += dependant.size() + 1;
        ++*returned;
    }
    return 1;
}
