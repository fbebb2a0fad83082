#include "remote_registry.h"

#include "service.h"

#include <string.h>

namespace {

const char kRemoteRegistryService[] = "RemoteRegistry";
const DWORD kLookRights = SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG;
// Its configuration and the strings after it; Remote Registry's take a few
// hundred bytes.
const DWORD kServiceConfigSize = 8192;
// How often a stop asked for looks whether every service is back.
const DWORD kPutBackPoll = 100;

// Set by the console's handler; read by every thread.
volatile LONG g_stopRequested = 0;
// Visits that have changed, or may yet change, a service and are not put
// back: counted before the stop is looked at, so that the handler either
// waits for a visit or the visit sees the stop.
volatile LONG g_visitsOpen = 0;

LONG Read(volatile LONG *value)
{
    return InterlockedCompareExchange(value, 0, 0);
}

// Whatever the event: Ctrl+C, Ctrl+Break, the console closing.
BOOL WINAPI OnConsoleControl(DWORD /*controlType*/)
{
    InterlockedExchange(&g_stopRequested, 1);
    while (Read(&g_visitsOpen) != 0)
        Sleep(kPutBackPoll);
    // Handled by the next handler, the system's, which ends the process.
    return FALSE;
}

// Asks for the right to change it only where it is changed.
LONG SetStartType(SC_HANDLE manager, DWORD startType)
{
    const SC_HANDLE service = OpenServiceA(manager, kRemoteRegistryService, SERVICE_CHANGE_CONFIG);
    if (service == NULL)
        return LastError();
    const LONG result = ChangeServiceConfigA(service, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, NULL, NULL, NULL,
                                             NULL, NULL, NULL, NULL)
                            ? ERROR_SUCCESS
                            : LastError();
    CloseServiceHandle(service);
    return result;
}

// The service as found: stopped, and its start type; else says why not.
LONG Inspect(SC_HANDLE service, DWORD *startType, Phrase *said)
{
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status))
        return LastError();
    // Only a stopped one is this run's to start, and so to stop again.
    if (status.dwCurrentState != SERVICE_STOPPED) {
        AddClause(said, status.dwCurrentState == SERVICE_RUNNING
                            ? "Remote Registry runs there: the network refuses the connection"
                            : "Remote Registry is starting or stopping there: left as it is");
        return ERROR_SERVICE_ALREADY_RUNNING;
    }
    QUERY_SERVICE_CONFIGA configs[kServiceConfigSize / sizeof(QUERY_SERVICE_CONFIGA)];
    DWORD needed = 0;
    if (!QueryServiceConfigA(service, configs, sizeof configs, &needed))
        return LastError();
    *startType = configs[0].dwStartType;
    return ERROR_SUCCESS;
}

void AddFailure(Phrase *said, const char *what, LONG error)
{
    AddClause(said, what);
    AddError(said, error);
}

}  // namespace

LONG StartRemoteRegistry(const char *computer, RemoteRegistryVisit *visit, Phrase *said)
{
    memset(visit, 0, sizeof *visit);
    const SC_HANDLE manager = OpenSCManagerA(computer, NULL, SC_MANAGER_CONNECT);
    if (manager == NULL) {
        const LONG error = LastError();
        AddFailure(said, "Its service manager did not answer either, so the computer was not reached: ", error);
        return error;
    }
    const SC_HANDLE service = OpenServiceA(manager, kRemoteRegistryService, kLookRights);
    LONG result = service != NULL ? Inspect(service, &visit->startType, said) : LastError();
    if (result == ERROR_SUCCESS) {
        InterlockedIncrement(&g_visitsOpen);
        visit->manager = manager;
        if (Read(&g_stopRequested) != 0) {
            AddClause(said, "Remote Registry not started: the run is stopping");
            result = ERROR_OPERATION_ABORTED;
        } else if (visit->startType == SERVICE_DISABLED) {
            result = SetStartType(manager, SERVICE_DEMAND_START);
            visit->enabled = result == ERROR_SUCCESS;
            if (result != ERROR_SUCCESS)
                AddFailure(said, "Remote Registry is disabled and could not be set to start: ", result);
        }
    } else if (result != ERROR_SERVICE_ALREADY_RUNNING) {
        AddFailure(said, "Remote Registry could not be started: ", result);
    }
    if (result == ERROR_SUCCESS) {
        visit->started = true;
        result = StartNamedService(manager, kRemoteRegistryService);
        visit->running = result == ERROR_SUCCESS;
        if (result != ERROR_SUCCESS)
            AddFailure(said, "Remote Registry could not be started: ", result);
    }
    if (service != NULL)
        CloseServiceHandle(service);
    if (visit->manager == NULL)
        CloseServiceHandle(manager);
    return result;
}

bool PutRemoteRegistryBack(RemoteRegistryVisit *visit, Phrase *said)
{
    // A start that did not end running may still be pending: stopped too.
    const LONG stopped = visit->started ? StopNamedService(visit->manager, kRemoteRegistryService) : ERROR_SUCCESS;
    const LONG restored = visit->enabled ? SetStartType(visit->manager, visit->startType) : ERROR_SUCCESS;
    if (stopped != ERROR_SUCCESS)
        AddFailure(said, "Remote Registry left running: ", stopped);
    if (restored != ERROR_SUCCESS)
        AddFailure(said, "Remote Registry left able to start, not disabled: ", restored);
    if (stopped == ERROR_SUCCESS && restored == ERROR_SUCCESS && visit->running)
        AddClause(said, visit->enabled ? "Remote Registry started for the check, then stopped and disabled again"
                                       : "Remote Registry started for the check, then stopped again");
    CloseServiceHandle(visit->manager);
    visit->manager = NULL;
    InterlockedDecrement(&g_visitsOpen);
    return stopped == ERROR_SUCCESS && restored == ERROR_SUCCESS;
}

void WatchForStop()
{
    InterlockedExchange(&g_stopRequested, 0);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

// A stop asked for ends with the run it stopped.
void StopWatching()
{
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    InterlockedExchange(&g_stopRequested, 0);
}

bool StopRequested()
{
    return Read(&g_stopRequested) != 0;
}
