#!/usr/bin/env bash
# A crash in a Wine case ends the case: the crashing program ends with
# Wine's crash line, and no dialog holds it (the case's time limit catches
# one that does). Its exit code is the exception's (0xC0000005, 5 to the
# shell), except that winedbg, ending it after the backtrace, races it and
# sometimes leaves 0: seen under load, 3 runs in 8. So the crash line is
# what tells, and a case that reads a crashed program's exit code alone
# cannot be sure of it.
#
#   crash_fails_fast.sh WINE EXE
set -uo pipefail
wine=$1 exe=$2
SECONDS=0
output=$("$wine" "$exe" 2>&1)
status=$?
echo "$output" | head -n 3
echo "exit code $status after ${SECONDS}s"
grep -q 'Unhandled page fault' <<<"$output" && { [ "$status" -eq 5 ] || [ "$status" -eq 0 ]; }
