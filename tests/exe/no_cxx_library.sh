#!/usr/bin/env bash
# The shipped exes link no C++ library: none of the objects they are linked
# from holds or calls std:: code, operator new or delete, or the C++
# runtime's __cxa_ and __gxx_ routines. Such code would come from GCC's
# libstdc++ even in the clang build, which is not ABI-safe there.
#
#   no_cxx_library.sh NM OBJECT...
set -uo pipefail
nm=$1
shift
symbols=$("$nm" -A -C "$@") || { echo "$nm could not read the objects"; exit 1; }
# Demangled, or mangled where nm cannot demangle a 32-bit name (llvm-nm
# does not strip its leading underscore): std's nested names and its
# abbreviations (St, Ss, Sa, ...), then operator new and delete.
mangled='_Z[A-Z]*S[tabsiod]|_Z(nw|na|dl|da)[a-zA-Z]'
found=$(grep -E "std::|operator (new|delete)|__cxa_|__gxx_|$mangled" <<<"$symbols")
if [ -n "$found" ]; then
    echo "C++ library code in the exe's objects:"
    echo "$found" | head -n 20
    exit 1
fi
echo "no C++ library code in $# objects"
