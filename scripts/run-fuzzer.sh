#!/bin/sh
# run-fuzzer.sh FUZZER SEED_DIR WORK_DIR SECONDS [DICTIONARY]
# Runs one libFuzzer target for SECONDS over its seed corpus; new inputs go to WORK_DIR so the
# repository's corpus stays as committed. A crash leaves its input in WORK_DIR and fails.
set -eu
fuzzer=$1 seeds=$2 work=$3 seconds=$4
dict=${5:+-dict=$5}
mkdir -p "$work"
cd "$work"
exec "$fuzzer" $dict -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work" "$seeds"
