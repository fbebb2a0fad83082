#!/usr/bin/env bash
# A crash in a Wine case ends the case: the crashing program exits non-zero
# with Wine's crash line, and no dialog holds it (the case's time limit
# catches one that does).
#
#   crash_fails_fast.sh WINE EXE
set -uo pipefail
wine=$1 exe=$2
SECONDS=0
output=$("$wine" "$exe" 2>&1)
status=$?
echo "$output" | head -n 3
echo "exit code $status after ${SECONDS}s"
[ "$status" -ne 0 ] && grep -q 'Unhandled page fault' <<<"$output"
