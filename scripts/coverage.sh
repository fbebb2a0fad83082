#!/usr/bin/env bash
# Line and branch coverage of the product code by the native unit tests,
# death-test children included: all of it but the checker's entry, which
# only dispatches (its cases run under Wine). One summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/coverage
cmake --preset coverage >/dev/null
cmake --build --preset coverage >/dev/null
rm -rf "$build/profiles"
LLVM_PROFILE_FILE="$PWD/$build/profiles/%p.profraw" ctest --preset coverage >"$build/ctest.log" 2>&1 ||
    { cat "$build/ctest.log"; exit 1; }
llvm-profdata merge -sparse "$build"/profiles/*.profraw -o "$build/merged.profdata"

objects=("$build/tests/unit/shell_tests" -object "$build/tests/unit/provider_order_tests"
    -object "$build/tests/unit/checker_tests")
sources=(common/*.cpp shell/*.cpp provider_order/*.cpp checker/verdict.cpp checker/output.cpp)
llvm-cov report -instr-profile "$build/merged.profdata" "${objects[@]}" "${sources[@]}" >"$build/report.txt"
llvm-cov show -instr-profile "$build/merged.profdata" "${objects[@]}" "${sources[@]}" \
    -show-branches=count -format=text >"$build/lines.txt"
awk '/^TOTAL/ {
    printf "coverage of the product code: lines %s (%d of %d), branches %s (%d of %d); details in build/coverage/\n",
        $10, $8 - $9, $8, $13, $11 - $12, $11
}' "$build/report.txt"
