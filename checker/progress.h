// One line on the console while a run over many computers waits: how far
// it is and what it waits for. Nothing of it reaches a file or a pipe.
#ifndef PROVIDER_ORDER_CHECKER_PROGRESS_H
#define PROVIDER_ORDER_CHECKER_PROGRESS_H

#include <windows.h>

// Four times a second is often enough for a count of seconds to tick.
const DWORD kProgressInterval = 250;

struct ProgressLine {
    HANDLE console;  // standard error where it is a console; else NULL, and nothing is shown
    DWORD width;     // the line's most characters: a longer one would wrap
    DWORD drawn;     // GetTickCount when it was last written
    bool shown;      // on the console now
};

void BeginProgress(ProgressLine *line);

// "Checked 412 of 1000 computers; waiting for \\PC17 (14 s)", written over
// the line shown before, at most a few times a second. computer NULL: none
// is begun yet.
void ShowProgress(ProgressLine *line, DWORD checked, DWORD count, const char *computer, DWORD seconds);

// Blanks the line, so that what is written next starts where it started.
void ClearProgress(ProgressLine *line);

#endif
