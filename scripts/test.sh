#!/usr/bin/env bash
# Builds and runs every test: the unit tests natively under ASan and UBSan
# and again under valgrind, a short run of each fuzzer, lint, and for each
# cross build (gcc, clang) the checks over the exe and, under Wine on a
# throwaway prefix and a virtual display, the end-to-end cases (on a 64-bit
# build where 32-bit programs cannot run). Ends with one
# line: N passed, N failed.
set -uo pipefail
cd "$(dirname "$0")/.."

passed=0
failed=0
logs=build/test-logs
mkdir -p "$logs"

# Adds one ctest run's counts; a run that did not get as far as counting
# counts as one failure.
count_ctest() {
    local log=$1 line failures total
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    failures=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - failures))
    failed=$((failed + failures))
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

build() {
    local preset=$1
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$logs/build-$preset.log" 2>&1; then
        cat "$logs/build-$preset.log"
        echo "FAILED: build of $preset"
        failed=$((failed + 1))
        return 1
    fi
}

run_ctest() {
    local preset=$1
    echo "== $preset tests"
    build "$preset" || return
    ctest --preset "$preset" 2>&1 | tee "$logs/$preset.log"
    count_ctest "$logs/$preset.log"
}

run_ctest native
count_step "unit tests under valgrind" scripts/memcheck.sh
FUZZ_SECONDS=${FUZZ_SECONDS:-10} run_ctest fuzz
count_step "lint" scripts/lint.sh
run_ctest win32
run_ctest win32-clang
# A kernel built or booted without 32-bit support cannot start 32-bit Wine;
# the cases then run on a 64-bit build of the same sources, so that they
# still run on Wine's real registry.
. scripts/wine-env.sh
if [ "$WINE_DEFAULT_ARCH" = win64 ]; then
    echo "== 32-bit programs do not start on this Linux: the Wine cases run on the 64-bit build"
    run_ctest win64-wine
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
