#!/usr/bin/env bash
# The front door names, before it installs anything, the cross build it
# will use once it has: `make -n` of each target that builds, on a PATH
# that holds no toolchain, a clang that builds by itself, or a mingw-w64
# gcc (stubs that say yes to anything), must name that preset and no other.
# A fresh machine has none and gets the gcc. The demo's and the bench's
# runs name the Wine build: the 32-bit one where wine starts, the 64-bit one
# where it fails as it does on a kernel without ia32 emulation. No shell
# error may show on the way: $(shell) reads with /bin/sh.
#
#   front_door.sh SOURCE_DIR WORK_DIR
set -uo pipefail
source_dir=$1 work=$2
rm -rf "$work"
status=0

# A PATH of the shell tools make and the scripts use.
tool_path() {
    local tools=$1 tool
    mkdir -p "$tools"
    for tool in bash sh make env cat cut dirname grep id readlink; do
        ln -s "$(command -v "$tool")" "$tools/$tool"
    done
}

# A program TOOL on that PATH that prints TEXT and exits with STATUS.
stub() {
    local tools=$1 tool=$2 text=${3:-} status=${4:-0}
    printf '#!/bin/sh\necho "%s"\nexit %s\n' "$text" "$status" >"$tools/$tool"
    chmod +x "$tools/$tool"
}

# make -n TARGET on PATH TOOLS; fails on any shell error it printed.
make_n() {
    local tools=$1 target=$2 output
    output=$(env -i HOME="$work" PATH="$tools" make -n -C "$source_dir" "$target" 2>&1)
    if grep -E 'Syntax error|^/bin/sh:|\*\*\*' <<<"$output"; then
        echo "make -n $target printed an error"
        return 1
    fi
    printf '%s\n' "$output"
}

# toolchain on PATH | the preset every target must name
rows=(
    "|win32"
    "clang++ ld.lld|win32-clang"
    "clang++ ld.lld i686-w64-mingw32-g++|win32"
)
for row in "${rows[@]}"; do
    IFS='|' read -r stubs preset <<<"$row"
    tools="$work/${preset}-${stubs// /-}"
    tool_path "$tools"
    for tool in $stubs; do stub "$tools" "$tool"; done
    for target in exe demo dist bench; do
        named=$(make_n "$tools" "$target" | grep -oE -- '--preset win32[a-z0-9-]*' | sort -u | tr '\n' ' ')
        echo "with [${stubs:-nothing}] make -n $target names: ${named:-no preset}"
        [ "${named% }" = "--preset $preset" ] || status=1
    done
done

# what wine says | its exit code | the build the runs use
rows=(
    "wine-8.0 (Debian 8.0~repack-4)|0|win32"
    "/usr/lib/wine/wine: Exec format error|126|win64-wine"
)
for row in "${rows[@]}"; do
    IFS='|' read -r text code preset <<<"$row"
    tools="$work/wine-$code"
    tool_path "$tools"
    stub "$tools" wine "$text" "$code"
    stub "$tools" i686-w64-mingw32-g++
    for target in demo-run bench-run; do
        named=$(make_n "$tools" "$target" | grep -oE -- 'scripts/[a-z]+\.sh build/[a-z0-9-]+' | sort -u)
        echo "with a wine that exits $code, make -n $target runs: ${named:-nothing}"
        [ "${named##* build/}" = "$preset" ] || status=1
    done
done
exit "$status"
