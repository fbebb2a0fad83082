#!/usr/bin/env bash
# The native unit tests under valgrind's memcheck, built without sanitizers
# (the two do not mix). Any error or leak fails the run.
set -uo pipefail
cd "$(dirname "$0")/.."
cmake --preset memcheck >/dev/null && cmake --build --preset memcheck >/dev/null || exit 1
status=0
for tests in build/memcheck/tests/unit/*_tests; do
    # valgrind runs one thread at a time: the 1,024 threads of the limit's
    # case take it longer than a case may, and add nothing the others lack.
    if valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite -q "$tests" \
        --gtest_filter=-Checker.TheThreadLimitHolds >"$tests.valgrind.log" 2>&1; then
        echo "memcheck clean: $(basename "$tests")"
    else
        cat "$tests.valgrind.log"
        status=1
    fi
done
exit "$status"
