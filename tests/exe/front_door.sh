#!/usr/bin/env bash
# The front door names, before it installs anything, the cross build it
# will use once it has: `make -n` of each target that builds, on a PATH
# that holds no toolchain, a clang that builds by itself, or a mingw-w64
# gcc (stubs that say yes to anything), must name that preset and no other.
# A fresh machine has none and gets the gcc. (The Wine build, win64-wine
# where 32-bit programs cannot start, is chosen once Wine is in.)
#
#   front_door.sh SOURCE_DIR WORK_DIR
set -uo pipefail
source_dir=$1 work=$2
rm -rf "$work"
status=0

# toolchain on PATH | the preset every target must name
rows=(
    "|win32"
    "clang++ ld.lld|win32-clang"
    "clang++ ld.lld i686-w64-mingw32-g++|win32"
)
for row in "${rows[@]}"; do
    IFS='|' read -r stubs preset <<<"$row"
    tools="$work/${preset}-${stubs// /-}"
    mkdir -p "$tools"
    for tool in bash sh make env cat cut dirname grep id readlink; do
        ln -s "$(command -v "$tool")" "$tools/$tool"
    done
    for stub in $stubs; do
        printf '#!/bin/sh\nexit 0\n' >"$tools/$stub"
        chmod +x "$tools/$stub"
    done
    for target in exe demo dist bench; do
        named=$(env -i HOME="$work" PATH="$tools" make -n -C "$source_dir" "$target" 2>&1 |
            grep -oE -- '--preset win32[a-z0-9-]*' | sort -u | tr '\n' ' ')
        echo "with [${stubs:-nothing}] make -n $target names: ${named:-no preset}"
        [ "${named% }" = "--preset $preset" ] || status=1
    done
done
exit "$status"
