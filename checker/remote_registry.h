// Remote Registry started on a computer for its check and put back exactly
// as it was found (/RR): Windows 10 and 11 clients ship with it disabled,
// and a computer without it answers as one that is off.
#ifndef PROVIDER_ORDER_CHECKER_REMOTE_REGISTRY_H
#define PROVIDER_ORDER_CHECKER_REMOTE_REGISTRY_H

#include "output.h"

#include <windows.h>

struct RemoteRegistryVisit {
    SC_HANDLE manager;  // the computer's service manager; NULL: nothing to put back
    DWORD startType;    // as found
    bool enabled;       // set from disabled to start on demand
    bool started;       // a start was asked for
    bool running;       // and it ran
};

// Where the computer's Remote Registry is stopped, starts it (a disabled one
// set to start on demand first) and waits until it runs: ERROR_SUCCESS.
// Else says why in said. Whatever it returns, where visit->manager is set
// something may have changed, and PutRemoteRegistryBack must follow. Once
// a stop has been asked for (StopRequested), nothing is changed.
LONG StartRemoteRegistry(const char *computer, RemoteRegistryVisit *visit, Phrase *said);

// Stops what StartRemoteRegistry started and gives back the start type it
// changed, and says so in said. False where something is left changed
// (said, with the error).
bool PutRemoteRegistryBack(RemoteRegistryVisit *visit, Phrase *said);

// For a run with /RR: Ctrl+C, Ctrl+Break or closing the console asks for a
// stop. No computer is begun after it, and the process ends only once
// every service changed has been put back.
void WatchForStop();
void StopWatching();
bool StopRequested();

#endif
