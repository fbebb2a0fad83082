// provider-order-check: says, without writing anything, what the repair
// would do to Order on this computer or on others, for an administrator at
// a console or a fleet engine that reads exit codes. It reaches its verdict
// with the repair's own routines, so that the two cannot disagree.
#include "../common/dll_search.h"
#include "output.h"
#include "plan.h"
#include "pool.h"

#include <stdlib.h>

// msvcrt.dll's own, which every mingw-w64 start-up calls too; the names
// are the runtime's.
extern "C" {
struct MsvcrtStartupInfo {
    int newMode;  // cppcheck-suppress unusedStructMember ; the runtime reads it
};
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
int __getmainargs(int *argc, char ***argv, char ***environment, int expandWildcards, MsvcrtStartupInfo *startup);
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
void __set_app_type(int type);
}

namespace {

const char kUsageText[] =
    "usage: provider-order-check [\\\\COMPUTER | @FILE ...] [/FO CSV [/NH]] [/T SECONDS] [/F [/R]]\r\n"
    "Says what provider-order.exe would do to Order, here or on each computer\r\n"
    "named; @FILE lists computers, one a line. Up to 32 are checked at once, each\r\n"
    "named after the first word: \"stale: \\\\PRN1: ...\". Exit code and first word:\r\n"
    "0 current, 1 stale, 2 untouched, 3 unreadable; of several, the highest, with\r\n"
    "a count on standard error. 4: a wrong argument. /FO CSV: a table instead\r\n"
    "(/NH: without its header). /T: a computer that has not answered in SECONDS\r\n"
    "(1-3600) is unreadable. Without /F nothing is changed. /F: a stale Order is\r\n"
    "rewritten as provider-order.exe writes it, then read back: \"repaired\", 0.\r\n"
    "/R: where it was, the spooler is restarted to load it.\r\n";

// Runtime errors go to standard error, not to a message box.
const int kConsoleApplication = 1;

int Run(int argc, char **argv)
{
    ConfineDllSearch();

    CheckPlan plan;
    switch (MakePlan(argc, argv, &plan)) {
    case kPlanReady:
        return CheckAll(plan);
    case kPlanHelp:
        WriteText(GetStdHandle(STD_OUTPUT_HANDLE), kUsageText);
        return 0;
    case kPlanWrongArgument:
        WriteText(GetStdHandle(STD_ERROR_HANDLE), kUsageText);
        return kUsage;
    default:
        return kUsage;
    }
}

}  // namespace

// The console entry the linkers look for by default, in place of mingw-w64's
// start-up: a console tool needs none of what that sets up (constructors,
// thread-local data, floating point, pseudo-relocations), and it would be
// two fifths of the file. The arguments are split by the C runtime, as
// there, without expanding wildcards.
extern "C" void mainCRTStartup()
{
    __set_app_type(kConsoleApplication);
    int argc = 0;
    char **argv = NULL;
    char **environment = NULL;
    MsvcrtStartupInfo startup = {0};
    __getmainargs(&argc, &argv, &environment, 0, &startup);
    exit(Run(argc, argv));
}
