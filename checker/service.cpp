#include "service.h"

namespace {

// A service given this long for a stop or a start, whatever its wait hints
// say; net stop gives up sooner. Between looks, a tenth of its wait hint,
// as Windows' own sample waits, within these bounds.
const DWORD kLongestWait = 60000;
const DWORD kShortestPoll = 100;
const DWORD kLongestPoll = 1000;
const DWORD kPollsPerWaitHint = 10;

}  // namespace

LONG LastError()
{
    return static_cast<LONG>(GetLastError());
}

LONG WaitForService(SC_HANDLE service, DWORD pending, DWORD wanted)
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

LONG StopNamedService(SC_HANDLE manager, const char *name)
{
    const SC_HANDLE service = OpenServiceA(manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (service == NULL)
        return LastError();
    SERVICE_STATUS status;
    LONG result = ControlService(service, SERVICE_CONTROL_STOP, &status)
                      ? WaitForService(service, SERVICE_STOP_PENDING, SERVICE_STOPPED)
                      : LastError();
    if (result == ERROR_SERVICE_NOT_ACTIVE)
        result = ERROR_SUCCESS;
    CloseServiceHandle(service);
    return result;
}

LONG StartNamedService(SC_HANDLE manager, const char *name)
{
    const SC_HANDLE service = OpenServiceA(manager, name, SERVICE_START | SERVICE_QUERY_STATUS);
    if (service == NULL)
        return LastError();
    LONG result =
        StartServiceA(service, 0, NULL) ? WaitForService(service, SERVICE_START_PENDING, SERVICE_RUNNING) : LastError();
    if (result == ERROR_SERVICE_ALREADY_RUNNING)
        result = ERROR_SUCCESS;
    CloseServiceHandle(service);
    return result;
}
