// Which computers answer, known for a whole list in one look at the
// network: each computer's addresses are tried on TCP port 445, where
// Windows reaches a Remote Registry's named pipe, thousands at once, ahead
// of the checks, by the one thread that watches the look while it waits
// anyway. A computer that is off then holds no thread for the network's
// time-out, and neither its Remote Registry nor its service manager is
// asked.
#ifndef PROVIDER_ORDER_CHECKER_LOOK_H
#define PROVIDER_ORDER_CHECKER_LOOK_H

#include <windows.h>

struct addrinfo;

// How long a look waits for a computer unless /T says otherwise: Windows
// sends a connection's first packet again after 3 s, and the answer to
// that one may take another second or two to cross a slow link; Windows
// itself gives up after some 21 s.
const DWORD kLookWaitSeconds = 5;

enum LookOutcome {
    kLookAnswers,  // it accepted or refused a connection: it is on
    kLookSilent,   // nothing within the wait: off, or a firewall drops file and printer sharing
    kLookUntried,  // it could not be tried, and only its registry can tell
};

// Where a look tells what it found, on the thread that watches it.
typedef void (*LookFound)(void *context, DWORD index, LookOutcome outcome);

struct Look;

// A look for up to count computers, each waited for waitSeconds, that tells
// found what it finds, and sets queuedSignal (an event) when one is
// queued. NULL where the network cannot be used at all: then every
// computer is untried.
Look *OpenLook(DWORD count, DWORD waitSeconds, LookFound found, void *context, HANDLE queuedSignal);
void CloseLook(Look *look);
DWORD LookWaitSeconds(const Look *look);

// The addresses of computer ("\\NAME"), resolved on the calling thread,
// which it blocks; NULL where the name does not resolve.
addrinfo *Resolve(const char *computer);
void ReleaseAddresses(addrinfo *addresses);
// Hands the computer at index, and its addresses, to the look; any thread.
void QueueLook(Look *look, DWORD index, addrinfo *addresses);

// On one thread only, in place of a wait of up to timeout: tries the
// computers queued, while there is room, waits on those tried, at most a
// few tens of milliseconds, and tells what it found. False, at once, where
// the look holds nothing to wait on.
bool WatchLook(Look *look, DWORD timeout);

#endif
