// Whether one computer's Order names the providers its spooler should load,
// found without writing anything, with the repair's own routines; and under
// /F the stale one rewritten.
#ifndef PROVIDER_ORDER_CHECKER_VERDICT_H
#define PROVIDER_ORDER_CHECKER_VERDICT_H

#include "../common/provider_list.h"
#include "output.h"

// The exit codes, in rising order of concern, and each verdict's first word.
enum Verdict {
    kCurrent = 0,     // Order names every provider subkey once, in any order
    kStale = 1,       // it does not: /F would rewrite it
    kUntouched = 2,   // the repair would leave Order as it is, unvouched for
    kUnreadable = 3,  // the key cannot be read, or the computer reached
    kUsage = 4,
};
const int kVerdictCount = 4;

// More than the repair ever writes, so that a longer value shows as longer.
const DWORD kOrderReadSize = 4096;

// What a check does besides reading, with /F and /R.
enum CheckAction {
    kRepairOrder = 1,          // a stale Order rewritten, its order kept, and read back
    kRestartSpooler = 2,       // where it was rewritten, the spooler restarted to load it
    kStartRemoteRegistry = 4,  // a computer that refuses the connection: its Remote Registry started for the check
};

// One computer's verdict, before it is put into words.
struct Finding {
    // Its exit code: 0 for a computer whose Order is now current.
    Verdict verdict;
    // Order was rewritten and reads back as written: "repaired", whatever
    // the exit code.
    bool repaired;
    // Remote Registry, changed for the check, could not be put back as it
    // was found (the reason says how it was left).
    bool leftChanged;
    // The rest of the verdict line: "Order does not name every provider
    // subkey once", "no provider subkeys", "remote registry: error 53: ...".
    Phrase reason;
    // Stale or repaired: what Order is (or was) when it holds no names to
    // show ("absent", "type 1", "5000 bytes", "error 5: ..."); else empty.
    Phrase now;
    // Current, and stale or repaired where Order was a REG_MULTI_SZ that
    // could be read: the strings it held; else NULL.
    const char *nowNames;
    DWORD nowSize;
    // Stale: what /F writes; current: Order as it stands; else NULL.
    const char *afterNames;
    DWORD afterSize;
};

// Everything one check works in. Each thread that checks owns one, and a
// Finding's names point into it.
struct CheckWork {
    OrderPlan plan;
    // Two bytes beyond what the read may fill, so that even unterminated
    // data ends in a NUL.
    char order[kOrderReadSize + 2];
    // What /F writes: Order's names that are subkeys, in its order, then
    // the subkeys it leaves out.
    ProviderList after;
    // Order as read back after a rewrite: a value of another size is no
    // repair's.
    char readBack[kProviderListSize];
    Finding finding;
    // What /RR did, before it joins the reason.
    Phrase said;
    // Asked before anything is changed (a service, Order): false where the
    // caller has given up on the computer, and nothing may be; from true
    // on, the caller waits for the check, however long it takes, and it
    // stays true. NULL: always true.
    bool (*mayWrite)(void *context);
    void *mayWriteContext;
    // The computer answered on TCP port 445: where its registry refuses
    // the connection, its Remote Registry does.
    bool answered;
};

// Empties a finding: no reason, no names.
void ClearFinding(Finding *finding);

// Finds one computer's verdict into work->finding and returns it: this
// computer's for NULL, else that computer's ("\\NAME"), through its
// registry over the network, never this computer's in its place. With
// kRepairOrder in actions, a stale Order is rewritten, and nothing else is
// ever written; without, nothing is. With kStartRemoteRegistry, a computer
// that refuses the connection has its Remote Registry started for the
// check and put back as it was found.
Verdict CheckComputer(const char *computer, DWORD actions, CheckWork *work);

#endif
