// Stopping, starting and waiting for a computer's services, through its
// Service Control Manager: the spooler's restart and Remote Registry's
// visit are two users of one way to do it.
#ifndef PROVIDER_ORDER_CHECKER_SERVICE_H
#define PROVIDER_ORDER_CHECKER_SERVICE_H

#include <windows.h>

// GetLastError, as the registry's calls give their errors.
LONG LastError();

// Waits while the service (opened with SERVICE_QUERY_STATUS) is pending and
// moving: its check point goes up within its wait hint, for a minute at
// most. ERROR_SUCCESS once it is in the wanted state.
LONG WaitForService(SC_HANDLE service, DWORD pending, DWORD wanted);

// The named service stopped, or started, and waited for. One already in
// that state counts as done: it may have got there by itself meanwhile.
LONG StopNamedService(SC_HANDLE manager, const char *name);
LONG StartNamedService(SC_HANDLE manager, const char *name);

#endif
