// provider-order-check: says, without writing anything, what the repair
// would do to Order on this computer or on others, for an administrator at
// a console or a fleet engine that reads exit codes. It reaches its verdict
// with the repair's own routines, so that the two cannot disagree.
#include "../common/dll_search.h"
#include "output.h"
#include "verdict.h"

#include <string.h>

namespace {

const char kUsageText[] = "usage: provider-order-check [\\\\COMPUTER ...]\r\n"
                          "Says what provider-order.exe would do to Order, changing nothing, here or\r\n"
                          "on each computer named. Exit code and first word: 0 current, 1 stale,\r\n"
                          "2 untouched, 3 unreadable; of several, the highest. A named computer\r\n"
                          "follows the word: \"stale: \\\\PRN1: ...\". 4: a wrong argument.\r\n";

bool AsksForHelp(const char *argument)
{
    return strcmp(argument, "/?") == 0 || strcmp(argument, "-h") == 0 || strcmp(argument, "--help") == 0;
}

}  // namespace

int main(int argc, char **argv)
{
    ConfineDllSearch();

    if (argc == 2 && AsksForHelp(argv[1])) {
        WriteText(GetStdHandle(STD_OUTPUT_HANDLE), kUsageText);
        return 0;
    }
    // Every argument is checked before any computer is.
    for (int index = 1; index < argc; ++index) {
        if (!IsComputerArgument(argv[index])) {
            WriteText(GetStdHandle(STD_ERROR_HANDLE), kUsageText);
            return kUsage;
        }
    }
    return argc == 1 ? CheckComputer(NULL) : CheckComputers(argv + 1, argc - 1);
}
