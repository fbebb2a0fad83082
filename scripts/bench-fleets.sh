#!/usr/bin/env bash
# The checker on fleets of computers, for bench.sh, which runs it on a
# network of its own (in_loopback_network): this computer's own name
# resolves to loopback and refuses the look, as a computer that is on;
# slow-off-N resolve to an address whose packets are dropped, as computers
# switched off; any other name resolves to nothing. Through the tests' stand-in
# for a slow network, a computer named slow-... answers 53 only after
# SLOW_NETWORK_MS. Beside the figures, the checker as it landed before the
# look, built from that commit where this is a git checkout that has it.
# Prints; asserts nothing.
#
#   bench-fleets.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
. "$root/scripts/wine-env.sh"
work="$root/build/bench"
key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Providers'
checker="$build/provider-order-check.exe"
slow_network=("$build/with_slow_network.exe" "$build/slow_network.dll")
own=$(wine cmd /c echo %COMPUTERNAME% | tr -d '\r')
wine reg add "$key\\LanMan Print Services" /f >/dev/null

seconds() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.1f", ns / 1e9 }'
}
listed() {
    echo "@$(wine winepath -w "$1" | tr -d '\r')"
}
# The most threads the checker's process held, and its memory at its peak
# (MB), sampled from /proc while it runs: a run of its own, as the sampling
# takes time from the run. Wine names the process after its exe, cut to the
# 15 characters Linux keeps.
held() {
    local runner most=0 peak=0 pid count resident
    wine "${slow_network[@]}" "$@" >/dev/null 2>&1 &
    runner=$!
    while kill -0 "$runner" 2>/dev/null; do
        for pid in $(pgrep -x 'provider-order-'); do
            count=$(ls "/proc/$pid/task" 2>/dev/null | wc -l)
            ((count > most)) && most=$count
            resident=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
            [ -n "$resident" ] && ((resident > peak)) && peak=$resident
        done
        sleep 0.005
    done
    wait "$runner" || true
    echo "$most $((peak / 1024))"
}

# A fleet of COUNT computers of which SOME, spread evenly, are named PREFIX
# and a number, of DISTINCT numbers at most; the rest this computer and
# names that do not exist, in turn.
spread() {
    local count=$1 some=$2 prefix=$3 distinct=${4:-$2} i quick=0
    for ((i = 0; i < count; i++)); do
        if ((some > 0 && i * some % count < some)); then
            echo "$prefix$((i * some / count % distinct))"
        elif ((quick++ % 2)); then
            echo "$own"
        else
            echo "no-such-$i"
        fi
    done
}

BASELINE=719589a
baseline="$work/baseline-$BASELINE/src/build/$(basename "$build")/provider-order-check.exe"
if [ ! -f "$baseline" ] && git -C "$root" cat-file -e "$BASELINE^{commit}" 2>/dev/null; then
    rm -rf "$work/baseline-$BASELINE" && mkdir -p "$work/baseline-$BASELINE/src"
    git -C "$root" archive "$BASELINE" | tar -x -C "$work/baseline-$BASELINE/src"
    echo "building the checker as of $BASELINE, for its figures ..." >&2
    (cd "$work/baseline-$BASELINE/src" && cmake --preset "$(basename "$build")" &&
        cmake --build --preset "$(basename "$build")" --target provider-order-check) >"$work/baseline.log" 2>&1 ||
        echo "could not build it (see $work/baseline.log): its figures are n/a" >&2
fi

