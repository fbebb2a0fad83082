#include "plan.h"

#include "verdict.h"

#include <string.h>

namespace {

bool AsksForHelp(const char *argument)
{
    return strcmp(argument, "/?") == 0 || strcmp(argument, "-h") == 0 || strcmp(argument, "--help") == 0;
}

// Whether text is word, whose letters are capitals, in any letter case.
bool IsWord(const char *text, const char *word)
{
    for (;; ++text, ++word) {
        char character = *text;
        if (character >= 'a' && character <= 'z')
            character = static_cast<char>(character - 'a' + 'A');
        if (character != *word)
            return false;
        if (character == '\0')
            return true;
    }
}

// 1 to kTimeLimitMost, in decimal digits only; 0 for anything else.
DWORD Seconds(const char *text)
{
    const DWORD decimal = 10;
    DWORD seconds = 0;
    for (const char *at = text; *at != '\0'; ++at) {
        if (*at < '0' || *at > '9')
            return 0;
        seconds = seconds * decimal + static_cast<DWORD>(*at - '0');
        if (seconds > kTimeLimitMost)
            return 0;
    }
    return seconds;
}

// Memory ran out while the names were taken.
PlanOutcome OutOfMemory()
{
    Phrase message;
    BeginMessage(&message);
    AddError(&message, ERROR_NOT_ENOUGH_MEMORY);
    WriteMessage(&message);
    return kPlanRefused;
}

// Takes the option argument, with value, the argument after it, where it
// takes one. Returns how many arguments it took: 0 for a wrong one, or one
// given before.
int TakeOption(const char *argument, const char *value, CheckPlan *plan, bool *headerless)
{
    if (argument[0] != '/' && argument[0] != '-')
        return 0;
    const char *const option = argument + 1;
    if (IsWord(option, "FO") && plan->format == kTextReport && IsWord(value, "CSV")) {
        plan->format = kCsvReport;
        return 2;
    }
    if (IsWord(option, "NH") && !*headerless) {
        *headerless = true;
        return 1;
    }
    if (IsWord(option, "T") && plan->timeLimit == 0 && Seconds(value) != 0) {
        plan->timeLimit = Seconds(value);
        return 2;
    }
    const DWORD action = IsWord(option, "F")    ? kRepairOrder
                         : IsWord(option, "R")  ? kRestartSpooler
                         : IsWord(option, "RR") ? kStartRemoteRegistry
                                                : 0;
    if (action != 0 && !(plan->actions & action)) {
        plan->actions |= action;
        return 1;
    }
    return 0;
}

}  // namespace

PlanOutcome MakePlan(int argc, char **argv, CheckPlan *plan)
{
    memset(plan, 0, sizeof *plan);
    plan->format = kTextReport;
    if (argc == 2 && AsksForHelp(argv[1]))
        return kPlanHelp;
    bool headerless = false;
    for (int index = 1; index < argc; ++index) {
        const char *const argument = argv[index];
        if (argument[0] == '@' && argument[1] != '\0') {
            if (!ReadComputerList(argument + 1, &plan->computers))
                return kPlanRefused;
        } else if (IsComputerArgument(argument)) {
            if (!AddComputer(&plan->computers, argument + 2, strlen(argument + 2)))
                return OutOfMemory();
        } else {
            const int taken = TakeOption(argument, index + 1 < argc ? argv[index + 1] : "", plan, &headerless);
            if (taken == 0)
                return kPlanWrongArgument;
            index += taken - 1;
        }
    }
    // As tasklist has it: the text has no header to leave out. And the
    // spooler is restarted only where Order was rewritten.
    if ((headerless && plan->format != kCsvReport) ||
        ((plan->actions & kRestartSpooler) && !(plan->actions & kRepairOrder)))
        return kPlanWrongArgument;
    plan->header = !headerless;
    return kPlanReady;
}

void ReleasePlan(CheckPlan *plan)
{
    ReleaseComputers(&plan->computers);
}
