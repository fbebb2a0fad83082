#include "fake_windows.h"

std::map<int, FakeWindow> g_windows;
std::deque<QueuedMessage> g_queue;
std::vector<std::string> g_windowCalls;

static const MSG *g_routing = NULL;  // the message GetMessageA last handed out

HWND Window(int id)
{
    return reinterpret_cast<HWND>(static_cast<intptr_t>(id));
}

static int Id(HWND window)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(window));
}

MSG MessageTo(int window, UINT message)
{
    MSG msg = MSG();
    msg.hwnd = Window(window);
    msg.message = message;
    return msg;
}

QueuedMessage Quit(WPARAM code)
{
    QueuedMessage quit = {0, MessageTo(0, 0x0012)};
    quit.msg.wParam = code;
    return quit;
}

void ResetFakeWindows()
{
    g_windows.clear();
    g_queue.clear();
    g_windowCalls.clear();
    g_routing = NULL;
}

BOOL GetMessageA(MSG *msg, HWND, UINT, UINT)
{
    g_windowCalls.push_back("get");
    if (g_queue.empty()) {
        // A loop that does not stop where it should ends here, visibly.
        g_windowCalls.push_back("queue exhausted");
        *msg = Quit(0xDEAD).msg;
        return 0;
    }
    const QueuedMessage next = g_queue.front();
    g_queue.pop_front();
    if (next.result != -1)
        *msg = next.msg;
    g_routing = msg;
    return next.result;
}

BOOL TranslateMessage(const MSG *)
{
    g_windowCalls.push_back("translate");
    return 0;
}

LRESULT DispatchMessageA(const MSG *)
{
    g_windowCalls.push_back("dispatch");
    return 0;
}

HWND GetParent(HWND window)
{
    const auto found = g_windows.find(Id(window));
    if (found == g_windows.end() || !(found->second.child || found->second.popup))
        return NULL;
    return Window(found->second.parent);
}

LONG GetWindowLongA(HWND window, int index)
{
    const auto found = g_windows.find(Id(window));
    if (index != GWL_STYLE || found == g_windows.end())
        return 0;
    return found->second.child ? WS_CHILD : 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const std::string id = std::to_string(Id(window));
    const bool wellFormed =
        message == WM_USER + 117 && wParam == 0 && reinterpret_cast<const MSG *>(lParam) == g_routing;
    g_windowCalls.push_back((wellFormed ? "offer " : "bad offer ") + id);
    return g_windows[Id(window)].pretranslate;
}

BOOL IsDialogMessageA(HWND dialog, MSG *)
{
    g_windowCalls.push_back("dialog " + std::to_string(Id(dialog)));
    return g_windows[Id(dialog)].dialogTakes;
}
