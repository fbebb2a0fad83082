#!/usr/bin/env bash
# clang-tidy and cppcheck over the product code, and clang-format over all
# the C++: zero findings, or it fails.
set -uo pipefail
cd "$(dirname "$0")/.."
product=(common/*.cpp shell/*.cpp provider_order/*.cpp)
# The checker's entry calls what the stand-in leaves out: its compile
# commands come from the clang cross build.
checker=(checker/*.cpp)
status=0

# clang-tidy reads the compile commands of a clang build against the stand-in.
cmake --preset coverage >/dev/null || exit 1
echo "clang-tidy:"
clang-tidy -quiet -p build/coverage "${product[@]}" 2>/dev/null || status=1
cmake --preset win32-clang >/dev/null || exit 1
clang-tidy -quiet -p build/win32-clang "${checker[@]}" 2>/dev/null || status=1

echo "cppcheck:"
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ \
    --enable=warning,style,performance,portability --inline-suppr \
    -I tests/standin --suppress=missingIncludeSystem "${product[@]}" "${checker[@]}" || status=1

echo "clang-format:"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror || status=1

[ "$status" -eq 0 ] && echo "lint: clean"
exit "$status"
