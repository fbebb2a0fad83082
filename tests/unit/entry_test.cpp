// WinMain never returns, so each case runs in a death test: the stand-in
// task checks what it was handed and ends the child with 0 only if all of
// it was right, printing what was wrong otherwise.
#include "../../shell/shell.h"
#include "../fakes/fake_platform.h"
#include "../fakes/fake_windows.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

namespace {

struct ExpectedStart {
    HINSTANCE instance;
    int showCommand;
    std::vector<std::string> argv;
    bool returns = false;                  // hand the process to the message loop
    std::vector<std::string> loaderCalls;  // checked when not empty
};

ExpectedStart g_expected;

HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));

}  // namespace

int TaskMain(int argc, char **argv)
{
    std::string wrong;
    if (AppStartupState.hInstance != g_expected.instance || AppStartupState.hPrevInstance != NULL ||
        AppStartupState.nCmdShow != g_expected.showCommand)
        wrong += "start-up state; ";
    if (argc != static_cast<int>(g_expected.argv.size()))
        wrong += "argc " + std::to_string(argc) + "; ";
    for (int i = 0; i < argc && i < static_cast<int>(g_expected.argv.size()); ++i) {
        if (g_expected.argv[static_cast<size_t>(i)] != argv[i])
            wrong += "argv[" + std::to_string(i) + "] [" + argv[i] + "]; ";
    }
    if (argv[argc] != NULL)
        wrong += "argv[argc] not null; ";
    if (!g_expected.loaderCalls.empty() && g_expected.loaderCalls != g_module.calls) {
        wrong += "loader calls:";
        for (const std::string &call : g_module.calls)
            wrong += " [" + call + "]";
    }
    if (!wrong.empty()) {
        fprintf(stderr, "%s\n", wrong.c_str());
        exit(1);
    }
    if (g_expected.returns)
        return 0;
    exit(0);
}

namespace {

class Entry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFakePlatform();
        ResetFakeWindows();
    }
};

using EntryDeathTest = Entry;

TEST_F(EntryDeathTest, HandsTheTaskItsStartUpValuesAndAVector)
{
    const std::string fits(kPathTextSize - 1, 'p');
    const std::string tooLong(kPathTextSize + 40, 'p');

    const struct {
        const char *what;
        std::string modulePath;
        bool moduleFails;
        bool unterminatedWhenFull;
        const char *tail;
        std::vector<std::string> argv;
    } rows[] = {
        {"no arguments", "C:\\tools\\provider-order.exe", false, false, "", {"C:\\tools\\provider-order.exe"}},
        {"arguments split",
         "C:\\tools\\provider-order.exe",
         false,
         false,
         "one \"two three\"",
         {"C:\\tools\\provider-order.exe", "one", "two three"}},
        {"a path that fills the buffer", fits, false, false, "x", {fits, "x"}},
        {"MAX_PATH holds a 259-byte path whole",
         std::string(259, 'q'),
         false,
         false,
         "x",
         {std::string(259, 'q'), "x"}},
        {"a long path on Windows XP is cut and terminated", tooLong, false, true, "x", {fits, "x"}},
        {"a long path on later Windows", tooLong, false, false, "x", {fits, "x"}},
        {"a failed path lookup gives an empty path", "C:\\x.exe", true, false, "x", {"", "x"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        g_module.path = row.modulePath;
        g_module.fails = row.moduleFails;
        g_module.unterminatedWhenFull = row.unterminatedWhenFull;
        g_expected = {kInstance, 5, row.argv, false, {}};
        std::string tail = row.tail;

        EXPECT_EXIT(WinMain(kInstance, NULL, &tail[0], 5), ::testing::ExitedWithCode(0), "");
    }
}

// DLL loading is confined before the entry does anything else, and only
// where the platform can; without the call the start is as before.
TEST_F(EntryDeathTest, ConfinesDllLoadingFirstWhereThePlatformCan)
{
    const struct {
        const char *what;
        bool hasCall;
        std::vector<std::string> loaderCalls;
    } rows[] = {
        {"Windows 8 and later",
         true,
         {"GetModuleHandleA kernel32.dll", "GetProcAddress SetDefaultDllDirectories", "SetDefaultDllDirectories 0x800",
          "GetModuleFileNameA"}},
        {"Windows XP",
         false,
         {"GetModuleHandleA kernel32.dll", "GetProcAddress SetDefaultDllDirectories", "GetModuleFileNameA"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        g_module.path = "C:\\tools\\provider-order.exe";
        g_module.hasSetDefaultDllDirectories = row.hasCall;
        g_expected = {kInstance, 1, {"C:\\tools\\provider-order.exe", "x"}, false, row.loaderCalls};
        char tail[] = "x";

        EXPECT_EXIT(WinMain(kInstance, NULL, tail, 1), ::testing::ExitedWithCode(0), "");
    }
}

TEST_F(EntryDeathTest, ATaskThatReturnsLeavesTheProcessToTheMessageLoop)
{
    g_module.path = "C:\\tools\\dialogs.exe";
    g_expected = {kInstance, 10, {"C:\\tools\\dialogs.exe"}, true, {}};
    g_queue = {{1, MessageTo(0, 0x0400)}, Quit(3)};
    char tail[] = "";

    EXPECT_EXIT(WinMain(kInstance, NULL, tail, 10), ::testing::ExitedWithCode(3), "");
}

}  // namespace
