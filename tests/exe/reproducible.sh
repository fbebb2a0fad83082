#!/usr/bin/env bash
# Builds the exe twice from copies of the same sources in two unrelated
# folders and compares the bytes: nothing of the date, the folder or the
# machine may reach the exe.
#
#   reproducible.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir=$1
work=$2
rm -rf "$work"

exes=()
for tree in first "second/placed elsewhere"; do
    copy="$work/$tree/src"
    mkdir -p "$copy"
    if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        (cd "$source_dir" && git ls-files -co --exclude-standard -z | xargs -0 cp --parents -t "$copy")
    else
        tar -C "$source_dir" --exclude=./build --exclude=./dist -cf - . | tar -C "$copy" -xf -
    fi
    (cd "$copy" && cmake --preset win32 >/dev/null && cmake --build --preset win32 --target provider-order >/dev/null)
    exes+=("$copy/build/win32/provider-order.exe")
done

sha256sum "${exes[@]}" | sed "s|$work/||"
cmp "${exes[@]}" && echo "identical"
