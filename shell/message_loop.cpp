#include "shell.h"

bool RouteDialogMessage(MSG *msg)
{
    // The message's own window is never offered it; the climb starts above.
    // GetParent gives a child's parent and a WS_POPUP window's owner (a
    // dialog is one); any other top-level window gives NULL, owner or not,
    // so the climb ends there.
    for (HWND window = GetParent(msg->hwnd); window != NULL; window = GetParent(window)) {
        if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD)
            continue;
        if (SendMessageA(window, WM_PRETRANSLATEMSG, 0, reinterpret_cast<LPARAM>(msg)) != 0)
            return true;
        if (IsDialogMessageA(window, msg))
            return true;
    }
    return false;
}

int RunMessageLoop()
{
    MSG msg;
    for (;;) {
        const BOOL result = GetMessageA(&msg, NULL, 0, 0);
        if (result == 0)
            return static_cast<int>(msg.wParam);
        // GetMessage answers -1 on an error (an invalid window or pointer),
        // leaving msg as it was: going on would spin forever on a stale
        // message, so the loop ends instead.
        if (result == -1)
            return -1;
        if (!RouteDialogMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}
