// A scripted window tree and message queue for the message loop.
#ifndef PROVIDER_ORDER_TESTS_FAKE_WINDOWS_H
#define PROVIDER_ORDER_TESTS_FAKE_WINDOWS_H

#include <windows.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

struct FakeWindow {
    int parent = 0;            // a child's parent or a top-level window's owner; 0 for none
    bool child = false;        // WS_CHILD
    bool popup = false;        // WS_POPUP: only then does GetParent give the owner
    LRESULT pretranslate = 0;  // answer to WM_PRETRANSLATEMSG
    BOOL dialogTakes = 0;      // answer of IsDialogMessageA
};

struct QueuedMessage {
    BOOL result;  // what GetMessageA answers: 0 for the quit message, -1 for an error
    MSG msg;
};

extern std::map<int, FakeWindow> g_windows;
extern std::deque<QueuedMessage> g_queue;
// "offer N", "dialog N", "translate", "dispatch", in the order they happened;
// "bad offer N" when WM_PRETRANSLATEMSG did not carry wParam 0 and the
// routed message's address.
extern std::vector<std::string> g_windowCalls;

HWND Window(int id);
MSG MessageTo(int window, UINT message);
QueuedMessage Quit(WPARAM code);

void ResetFakeWindows();

#endif
