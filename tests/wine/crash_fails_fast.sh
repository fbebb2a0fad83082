#!/usr/bin/env bash
# A crash in a Wine case ends the case: the crashing program ends with
# Wine's crash line, and no dialog holds it (the case's time limit catches
# one that does). Its exit code is not asserted: it should be the
# exception's, but winedbg, ending the program after the backtrace, races
# it, and 5, 0 and 84 have all been seen. So the crash line is what tells,
# and a case that reads a crashed program's exit code alone cannot be sure.
#
#   crash_fails_fast.sh WINE EXE
set -uo pipefail
wine=$1 exe=$2
SECONDS=0
output=$("$wine" "$exe" 2>&1)
status=$?
echo "$output" | head -n 3
echo "exit code $status after ${SECONDS}s"
grep -q 'Unhandled page fault' <<<"$output"
