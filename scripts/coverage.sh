#!/usr/bin/env bash
# Line and branch coverage of the product code (common/, shell/ and provider_order/)
# by the native unit tests, death-test children included. One summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/coverage
cmake --preset coverage >/dev/null
cmake --build --preset coverage >/dev/null
rm -rf "$build/profiles"
LLVM_PROFILE_FILE="$PWD/$build/profiles/%p.profraw" ctest --preset coverage >"$build/ctest.log" 2>&1 ||
    { cat "$build/ctest.log"; exit 1; }
llvm-profdata merge -sparse "$build"/profiles/*.profraw -o "$build/merged.profdata"

objects=("$build/tests/unit/shell_tests" -object "$build/tests/unit/provider_order_tests")
sources=(common/*.cpp shell/*.cpp provider_order/*.cpp)
llvm-cov report -instr-profile "$build/merged.profdata" "${objects[@]}" "${sources[@]}" >"$build/report.txt"
llvm-cov show -instr-profile "$build/merged.profdata" "${objects[@]}" "${sources[@]}" \
    -show-branches=count -format=text >"$build/lines.txt"
awk '/^TOTAL/ {
    printf "coverage of common/, shell/ and provider_order/: lines %s (%d of %d), branches %s (%d of %d); details in build/coverage/\n",
        $10, $8 - $9, $8, $13, $11 - $12, $11
}' "$build/report.txt"
