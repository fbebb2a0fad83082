#!/usr/bin/env bash
# A program confines DLL loading to System32 before its first window or
# registry call: in a +relay trace of one run, on the program's own thread,
# the call to SetDefaultDllDirectories(0x800) that returns into its image
# comes before any user32 or advapi32 call that does. Runs in the case's
# Wine prefix; says what it saw on every way out.
#
#   dll_search_first.sh WINE EXE
set -uo pipefail
wine=$1 exe=$2
. "$(dirname "$0")/../../scripts/wine-env.sh"
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Providers'
# A key to work on, so that no message box waits for a click.
"$wine" reg add "$key\\A" /f >/dev/null
WINEDEBUG=+relay "$wine" "$exe" >/dev/null 2>"$trace"
"$wine" reg delete "$key" /f >/dev/null

read -r start end <<<"$(image_range "$exe")"
printf 'image of %s: %x to %x; trace of %d lines\n' "${exe##*/}" "$start" "$end" "$(wc -l <"$trace")"
confine=$(calls_into "$exe" "$trace" 'Call [A-Za-z0-9]+\.SetDefaultDllDirectories\(0*800\)' | head -n 1)
if [ -z "$confine" ]; then
    echo "no call of SetDefaultDllDirectories(0x800) returns into the image; the calls seen:"
    grep -E 'Call [A-Za-z0-9]+\.SetDefaultDllDirectories' "$trace" | head -n 5
    exit 1
fi
thread=$(cut -d: -f2 <<<"$confine")
first=$(calls_into "$exe" "$trace" "^$thread:Call (user32|advapi32|kernelbase)\.(Reg|Message|GetMessage)[A-Za-z]*\(" |
    head -n 1)
echo "confined at trace line ${confine%%:*}, on thread $thread"
echo "first window or registry call of that thread: ${first:-none}"
[ -n "$first" ] && [ "${confine%%:*}" -lt "${first%%:*}" ]
