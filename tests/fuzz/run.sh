#!/usr/bin/env bash
# Runs one fuzz target for a fixed time over its seed corpus and the inputs
# it found before (kept in the work folder, never in the repository), and
# prints one summary line. Fails when the target finds a fault; the input is
# then left in the work folder as crash-*, timeout-* or oom-*.
#   run.sh <fuzz program> <seed corpus> <work folder> <seconds> [libFuzzer options]
set -uo pipefail
program=$1 seeds=$2 work=$3 seconds=$4
shift 4
mkdir -p "$work/corpus"
log="$work/last.log"
"$program" "$work/corpus" "$seeds" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/" "$@" >"$log" 2>&1
status=$?
runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log" | tail -1)
coverage=$(grep -E '^#[0-9]+' "$log" | grep -oE 'cov: [0-9]+ ft: [0-9]+' | tail -1)
findings=$(ls "$work" | grep -cE '^(crash|timeout|oom|leak)-' || true)
echo "$(basename "$program"): ${runs:-0} executions, ${coverage:-no coverage}, $findings findings, status $status"
if [ "$status" != 0 ]; then
  tail -40 "$log"
  exit 1
fi
