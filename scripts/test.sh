#!/usr/bin/env bash
# Builds and runs every test: the unit tests natively under ASan and UBSan
# and again under valgrind, the checker's under ThreadSanitizer, a short
# run of each fuzzer, lint, and for each cross build (gcc, clang) the
# checks over the exe and, under Wine on a throwaway prefix and a virtual
# display, the end-to-end cases (on a 64-bit build where 32-bit programs
# cannot run). Ends with one line: N passed, N failed.
#
#   test.sh [--busy]    --busy: every core kept busy by a process that spins,
#                       as on a workstation doing other work, for the whole run
set -uo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --busy ]; then
    spinners=()
    for ((core = 0; core < $(nproc); core++)); do
        sh -c 'while :; do :; done' &
        spinners+=($!)
    done
    trap 'kill "${spinners[@]}" 2>/dev/null' EXIT
    echo "== every core kept busy by a spinning process, ${#spinners[@]} of them"
fi

passed=0
failed=0
skipped=0
logs=build/test-logs
mkdir -p "$logs"

# Adds one ctest run's counts; a run that did not get as far as counting
# counts as one failure. ctest counts a case skipped among those passed:
# here it is neither.
count_ctest() {
    local log=$1 line failures total skips
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    failures=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    skips=$(grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$log")
    passed=$((passed + total - failures - skips))
    failed=$((failed + failures))
    skipped=$((skipped + skips))
}

# A step that is one test: passes when the command does.
count_step() {
    local name=$1
    shift
    echo "== $name"
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "FAILED: $name"
        failed=$((failed + 1))
    fi
}

# Configures (with any further cmake arguments) and builds one preset.
build() {
    local preset=$1
    shift
    if ! { cmake --preset "$preset" "$@" && cmake --build --preset "$preset"; } >"$logs/build-$preset.log" 2>&1; then
        cat "$logs/build-$preset.log"
        echo "FAILED: build of $preset"
        failed=$((failed + 1))
        return 1
    fi
}

# The cases of a preset that have no time limit, one per line: a case that
# hangs must fail, not hold the run.
untimed_cases() {
    ctest --preset "$1" --show-only=json-v1 | python3 -c '
import json, sys
for test in json.load(sys.stdin)["tests"]:
    if not any(p["name"] == "TIMEOUT" for p in test.get("properties", [])):
        print(test["name"])'
}

# Runs ctest through the command in CTEST_LAUNCHER, if any.
ctest_launcher=()
run_ctest() {
    local preset=$1 untimed
    shift
    echo "== $preset tests"
    build "$preset" "$@" || return
    untimed=$(untimed_cases "$preset")
    if [ -n "$untimed" ]; then
        echo "FAILED: $preset has cases without a time limit:" $untimed
        failed=$((failed + 1))
        return
    fi
    "${ctest_launcher[@]}" ctest --preset "$preset" 2>&1 | tee "$logs/$preset.log"
    count_ctest "$logs/$preset.log"
    say_skip_reasons "$preset"
}

# ctest shows nothing of what a case it skips printed: each reason, with
# how many cases gave it.
say_skip_reasons() {
    local log="build/$1/Testing/Temporary/LastTest.log"
    [ -f "$log" ] || return 0
    grep -h '^skipped: ' "$log" | sort | uniq -c | sed -E 's/^ *([0-9]+) skipped: /== \1 skipped: /'
}

. scripts/wine-env.sh
# Where each win32 lane's Wine cases ran, in one line.
say_wine_cases() {
    if [ "$WINE_DEFAULT_ARCH" = win32 ]; then
        echo "== $1: the Wine cases ran on the 32-bit exes"
    else
        echo "== $1: the Wine cases were left out, since 32-bit programs cannot start here; they run on the 64-bit build"
    fi
}

run_ctest native
# ThreadSanitizer's runtime in clang 14 and gcc 12 cannot place its shadow
# memory under some kernels' address randomisation; without it, it can.
if setarch "$(uname -m)" -R true 2>/dev/null; then
    ctest_launcher=(setarch "$(uname -m)" -R)
fi
run_ctest tsan
ctest_launcher=()
count_step "unit tests under valgrind" scripts/memcheck.sh
run_ctest fuzz -DFUZZ_SECONDS="${FUZZ_SECONDS:-10}"
count_step "lint" scripts/lint.sh
run_ctest win32
say_wine_cases win32
run_ctest win32-clang
say_wine_cases win32-clang
# A kernel built or booted without 32-bit support cannot start 32-bit Wine;
# the cases then run on a 64-bit build of the same sources, so that they
# still run on Wine's real registry.
if [ "$WINE_DEFAULT_ARCH" = win64 ]; then
    run_ctest win64-wine
fi

[ "$skipped" -eq 0 ] || echo "== $skipped skipped, each reason above: neither passed nor failed"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
