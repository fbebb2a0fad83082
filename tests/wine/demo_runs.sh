#!/usr/bin/env bash
# The README's first command runs scripts/demo.sh on the built exes: it
# must show Order stale before the repair and rebuilt from the subkeys
# after it, with the checker's verdict each time.
#
#   demo_runs.sh BUILD_DIR
set -uo pipefail
output=$("$(dirname "$0")/../../scripts/demo.sh" "$1" 2>&1)
status=$?
echo "$output"
[ "$status" -eq 0 ] || { echo "demo.sh exited with $status"; exit 1; }
for shown in 'Order before: Retired Fax Provider\0LanMan Print Services' 'says: stale' 'exited with 0' \
    'Order after:  Internet Print Provider\0LanMan Print Services' 'says: current'; do
    grep -qF -- "$shown" <<<"$output" || { echo "not shown: $shown"; exit 1; }
done
