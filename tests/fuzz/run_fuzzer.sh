#!/usr/bin/env bash
# Runs one fuzzer for SECONDS from the checked-in seeds. New inputs and any
# crashing input go to the work folder, never into the seeds; the exit code
# is libFuzzer's, non-zero on a finding.
#
#   run_fuzzer.sh FUZZER SEEDS WORK SECONDS
set -uo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work/corpus"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" "$seeds" >"$work/log" 2>&1
status=$?
grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY|Test unit written' "$work/log"
[ "$status" -eq 0 ] || tail -n 40 "$work/log"
exit "$status"
