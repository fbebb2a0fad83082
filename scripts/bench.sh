#!/usr/bin/env bash
# Measures the tool against the manual alternative, `reg add ... /t
# REG_MULTI_SZ` writing the same value, on a throwaway Wine prefix: registry
# calls per run (from a +relay trace, counting only the calls the program
# itself makes), and the median wall time over RUNS runs. Prints; asserts
# nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/${1:-build/win32}"
exe="$build/provider-order.exe"
runs=${RUNS:-15}
. "$root/scripts/wine-env.sh"
key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Providers'
work="$root/build/bench"
mkdir -p "$work"

echo "making a throwaway Wine prefix in build/bench-prefix ..." >&2
fresh_wine_prefix "$root/build/bench-prefix" "$(exe_arch "$exe")"
wineserver -w
# One wineserver for all runs, so that neither side pays for starting it.
wineserver -p

seed() {
    local count=$1 i
    wine reg delete "$key" /f >/dev/null 2>&1 || true
    {
        printf 'REGEDIT4\r\n\r\n'
        for ((i = 1; i <= count; i++)); do
            printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Providers\\Print Provider %02d]\r\n\r\n' "$i"
        done
    } >"$work/seed.reg"
    wine reg import "$(wine winepath -w "$work/seed.reg")" >/dev/null 2>&1
}

# Registry calls made by the program's own code: the thread that opens the
# providers key, counting only calls that return into the program's image.
count_calls() {
    local exe=$1 trace=$2 pattern=$3 thread
    thread=$(grep -m1 -E "$pattern" "$trace" | cut -d: -f1)
    calls_into "$exe" "$trace" "^$thread:Call (advapi32|kernelbase)\.Reg[A-Za-z]*\(" | wc -l
}

median_ms() {
    local samples=() i start end
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s%N)
        samples+=($(((end - start) / 1000000)))
    done
    printf '%s\n' "${samples[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

size=$(stat -c %s "$exe")
kind="the shipped 32-bit build"
if [ "$(exe_arch "$exe")" = win64 ]; then
    kind="a 64-bit build of the same sources"
    [ "$WINE_DEFAULT_ARCH" = win64 ] && kind="$kind: 32-bit programs do not start on this Linux"
fi
trap 'wineserver -k 2>/dev/null || true' EXIT
echo "provider-order.exe: $size bytes, provider-order-check.exe: $(stat -c %s "$build/provider-order-check.exe") bytes, $kind"
echo "$(date -u +%Y-%m-%d), $(uname -m), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(wine --version), median of $runs runs"
echo
echo "| providers | tool: registry calls | reg add: registry calls | tool: median ms | reg add: median ms | tool / reg add |"
echo "|---:|---:|---:|---:|---:|---:|"
for count in 2 10 30; do
    seed "$count"
    order=$(joined_subkeys "$key")
    WINEDEBUG=+relay wine "$exe" 2>"$work/tool.trace" || true
    tool_calls=$(count_calls "$exe" "$work/tool.trace" 'Call advapi32\.RegOpenKeyExA\((ffffffff)?80000002,.*Print\\\\Providers')
    WINEDEBUG=+relay wine reg add "$key" /v Order /t REG_MULTI_SZ /d "$order" /f 2>"$work/reg.trace" >/dev/null || true
    reg_calls=$(count_calls "$WINEPREFIX/drive_c/windows/system32/reg.exe" "$work/reg.trace" 'Call advapi32\.Reg(Create|Open)KeyExW\((ffffffff)?80000002,.*Print\\\\Providers')
    tool_ms=$(median_ms wine "$exe")
    reg_ms=$(median_ms wine reg add "$key" /v Order /t REG_MULTI_SZ /d "$order" /f)
    ratio=$(awk -v a="$tool_ms" -v b="$reg_ms" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    echo "| $count | $tool_calls | $reg_calls | $tool_ms | $reg_ms | $ratio |"
done
echo
echo "floor for the tool: open, one enumeration per provider and the last, an open and a close per"
echo "provider to prove its name, write, close = 3 x providers + 4"

# The fleets name other computers: they run on a network of their own,
# where what the checker tries never leaves this machine.
echo "making a network of its own for the fleets ..." >&2
hosts="$work/hosts"
printf '127.0.0.1 localhost %s\n' "$(hostname)" >"$hosts"
# The names of computers switched off, whose packets are dropped: a hundred,
# each named many times in the largest fleet, for a longer hosts file would
# cost each lookup more than a name server's cache does.
for ((i = 0; i < 100; i++)); do echo "127.0.0.2 slow-off-$i"; done >>"$hosts"
in_loopback_network "$hosts" 127.0.0.2 "$root/scripts/bench-fleets.sh" "$build" || true
