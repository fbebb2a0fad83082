#include "spooler.h"

#include "service.h"

namespace {

const char kSpoolerService[] = "Spooler";

// Room for the active services that depend on the spooler, their names
// included: a print server has a handful (Fax, LPD Service, ...).
const DWORD kDependantsSize = 8192;

// Starts the first count dependants again, in the order they start: the
// reverse of the order they are listed and stopped in. Returns the first
// failure, or result.
LONG StartAgain(SC_HANDLE manager, const ENUM_SERVICE_STATUSA *dependants, DWORD count, LONG result)
{
    while (count > 0) {
        const LONG started = StartNamedService(manager, dependants[--count].lpServiceName);
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
        return StartNamedService(manager, kSpoolerService);

    // Listed so that each can be stopped before those it depends on.
    ENUM_SERVICE_STATUSA dependants[kDependantsSize / sizeof(ENUM_SERVICE_STATUSA)];
    DWORD needed = 0;
    DWORD count = 0;
    if (!EnumDependentServicesA(spooler, SERVICE_ACTIVE, dependants, sizeof dependants, &needed, &count))
        return LastError();
    for (DWORD stopped = 0; stopped < count; ++stopped) {
        const LONG result = StopNamedService(manager, dependants[stopped].lpServiceName);
        if (result != ERROR_SUCCESS)
            return StartAgain(manager, dependants, stopped, result);
    }
    LONG result = StopNamedService(manager, kSpoolerService);
    if (result == ERROR_SUCCESS)
        result = StartNamedService(manager, kSpoolerService);
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
