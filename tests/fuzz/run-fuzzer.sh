#!/usr/bin/env bash
# Runs one fuzz target for a bounded time from a copy of its seed corpus and prints
# how many inputs it tried. Fails on any finding. The random seed is fixed, so that a
# red run can be repeated; FUZZ_SEED=0 lets libFuzzer pick one for exploring.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4

rm -rf "$work"
mkdir -p "$work/corpus" "$work/findings"
cp "$seeds"/* "$work/corpus/"

"$fuzzer" "$work/corpus" -seed="${FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$work/findings/" -print_final_stats=1 2>"$work/log" || {
    tail -n 60 "$work/log"
    exit 1
}

grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/log"
