// What the repair would do to one computer's Order, said without writing
// anything, with the repair's own routines.
#ifndef PROVIDER_ORDER_CHECKER_VERDICT_H
#define PROVIDER_ORDER_CHECKER_VERDICT_H

// The exit codes, in rising order of concern, and each verdict's first word.
enum Verdict {
    kCurrent = 0,     // running the repair changes nothing
    kStale = 1,       // the repair would rewrite Order
    kUntouched = 2,   // the repair would leave Order as it is, unvouched for
    kUnreadable = 3,  // the key cannot be read, or the computer reached
    kUsage = 4,
};

// Whether an argument names a computer: two backslashes, then a name of 1
// to 255 bytes with no blank, control character or any of \/:*?"<>|.
bool IsComputerArgument(const char *argument);

// Prints one computer's verdict and returns it: this computer's for NULL,
// else that computer's, through its registry over the network. A named
// computer's verdict line names it after the word ("stale: \\PRN1: ...").
Verdict CheckComputer(const char *computer);

// Each computer's verdict in turn, whatever the others'; returns the
// highest, so that kCurrent still means all current.
Verdict CheckComputers(char *const *computers, int count);

#endif
