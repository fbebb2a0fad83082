#!/usr/bin/env bash
# Configures and builds PRESET's two exes in one line of output; where that
# fails, all of what cmake and the compiler said.
#
#   quiet-build.sh --preset PRESET
set -uo pipefail
cd "$(dirname "$0")/.."
preset=$2
mkdir -p build
log=build/$preset.build.log
echo "building the $preset exes ..."
if ! { cmake --preset "$preset" && cmake --build --preset "$preset" --target provider-order provider-order-check; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "quiet-build.sh: building $preset failed; the output above is in $log" >&2
    exit 1
fi
