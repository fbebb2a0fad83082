#!/usr/bin/env bash
# Builds both presets and runs every test: the unit tests natively, the
# end-to-end cases under Wine on a throwaway prefix and a virtual display.
# Ends with one line: N passed, N failed.
set -uo pipefail
cd "$(dirname "$0")/.."

passed=0
failed=0
logs=build/test-logs
mkdir -p "$logs"

# Adds one ctest run's counts; a run that did not get as far as counting
# counts as one failure.
count() {
    local log=$1 line
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    local failures total
    failures=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - failures))
    failed=$((failed + failures))
}

build() {
    local preset=$1
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$logs/build-$preset.log" 2>&1; then
        cat "$logs/build-$preset.log"
        echo "build of $preset failed" >&2
        failed=$((failed + 1))
        return 1
    fi
}

if build native; then
    ctest --preset native 2>&1 | tee "$logs/native.log"
    count "$logs/native.log"
fi

if build win32; then
    xvfb-run -a ctest --preset win32 2>&1 | tee "$logs/win32.log"
    count "$logs/win32.log"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
