#!/usr/bin/env bash
# A program confines DLL loading to System32 before its first window or
# registry call: from a +relay trace of one run, the call to
# SetDefaultDllDirectories(0x800) that returns into the program comes before
# any user32 or advapi32 call that does. Runs in the case's Wine prefix.
#
#   dll_search_first.sh WINE EXE
set -euo pipefail
wine=$1 exe=$2
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
# A key to work on, so that no message box waits for a click.
"$wine" reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Print\Providers\A' /f >/dev/null
WINEDEBUG=+relay "$wine" "$exe" >/dev/null 2>"$trace" || true
"$wine" reg delete 'HKLM\SYSTEM\CurrentControlSet\Control\Print\Providers' /f >/dev/null

# Calls that return into the program's own image (32- or 64-bit base).
into_exe='ret=(004|1400)[0-9a-f]{5}\b'
confine=$(grep -n -m1 -E "Call [A-Za-z0-9]+\.SetDefaultDllDirectories\(0*800\) $into_exe" "$trace" | cut -d: -f1)
first=$(grep -n -m1 -E "Call (user32|advapi32|kernelbase)\.(Reg|Message|GetMessage)[A-Za-z]*\(.*$into_exe" "$trace" |
    cut -d: -f1)
echo "SetDefaultDllDirectories(0x800) at trace line ${confine:-none}; first window or registry call at ${first:-none}"
[ -n "$confine" ] && [ -n "$first" ] && [ "$confine" -lt "$first" ]