# 200 computers, 20 of which answer 53 only after 2 s, the rest at once:
# one after another, a process each (the for /f loop), against one list.
export SLOW_NETWORK_MS=2000
spread 200 20 slow- >"$work/fleet.txt"
one_after_another() {
    local name
    while read -r name; do
        wine "${slow_network[@]}" "$checker" "\\\\$name"
    done <"$work/fleet.txt"
}
serial=$(seconds one_after_another)
together=$(seconds wine "${slow_network[@]}" "$checker" "$(listed "$work/fleet.txt")")
echo
echo "The checker on a fleet: 200 computers, 20 of them slow (each answers 53 after 2 s), the rest at once"
echo
echo "| checked | wall s | / slowest computer |"
echo "|---|---:|---:|"
awk -v s="$serial" -v t="$together" 'BEGIN {
    printf "| one after another, a process a computer (the for /f loop) | %s | %.1f |\n", s, s / 2
    printf "| at once, from a list | %s | %.1f |\n", t, t / 2
    printf "\none after another / at once: %.1f\n", (t > 0 ? s / t : 0) }'
spread 2000 0 - >"$work/fleet-2000.txt"
echo "2,000 computers from a list, half of them unreachable, at once: $(seconds wine "$checker" "$(listed "$work/fleet-2000.txt")") s"

# 1,000 computers of which SLOW answer only after 3 s, spread evenly: names
# that do not resolve, which no look can answer for, so that threads must
# grow in their place. The rest half this computer, half names that do not
# exist.
export SLOW_NETWORK_MS=3000
echo
echo "The checker on a fleet whose computers answer late: 1,000 computers, each slow one answering 53 after 3 s"
echo
echo "| slow | wall s | / 3 s | threads held at most | $BASELINE: wall s | / 3 s |"
echo "|---:|---:|---:|---:|---:|---:|"
for slow in 0 200 500; do
    spread 1000 "$slow" slow- >"$work/fleet-slow-$slow.txt"
    list=$(listed "$work/fleet-slow-$slow.txt")
    now=$(seconds wine "${slow_network[@]}" "$checker" "$list")
    read -r threads _ <<<"$(held "$checker" "$list")"
    before=n/a
    [ -f "$baseline" ] && before=$(seconds wine "${slow_network[@]}" "$baseline" "$list")
    awk -v slow="$slow" -v now="$now" -v threads="$threads" -v before="$before" 'BEGIN {
        printf "| %d | %s | %.2f | %d | %s | %s |\n", slow, now, now / 3, threads, before,
            (before == "n/a" ? "n/a" : sprintf("%.2f", before / 3)) }'
done

# 10,000 computers of which OFF are switched off, spread evenly: their
# packets dropped, and the stand-in holding their registry's connection
# 20 s, as Windows' network would, should the checker ask it; a hundred
# names, each named many times, which the checker takes each time as a
# computer of its own. The rest half this computer, half names that do
# not exist.
export SLOW_NETWORK_MS=20000
wait=5
echo
echo "The checker on 10,000 computers with some switched off, each with a look of ${wait} s, and as it was ($BASELINE)"
echo
echo "| off | wall s | / ${wait} s | over none off, / ${wait} s | threads held at most | memory peak MB | $BASELINE: wall s | threads | memory MB |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
none_off=
for off in 0 1000 5000; do
    spread 10000 "$off" slow-off- 100 >"$work/fleet-off-$off.txt"
    list=$(listed "$work/fleet-off-$off.txt")
    now=$(seconds wine "${slow_network[@]}" "$checker" "$list")
    : "${none_off:=$now}"
    read -r threads memory <<<"$(held "$checker" "$list")"
    before=n/a before_threads=n/a before_memory=n/a
    if [ -f "$baseline" ]; then
        before=$(seconds wine "${slow_network[@]}" "$baseline" "$list")
        read -r before_threads before_memory <<<"$(held "$baseline" "$list")"
    fi
    awk -v off="$off" -v now="$now" -v none="$none_off" -v wait="$wait" -v threads="$threads" -v memory="$memory" \
        -v before="$before" -v bt="$before_threads" -v bm="$before_memory" 'BEGIN {
        printf "| %d | %s | %.2f | %.2f | %d | %d | %s | %s | %s |\n", off, now, now / wait, (now - none) / wait,
            threads, memory, before, bt, bm }'
done
echo
echo "threads held: the process's own, the one that writes in order among them"
