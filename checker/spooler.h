// Making a computer's print spooler load Order anew, through its Service
// Control Manager.
#ifndef PROVIDER_ORDER_CHECKER_SPOOLER_H
#define PROVIDER_ORDER_CHECKER_SPOOLER_H

#include <windows.h>

// The spooler of computer ("\\NAME", or NULL for this one) restarted: a
// running one stopped as net stop spooler /y stops it, the services that
// depend on it first, each waited for; then started, and the dependants
// that ran started again. A stopped one is started. Returns ERROR_SUCCESS,
// or the error that ended it, with every service it stopped started again
// where it could be.
LONG RestartSpooler(const char *computer);

#endif
