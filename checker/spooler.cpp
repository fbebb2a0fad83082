#include "spooler.h"

namespace {

const char kSpoolerService[] = "Spooler";

// A service given this long for a stop or a start, whatever its wait hints
// say; net stop gives up sooner. Between looks, a tenth of its wait hint,
// as Windows' own sample waits, within these bounds.
const DWORD kLongestWait = 60000;
const DWORD kShortestPoll = 100;
const DWORD kLongestPoll = 1000;
const DWORD kPollsPerWaitHint = 10;

// Room for the active services that depend on the spooler, their names
// included: a print server has a handful (Fax, LPD Service, ...).
const DWORD kDependantsSize = 8192;

LONG LastError()
{
    return static_cast<LONG>(GetLastError());
}

// Waits while the service is pending and moving: its check point goes up
// within its wait hint. ERROR_SUCCESS once it is in the wanted state.
LONG WaitFor(SC_HANDLE service, DWORD pending, DWORD wanted)
{
    const DWORD begun = GetTickCount();
    DWORD moved = begun;
    DWORD checkPoint = 0;
    for (;;) {
        SERVICE_STATUS status;
        if (!QueryServiceStatus(service, &status))
            return LastError();
        if (status.dwCurrentState == wanted)
            return ERROR_SUCCESS;
        // A start that ended stopped says why in its exit code.
        if (status.dwCurrentState != pending)
            return status.dwWin32ExitCode != ERROR_SUCCESS ? static_cast<LONG>(status.dwWin32ExitCode)
                                                           : ERROR_SERVICE_REQUEST_TIMEOUT;
        const DWORD now = GetTickCount();
        // Given up on a poll past its wait hint, reckoned so that a hint
        // near 2^32 cannot wrap the sum.
        const DWORD still = now - moved;
        if (status.dwCheckPoint != checkPoint) {
            checkPoint = status.dwCheckPoint;
            moved = now;
        } else if ((still > kLongestPoll && still - kLongestPoll > status.dwWaitHint) || now - begun > kLongestWait) {
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        }
        DWORD poll = status.dwWaitHint / kPollsPerWaitHint;
        poll = poll < kShortestPoll ? kShortestPoll : poll > kLongestPoll ? kLongestPoll : poll;
        Sleep(poll);
    }
}

LONG Stop(SC_HANDLE manager, const char *name)
{
    const SC_HANDLE service = OpenServiceA(manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (service == NULL)
        return LastError();
    SERVICE_STATUS status;
    LONG result = ControlService(service, SERVICE_CONTROL_STOP, &status)
                      ? WaitFor(service, SERVICE_STOP_PENDING, SERVICE_STOPPED)
                      : LastError();
    if (result == ERROR_SERVICE_NOT_ACTIVE)
        result = ERROR_SUCCESS;
    CloseServiceHandle(service);
    return result;
}

LONG Start(SC_HANDLE manager, const char *name)
{
    const SC_HANDLE service = OpenServiceA(manager, name, SERVICE_START | SERVICE_QUERY_STATUS);
    if (service == NULL)
        return LastError();
    LONG result =
        StartServiceA(service, 0, NULL) ? WaitFor(service, SERVICE_START_PENDING, SERVICE_RUNNING) : LastError();
    if (result == ERROR_SERVICE_ALREADY_RUNNING)
        result = ERROR_SUCCESS;
    CloseServiceHandle(service);
    return result;
}

// Starts the first count dependants again, in the order they start: the
// reverse of the order they are listed and stopped in. Returns the first
// failure, or result.
LONG StartAgain(SC_HANDLE manager, const ENUM_SERVICE_STATUSA *dependants, DWORD count, LONG result)
{
    while (count > 0) {
        const LONG started = Start(manager, dependants[--count].lpServiceName);
        if (result == ERROR_SUCCESS)
            result = started;
    }
    return result;
}

// The spooler's manager and service open: stop what runs, start again.
LONG Restart(SC_HANDLE manager, SC_HANDLE spooler)
{
    SERVICE_STATUS status;
    if (!QueryServiceStatus(spooler, &status))
        return LastError();
    if (status.dwCurrentState == SERVICE_STOPPED)
        return Start(manager, kSpoolerService);

    // Listed so that each can be stopped before those it depends on.
    ENUM_SERVICE_STATUSA dependants[kDependantsSize / sizeof(ENUM_SERVICE_STATUSA)];
    DWORD needed = 0;
    DWORD count = 0;
    if (!EnumDependentServicesA(spooler, SERVICE_ACTIVE, dependants, sizeof dependants, &needed, &count))
        return LastError();
    for (DWORD stopped = 0; stopped < count; ++stopped) {
        const LONG result = Stop(manager, dependants[stopped].lpServiceName);
        if (result != ERROR_SUCCESS)
            return StartAgain(manager, dependants, stopped, result);
    }
    LONG result = Stop(manager, kSpoolerService);
    if (result == ERROR_SUCCESS)
        result = Start(manager, kSpoolerService);
    // A spooler that did not stop still runs; one that did not start leaves
    // its dependants unable to.
    return StartAgain(manager, dependants, count, result);
}

}  // namespace

LONG RestartSpooler(const char *computer)
{
    const SC_HANDLE manager = OpenSCManagerA(computer, NULL, SC_MANAGER_CONNECT);
    if (manager == NULL)
        return LastError();
    const SC_HANDLE spooler =
        OpenServiceA(manager, kSpoolerService, SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS);
    LONG result = spooler != NULL ? Restart(manager, spooler) : LastError();
    if (spooler != NULL)
        CloseServiceHandle(spooler);
    CloseServiceHandle(manager);
    return result;
}
