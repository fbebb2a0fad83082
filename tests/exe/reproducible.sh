#!/usr/bin/env bash
# Builds both exes twice from copies of the same sources in two unrelated
# folders and compares the bytes: nothing of the date, the folder or the
# machine may reach the exe.
#
#   reproducible.sh SOURCE_DIR WORK_DIR PRESET
set -euo pipefail
source_dir=$1 work=$2 preset=$3
rm -rf "$work"

exes=()
for tree in first "second/placed elsewhere"; do
    copy="$work/$tree/src"
    "$(dirname "$0")/copy_sources.sh" "$source_dir" "$copy"
    (cd "$copy" && cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" --target provider-order provider-order-check >/dev/null)
    exes+=("$copy/build/$preset/provider-order.exe" "$copy/build/$preset/provider-order-check.exe")
done

sha256sum "${exes[@]}" | sed "s|$work/||"
cmp "${exes[0]}" "${exes[2]}" && cmp "${exes[1]}" "${exes[3]}" && echo "identical"
