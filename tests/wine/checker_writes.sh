#!/usr/bin/env bash
# What the checker writes, counted in a +relay trace of the calls that
# return into its own image: without /F no writing call and no service
# call at all; with /F, one RegSetValueExA where Order is stale and none
# where it is current, in the registry's order or Windows' own (a rewrite
# of the same bytes would not show in the value), unreachable, or without
# subkeys; and a service call only with /R where Order was rewritten, or
# with /RR where the connection was refused, never for one that answers,
# nor for one that is off. Runs in the case's Wine prefix, with this
# computer's own name, on the network of on_loopback_network.sh.
#
#   checker_writes.sh WINE CHECKER
set -uo pipefail
wine=$1 checker=$2
. "$(dirname "$0")/../../scripts/wine-env.sh"
key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Providers'
own=$("$wine" cmd /c echo %COMPUTERNAME% | tr -d '\r')
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
writes='Call (advapi32|kernelbase)\.(RegSetValue|RegSetKeyValue|RegCreateKey|RegDelete|RegRestoreKey|RegReplaceKey)[A-Za-z]*\('
services='Call (advapi32|sechost)\.(OpenSCManager|OpenService|ControlService|StartService)[A-Za-z]*\('
failures=0

# seeding | arguments | writing calls | service calls
rows=(
    "stale||0|0"
    "stale|\\\\no-such-computer|0|0"
    "stale|/RR \\\\$own|0|0"
    "stale|/RR \\\\up-1|0|+"
    "stale|/RR /T 1 \\\\off-1|0|0"
    "stale|/F /R \\\\no-such-computer|0|0"
    "stale|/F \\\\$own|1|0"
    "stale|/F /R \\\\$own|1|+"
    "current|/F /R \\\\$own|0|0"
    "stock|/F /R \\\\$own|0|0"
    "none|/F /R \\\\$own|0|0"
)
for row in "${rows[@]}"; do
    IFS='|' read -r seeding arguments want_writes want_services <<<"$row"
    seed_stale_providers "$key"
    case "$seeding" in
    current) "$wine" reg add "$key" /v Order /t REG_MULTI_SZ /d "$(joined_subkeys "$key")" /f >/dev/null ;;
    # As Windows ships it: LanMan Print Services first, not the registry's order.
    stock) "$wine" reg add "$key" /v Order /t REG_MULTI_SZ /d 'LanMan Print Services\0Internet Print Provider' /f >/dev/null ;;
    none) "$wine" reg delete "$key" /f >/dev/null && "$wine" reg add "$key" /f >/dev/null ;;
    esac
    # shellcheck disable=SC2086 # the arguments are words
    WINEDEBUG=+relay "$wine" "$checker" $arguments >/dev/null 2>"$trace"
    status=$?
    made_writes=$(calls_into "$checker" "$trace" "$writes" | wc -l)
    made_services=$(calls_into "$checker" "$trace" "$services" | wc -l)
    echo "$seeding, ${arguments:-no arguments}: exit $status, $made_writes writing calls, $made_services service calls"
    if [ "$made_writes" -ne "$want_writes" ] ||
        { [ "$want_services" = + ] && [ "$made_services" -eq 0 ]; } ||
        { [ "$want_services" != + ] && [ "$made_services" -ne "$want_services" ]; }; then
        echo "FAILED: wanted $want_writes writing calls and ${want_services/+/some} service calls"
        calls_into "$checker" "$trace" "$writes|$services" | head -n 5
        failures=$((failures + 1))
    fi
done
"$wine" reg delete "$key" /f >/dev/null 2>&1
exit $((failures > 0))
