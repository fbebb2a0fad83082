// Many computers at once, their verdicts written in the order named.
#ifndef PROVIDER_ORDER_CHECKER_POOL_H
#define PROVIDER_ORDER_CHECKER_POOL_H

#include "plan.h"
#include "verdict.h"

// Checks every computer of the plan, 32 at a time and one more for each
// that is slow to answer, and writes each one's lines together, in the
// order named, as soon as it and every one named before it are done. One
// computer, or this one, is checked on the calling thread, unless a time
// limit needs it watched. With more than one, the last line on standard
// error counts the verdicts. Returns the highest. Takes over the plan's
// computers, leaving it none: a thread given up on may still read them
// after the call returns, and frees them last.
Verdict CheckAll(CheckPlan *plan);

#endif
