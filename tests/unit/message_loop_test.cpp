#include "../../shell/shell.h"
#include "../fakes/fake_windows.h"

#include <gtest/gtest.h>

namespace {

const UINT kKeyDown = 0x0100;

// 1 owner, 2 a dialog it owns, 3 a pane in the dialog, 4 an edit in the
// pane; 5 an ownerless window; 6 an overlapped window owned by 1, 7 a
// control in it; 8 a popup owned by the dialog, 9 a control in the popup.
void BuildWindowTree()
{
    g_windows[1] = FakeWindow();
    g_windows[2].parent = 1;
    g_windows[2].popup = true;
    g_windows[3].parent = 2;
    g_windows[3].child = true;
    g_windows[4].parent = 3;
    g_windows[4].child = true;
    g_windows[5] = FakeWindow();
    g_windows[6].parent = 1;
    g_windows[7].parent = 6;
    g_windows[7].child = true;
    g_windows[8].parent = 2;
    g_windows[8].popup = true;
    g_windows[9].parent = 8;
    g_windows[9].child = true;
}

typedef std::vector<std::string> Calls;

TEST(MessageLoop, OffersEachMessageUpTheTopLevelWindowsAboveIt)
{
    const struct {
        const char *what;
        int target;
        int pretranslateTaker;
        int dialogTaker;
        Calls routed;
    } rows[] = {
        {"thread message is offered to nobody", 0, 0, 0, {"translate", "dispatch"}},
        {"ownerless top-level window is offered to nobody", 5, 0, 0, {"translate", "dispatch"}},
        {"a dialog's own message goes to its owner only", 2, 0, 0, {"offer 1", "dialog 1", "translate", "dispatch"}},
        {"child windows are passed over, the dialog is first",
         4,
         0,
         0,
         {"offer 2", "dialog 2", "offer 1", "dialog 1", "translate", "dispatch"}},
        {"owner chains are climbed to the end",
         9,
         0,
         0,
         {"offer 8", "dialog 8", "offer 2", "dialog 2", "offer 1", "dialog 1", "translate", "dispatch"}},
        {"an owned window that is no popup ends the climb: GetParent gives NULL",
         7,
         0,
         0,
         {"offer 6", "dialog 6", "translate", "dispatch"}},
        {"taken by pretranslation: no dialog handling, no climb, no dispatch", 4, 2, 0, {"offer 2"}},
        {"taken by the dialog handling", 4, 0, 2, {"offer 2", "dialog 2"}},
        {"taken further up", 9, 1, 0, {"offer 8", "dialog 8", "offer 2", "dialog 2", "offer 1"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakeWindows();
        BuildWindowTree();
        if (row.pretranslateTaker)
            g_windows[row.pretranslateTaker].pretranslate = 1;
        if (row.dialogTaker)
            g_windows[row.dialogTaker].dialogTakes = 1;
        g_queue = {{1, MessageTo(row.target, kKeyDown)}, Quit(3)};

        EXPECT_EQ(3, RunMessageLoop());

        Calls expected = {"get"};
        expected.insert(expected.end(), row.routed.begin(), row.routed.end());
        expected.push_back("get");
        EXPECT_EQ(expected, g_windowCalls);
    }
}

TEST(MessageLoop, EndsOnTheQuitMessageOrAnError)
{
    const struct {
        const char *what;
        std::deque<QueuedMessage> queue;
        int result;
        Calls calls;
    } rows[] = {
        {"quit code returned", {Quit(3)}, 3, {"get"}},
        {"quit after messages", {{1, MessageTo(0, kKeyDown)}, Quit(7)}, 7, {"get", "translate", "dispatch", "get"}},
        {"-1 ends the loop, nothing dispatched",
         {{-1, MessageTo(4, kKeyDown)}, {1, MessageTo(0, kKeyDown)}},
         -1,
         {"get"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ResetFakeWindows();
        BuildWindowTree();
        g_queue = row.queue;

        EXPECT_EQ(row.result, RunMessageLoop());
        EXPECT_EQ(row.calls, g_windowCalls);
    }
}

}  // namespace
