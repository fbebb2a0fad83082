// The application shell's contract with its one task, and the shell's own
// routines that the entry links together.
#ifndef PROVIDER_ORDER_SHELL_SHELL_H
#define PROVIDER_ORDER_SHELL_SHELL_H

#include <windows.h>

// Sent to each top-level window above a message's window before the message
// is translated and dispatched; wParam is 0, lParam the MSG's address. A
// non-zero answer means the window has taken the message.
const UINT WM_PRETRANSLATEMSG = WM_USER + 117;

// The task entry, defined by the task. It may return (the shell then runs the
// message loop) or end the process itself.
int TaskMain(int argc, char **argv);

struct AppStartupStateRecord {
    HINSTANCE hInstance;
    HINSTANCE hPrevInstance;
    int nCmdShow;
};

// Written once by WinMain before the task runs; read-only afterwards.
extern AppStartupStateRecord AppStartupState;

// The module path, then at most nine arguments, then the null entry.
const int kArgumentSlots = 10;
const int kArgumentVectorSize = kArgumentSlots + 1;
const int kPathTextSize = MAX_PATH;
const int kArgumentTextSize = 268;

// Splits the command-line tail into argv[1] onwards, copying each argument,
// NUL-terminated, into argumentText (kArgumentTextSize bytes), and sets
// argv[argc] to null. argv must have kArgumentVectorSize slots; argv[0] is
// left to the caller. Returns argc, from 1 to kArgumentSlots. An argument
// that does not fit whole in the text is dropped, with all after it.
int SplitCommandLine(const char *tail, char *argumentText, char **argv);

// Runs the thread's message loop until the quit message and returns its
// code, which WinMain passes to exit; -1 if GetMessage fails.
int RunMessageLoop();

// Offers msg to each top-level window above its own window, nearest first:
// WM_PRETRANSLATEMSG, then the window's dialog handling. True when one of
// them took it; it must then be neither translated nor dispatched.
bool RouteDialogMessage(MSG *msg);

#endif
