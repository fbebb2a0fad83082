// A task that returns, for proving the shell's message loop on Wine's real
// window manager and dialog handling. It builds an owner window, a modeless
// dialog the owner owns, a pane in the dialog with an edit, and a second
// edit in the dialog; posts keys and private messages; asks to quit with 3
// and returns. What each window saw is checked as the process exits: any
// surprise turns exit code 3 into 1.
#include "../../shell/shell.h"

#include <stdio.h>

namespace {

const UINT kTakenByDialog = WM_APP + 1;  // the dialog answers non-zero
const UINT kForTheDialog = WM_APP + 2;   // addressed to the dialog itself
const UINT kCheckpoint = WM_APP + 3;     // the owner notes where the focus is
const LPARAM kTakenTab = 0x00000002;     // a Tab the dialog takes (repeat count 2)
const LPARAM kPlainTab = 0x000F0001;

HWND g_owner, g_dialog, g_pane, g_firstEdit, g_secondEdit;

struct Seen {
    int ownerOffersForDialog = 0;  // WM_PRETRANSLATEMSG for a message to the dialog
    int ownerOffersOther = 0;      // ... for anything else
    int dialogOffers = 0;
    int dialogOffersForItself = 0;
    int dialogGotPrivate = 0;
    int firstEditTabs = 0;
    int secondEditTabs = 0;
    int secondEditChars = 0;
    int secondEditTaken = 0;
    HWND focusAtCheckpoint[2] = {NULL, NULL};
    int checkpoints = 0;
};
Seen g_seen;

const MSG *Routed(LPARAM lParam)
{
    return reinterpret_cast<const MSG *>(lParam);
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PRETRANSLATEMSG) {
        if (Routed(lParam)->hwnd == g_dialog && Routed(lParam)->message == kForTheDialog)
            ++g_seen.ownerOffersForDialog;
        else
            ++g_seen.ownerOffersOther;
        return 0;
    }
    if (message == kCheckpoint && g_seen.checkpoints < 2) {
        g_seen.focusAtCheckpoint[g_seen.checkpoints++] = GetFocus();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_PRETRANSLATEMSG) {
        ++g_seen.dialogOffers;
        const MSG *routed = Routed(lParam);
        if (routed->hwnd == dialog)
            ++g_seen.dialogOffersForItself;
        const bool take =
            routed->message == kTakenByDialog || (routed->message == WM_KEYDOWN && routed->lParam == kTakenTab);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, take ? 1 : 0);
        return TRUE;
    }
    if (message == kForTheDialog) {
        ++g_seen.dialogGotPrivate;
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool first = (edit == g_firstEdit);
    if (message == WM_KEYDOWN && wParam == VK_TAB)
        ++(first ? g_seen.firstEditTabs : g_seen.secondEditTabs);
    if (!first && message == WM_CHAR && wParam == 'x')
        ++g_seen.secondEditChars;
    if (!first && message == kTakenByDialog)
        ++g_seen.secondEditTaken;
    const WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(edit, GWLP_USERDATA));
    return CallWindowProcA(original, edit, message, wParam, lParam);
}

HWND CreateRecordedEdit(HWND parent, int id)
{
    HWND edit =
        CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10 + 30 * id, 120, 24,
                        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), AppStartupState.hInstance, NULL);
    SetWindowLongPtrA(edit, GWLP_USERDATA, GetWindowLongPtrA(edit, GWLP_WNDPROC));
    SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc));
    return edit;
}

int g_failures = 0;

void Check(bool passed, const char *what)
{
    printf("%s: %s\n", passed ? "ok" : "FAILED", what);
    if (!passed)
        ++g_failures;
}

void CheckWhatEachWindowSaw()
{
    char secondText[16] = "";
    GetWindowTextA(g_secondEdit, secondText, sizeof secondText);
    Check(g_seen.focusAtCheckpoint[0] == g_secondEdit, "Tab in the dialog moved the focus to the next edit");
    Check(g_seen.firstEditTabs == 0, "the edit never saw the Tab that the dialog handled");
    Check(g_seen.focusAtCheckpoint[1] == g_secondEdit, "a Tab the dialog took never reached its dialog handling");
    Check(g_seen.secondEditTabs == 0, "... nor the edit");
    Check(g_seen.secondEditChars == 1 && lstrcmpA(secondText, "x") == 0, "a key reached its edit exactly once");
    Check(g_seen.secondEditTaken == 0, "a message the dialog took was not dispatched");
    Check(g_seen.ownerOffersForDialog == 1, "the owner was offered the message addressed to the dialog");
    Check(g_seen.dialogOffersForItself == 0, "the dialog was not offered its own message");
    Check(g_seen.dialogGotPrivate == 1, "the dialog's own message was dispatched to it once");
    Check(g_seen.ownerOffersOther == 0, "the owner was offered nothing the dialog had handled or taken");
    Check(g_seen.dialogOffers == 4, "the dialog was offered each message to its controls");
    fflush(stdout);
    if (g_failures)
        ExitProcess(1);
}

}  // namespace

int TaskMain(int, char **)
{
    WNDCLASSA ownerClass = {};
    ownerClass.lpfnWndProc = OwnerProc;
    ownerClass.hInstance = AppStartupState.hInstance;
    ownerClass.lpszClassName = "LoopOwner";
    RegisterClassA(&ownerClass);
    WNDCLASSA paneClass = {};
    paneClass.lpfnWndProc = DefWindowProcA;
    paneClass.hInstance = AppStartupState.hInstance;
    paneClass.lpszClassName = "LoopPane";
    RegisterClassA(&paneClass);

    g_owner = CreateWindowExA(0, "LoopOwner", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, NULL, NULL,
                              AppStartupState.hInstance, NULL);

    struct alignas(4) {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialogTemplate = {};
    dialogTemplate.header.style = WS_POPUP | WS_VISIBLE | WS_CAPTION;
    dialogTemplate.header.cx = 200;
    dialogTemplate.header.cy = 120;
    g_dialog = CreateDialogIndirectParamA(AppStartupState.hInstance, &dialogTemplate.header, g_owner, DialogProc, 0);

    g_pane = CreateWindowExA(WS_EX_CONTROLPARENT, "LoopPane", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 60, g_dialog, NULL,
                             AppStartupState.hInstance, NULL);
    g_firstEdit = CreateRecordedEdit(g_pane, 0);
    g_secondEdit = CreateRecordedEdit(g_dialog, 3);
    SetFocus(g_firstEdit);

    PostMessageA(g_firstEdit, WM_KEYDOWN, VK_TAB, kPlainTab);
    PostMessageA(g_owner, kCheckpoint, 0, 0);
    PostMessageA(g_secondEdit, WM_KEYDOWN, VK_TAB, kTakenTab);
    PostMessageA(g_owner, kCheckpoint, 0, 0);
    PostMessageA(g_secondEdit, WM_CHAR, 'x', 1);
    PostMessageA(g_dialog, kForTheDialog, 0, 0);
    PostMessageA(g_secondEdit, kTakenByDialog, 0, 0);
    PostQuitMessage(3);

    atexit(CheckWhatEachWindowSaw);
    return 0;
}
