#!/usr/bin/env bash
# Copies the project's sources, and nothing built, into a new folder: the
# tracked and untracked files that git would not ignore, or without git the
# tree less build/ and dist/.
#
#   copy_sources.sh SOURCE_DIR DESTINATION
set -euo pipefail
source_dir=$1 destination=$2
mkdir -p "$destination"
if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$source_dir" && git ls-files -co --exclude-standard -z | xargs -0 cp --parents -t "$destination")
else
    tar -C "$source_dir" --exclude=./build --exclude=./dist -cf - . | tar -C "$destination" -xf -
fi
