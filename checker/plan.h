// What one run of the checker is to do, from its arguments.
#ifndef PROVIDER_ORDER_CHECKER_PLAN_H
#define PROVIDER_ORDER_CHECKER_PLAN_H

#include "computer_list.h"
#include "report.h"

// /T takes 1 to this many seconds.
const DWORD kTimeLimitMost = 3600;

struct CheckPlan {
    ComputerList computers;  // none: this computer
    ReportFormat format;
    bool header;      // CSV: the header row first
    DWORD timeLimit;  // seconds a computer's check may take; 0: no limit
    DWORD actions;    // CheckAction: /F, and /R with it; /RR
};

enum PlanOutcome {
    kPlanReady,
    kPlanHelp,           // /?, -h or --help alone
    kPlanWrongArgument,  // the usage says what is right
    kPlanRefused,        // a list that cannot be taken, already said on standard error
};

// Arguments, in any order: \\COMPUTER, @FILE, /FO CSV, /NH (with /FO CSV
// only), /T SECONDS, /F, /R (with /F only), /RR. Options take / or -, in any
// letter case, each once.
// Every argument is taken, and every list read, before anything is
// checked.
PlanOutcome MakePlan(int argc, char **argv, CheckPlan *plan);

void ReleasePlan(CheckPlan *plan);

#endif
