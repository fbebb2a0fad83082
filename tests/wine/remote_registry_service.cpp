// A stand-in for Windows' Remote Registry service, which Wine lacks: a
// service named RemoteRegistry that runs until it is told to stop. The
// Remote Registry case installs it in the test prefix (disabled, as Windows
// 10 and 11 ship it), and the stand-in for a slow network lets "rr-..."
// computers reach this prefix's registry only while it runs.
#include <windows.h>

namespace {

char g_name[] = "RemoteRegistry";
SERVICE_STATUS_HANDLE g_statusHandle = NULL;
HANDLE g_stop = NULL;

void Report(DWORD state)
{
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void *, void *)
{
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(g_stop);
        return NO_ERROR;
    }
    return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD, LPSTR *)
{
    g_statusHandle = RegisterServiceCtrlHandlerExA(g_name, OnControl, NULL);
    if (g_statusHandle == NULL)
        return;
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_stop, INFINITE);
    Report(SERVICE_STOPPED);
}

}  // namespace

int main()
{
    g_stop = CreateEventA(NULL, TRUE, FALSE, NULL);
    SERVICE_TABLE_ENTRYA table[] = {{g_name, ServiceMain}, {NULL, NULL}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
