#!/usr/bin/env bash
# `make exe` on a machine that has only cmake, make, the cross toolchain and
# coreutils: no Python, no Wine, no apt or dpkg. Runs a copy of the sources
# with PATH holding links to just those tools. For clang, in a build folder
# configured before the mingw-w64 gcc was there.
#
#   bare_build.sh SOURCE_DIR WORK_DIR PRESET
set -euo pipefail
source_dir=$1 work=$2 preset=$3
rm -rf "$work"
mkdir -p "$work/tools"

link() { ln -s "$(command -v "$1")" "$work/tools/$1"; }
for tool in bash sh cmake make basename cat cp cut dirname env head id ln ls mkdir mv readlink rm sort tail \
    touch tr uname; do
    link "$tool"
done
"$(dirname "$0")/copy_sources.sh" "$source_dir" "$work/src"

# The clang build takes the mingw-w64 gcc's libraries. Its folder, once
# configured before that gcc was installed (an install that failed midway,
# or the preset typed first), must build once it is: what the toolchain
# file finds is found again at every configure.
if [ "$preset" = win32-clang ]; then
    link clang++
    link ld.lld
    (cd "$work/src" && env -i HOME="$work" PATH="$work/tools" cmake --preset "$preset") >"$work/before-gcc.log" 2>&1 ||
        true
fi
compiler=$(command -v i686-w64-mingw32-g++)
for tool in "$(dirname "$compiler")"/i686-w64-mingw32-*; do
    link "$(basename "$tool")"
done
for absent in python3 python wine apt-get dpkg; do
    if PATH="$work/tools" command -v "$absent"; then
        echo "$absent should be out of reach" >&2
        exit 1
    fi
done
env -i HOME="$work" PATH="$work/tools" make -C "$work/src" exe PRESET="$preset" | tee "$work/make.log"
grep -q 'Left out.*exe checks.*Wine cases' "$work/make.log"
ls -l "$work/src/build/$preset/"*.exe
