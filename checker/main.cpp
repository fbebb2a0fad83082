// provider-order-check: says whether Order names the print providers the
// spooler should load, on this computer or on others, for an administrator
// at a console or a fleet engine that reads exit codes; without /F it
// writes nothing. It collects and proves the names with the repair's own
// routines, so that the two cannot disagree on them.
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
    "usage: provider-order-check [\\\\COMPUTER | @FILE ...] [/FO CSV [/NH]] [/T SECONDS] [/F [/R]] [/RR]\r\n"
    "Says whether Order names each print provider subkey once, in any order, here\r\n"
    "or on each computer named; @FILE lists computers, one a line. Many are\r\n"
    "checked at once, each named after the first word: \"stale: \\\\PRN1: ...\".\r\n"
    "Exit code and first word: 0 current, 1 stale, 2 untouched, 3 unreadable; of\r\n"
    "several, the highest, with a count on standard error. 4: a wrong argument.\r\n"
    "/FO CSV: a table instead (/NH: without its header). /T: a computer that has\r\n"
    "not answered in SECONDS (1-3600) is unreadable. Without /F nothing is changed.\r\n"
    "/F: a stale Order is rewritten, the providers it names first, in its order,\r\n"
    "then read back: \"repaired\", 0.\r\n"
    "/R: where it was, the spooler is restarted to load it. /RR: a computer that\r\n"
    "refuses the connection has its Remote Registry started for the check and\r\n"
    "put back as it was found (a disabled one set to manual, then disabled again).\r\n";

// Runtime errors go to standard error, not to a message box.
const int kConsoleApplication = 1;

int Run(int argc, char **argv)
{
    ConfineDllSearch();

    CheckPlan plan;
    switch (MakePlan(argc, argv, &plan)) {
    case kPlanReady:
        return CheckAll(&plan);
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
