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
trap 'wineserver -k 2>/dev/null || true' EXIT

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
[ "$(exe_arch "$exe")" = win64 ] && kind="a 64-bit build of the same sources: 32-bit programs do not start on this Linux"
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

# A fleet for the checker: computers named slow-N answer 53 only after
# SLOW_MS, through the stand-in for a slow network that the tests use;
# this computer's own name (reachable) and other names (53 at once) answer
# at once.
SLOW_MS=2000
checker="$build/provider-order-check.exe"
slow_network=("$build/with_slow_network.exe" "$build/slow_network.dll" "$checker")
own=$(wine cmd /c echo %COMPUTERNAME% | tr -d '\r')
fleet() {
    local count=$1 slow=$2 i
    for ((i = 0; i < count; i++)); do
        if ((i % (count / slow) == 0)); then
            echo "slow-$i"
        elif ((i % 2)); then
            echo "$own"
        else
            echo "no-such-$i"
        fi
    done
}
seconds() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.1f", ns / 1e9 }'
}
one_after_another() {
    local name
    while read -r name; do
        wine "${slow_network[@]}" "\\\\$name"
    done <"$1"
}
export SLOW_NETWORK_MS=$SLOW_MS
wine reg add "$key\\LanMan Print Services" /f >/dev/null
fleet 200 20 >"$work/fleet.txt"
serial=$(seconds one_after_another "$work/fleet.txt")
together=$(seconds wine "${slow_network[@]}" "@$(wine winepath -w "$work/fleet.txt" | tr -d '\r')")
echo
echo "The checker on a fleet: 200 computers, 20 of them slow (each answers 53 after $((SLOW_MS / 1000)) s), the rest at once"
echo
echo "| checked | wall s | / slowest computer |"
echo "|---|---:|---:|"
awk -v s="$serial" -v t="$together" -v slowest="$((SLOW_MS / 1000))" 'BEGIN {
    printf "| one after another, a process a computer (the for /f loop) | %s | %.1f |\n", s, s / slowest
    printf "| at once, from a list | %s | %.1f |\n", t, t / slowest
    printf "\none after another / at once: %.1f\n", (t > 0 ? s / t : 0) }'
# A larger list: half of it this computer, half unreachable.
for ((i = 0; i < 2000; i++)); do if ((i % 2)); then echo "$own"; else echo "no-such-$i"; fi; done >"$work/fleet-2000.txt"
echo "2,000 computers from a list, half of them unreachable, at once: $(seconds wine "$checker" "@$(wine winepath -w "$work/fleet-2000.txt" | tr -d '\r')") s"

# A fleet with computers switched off: 1,000 computers from one list, of
# which OFF answer 53 only after 3 s (the network giving up on a computer
# that is off), spread evenly; the rest half this computer and half names
# that do not exist. Beside it the same fleets on the checker as it was
# while it held 32 threads at once, built from that commit where this is a
# git checkout that has it.
BASELINE=e5fb593
OFF_MS=3000
export SLOW_NETWORK_MS=$OFF_MS
off_fleet() {
    local off=$1 i quick=0
    for ((i = 0; i < 1000; i++)); do
        if ((off > 0 && i * off % 1000 < off)); then
            echo "slow-$i"
        elif ((quick++ % 2)); then
            echo "$own"
        else
            echo "no-such-$i"
        fi
    done
}
baseline="$work/baseline/src/build/$(basename "$build")/provider-order-check.exe"
if [ ! -f "$baseline" ] && git -C "$root" cat-file -e "$BASELINE^{commit}" 2>/dev/null; then
    rm -rf "$work/baseline" && mkdir -p "$work/baseline/src"
    git -C "$root" archive "$BASELINE" | tar -x -C "$work/baseline/src"
    echo "building the checker as of $BASELINE, for its figures ..." >&2
    (cd "$work/baseline/src" && cmake --preset "$(basename "$build")" &&
        cmake --build --preset "$(basename "$build")" --target provider-order-check) >"$work/baseline.log" 2>&1 ||
        echo "could not build it (see $work/baseline.log): its figures are n/a" >&2
fi
# The most threads the checker's process held, sampled from /proc while it
# runs (a run of its own: the sampling takes time from the run). Wine names
# the process after its exe, cut to the 15 characters Linux keeps.
threads_held() {
    local runner most=0 pid count
    wine "${slow_network[@]}" "$1" >/dev/null 2>&1 &
    runner=$!
    while kill -0 "$runner" 2>/dev/null; do
        for pid in $(pgrep -x 'provider-order-'); do
            count=$(ls "/proc/$pid/task" 2>/dev/null | wc -l)
            ((count > most)) && most=$count
        done
        sleep 0.005
    done
    wait "$runner" || true
    echo "$most"
}
echo
echo "The checker on a fleet with computers switched off: 1,000 computers, each one off answering 53 after $((OFF_MS / 1000)) s"
echo
echo "| computers off | wall s | / one time-out | threads held at most | 32 at once, as before: wall s | / one time-out |"
echo "|---:|---:|---:|---:|---:|---:|"
for off in 0 200 500; do
    off_fleet "$off" >"$work/fleet-off-$off.txt"
    list="@$(wine winepath -w "$work/fleet-off-$off.txt" | tr -d '\r')"
    now=$(seconds wine "${slow_network[@]}" "$list")
    held=$(threads_held "$list")
    before=n/a
    if [ -f "$baseline" ]; then
        before=$(seconds wine "$build/with_slow_network.exe" "$build/slow_network.dll" "$baseline" "$list")
    fi
    awk -v off="$off" -v now="$now" -v held="$held" -v before="$before" -v timeout="$((OFF_MS / 1000))" 'BEGIN {
        printf "| %d | %s | %.2f | %d | %s | %s |\n", off, now, now / timeout, held, before,
            (before == "n/a" ? "n/a" : sprintf("%.2f", before / timeout)) }'
done
echo
echo "threads held: the process's own, the one that writes in order among them"
