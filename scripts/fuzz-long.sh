#!/bin/sh
# fuzz-long.sh [-t SECONDS] [-b BUILD_DIR] [TARGET...]
#
# A long campaign: runs every libFuzzer target of the sanitizer tree (or those named) for
# SECONDS each (default 1200) at the lowest priority, starting from its committed corpus and the
# inputs of earlier campaigns, then merges what added coverage back into the committed corpus
# (libFuzzer's merge keeps only inputs that add features). Each target runs its first tenth and
# then the rest, so that the features at the start, after 10% and at the end can be told.
#
# Prints one line per target: CPU seconds, executions, features at start/10%/end, result, inputs
# added to the corpus. A target that crashes keeps its input in BUILD_DIR/fuzz-long/logs/TARGET
# and makes the script fail; its findings are not merged.
set -eu

seconds=1200
build=build/asan
while getopts t:b: option; do
    case $option in
        t) seconds=$OPTARG ;;
        b) build=$OPTARG ;;
        *) echo "usage: $0 [-t SECONDS] [-b BUILD_DIR] [TARGET...]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
# Absolute: a target may change its working directory.
build=$(cd "$build" && pwd)

# The targets as ctest knows them: the long test's command is
# run-fuzzer.sh FUZZER SEED_DIR WORK_DIR SECONDS [DICTIONARY].
targets=$(ctest --test-dir "$build" -L fuzz-long --show-only=json-v1 | python3 -c '
import json, sys
for test in json.load(sys.stdin)["tests"]:
    c = test["command"]
    print(test["name"][:-len(".long")], c[1], c[2], c[5] if len(c) > 5 else "-")
')
if [ -z "$targets" ]; then
    echo "no fuzz targets in $build (configure the asan preset)" >&2
    exit 2
fi

# The value of "key: number" in the last line of $1 that has it.
last_value() {
    grep -o "$2: [0-9]*" "$1" | tail -n 1 | grep -o '[0-9]*$' || echo 0
}

# Runs $fuzzer for $1 seconds from the corpus and the work directory into the log $2; the CPU
# time it took goes to $2.cpu.
run_part() {
    /usr/bin/time -o "$2.cpu" -f "%U %S" nice -n 19 "$fuzzer" $dict -max_total_time="$1" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$logs/" \
        "$work" "$seeds" > "$2" 2>&1
}

mkdir -p "$build/fuzz-long"
echo 0 > "$build/fuzz-long/status"
printf '%-28s %8s %10s %22s %8s %6s\n' target cpu_s execs "features start/10%/end" result added
echo "$targets" | while read -r name fuzzer seeds dictionary; do
    if [ $# -gt 0 ] && ! echo " $* " | grep -q " $name "; then
        continue
    fi
    # The work directory is a corpus: libFuzzer takes every file in it as an input, so the logs
    # go beside it, never into it.
    work=$build/fuzz-long/$name
    logs=$build/fuzz-long/logs/$name
    mkdir -p "$work" "$logs"
    dict=
    [ "$dictionary" != - ] && dict=-dict=$dictionary
    first=$((seconds / 10 > 0 ? seconds / 10 : 1))
    result=clean
    if ! run_part "$first" "$logs/first.log" || ! run_part "$((seconds - first))" "$logs/rest.log"
    then
        result=CRASH
    fi
    [ -f "$logs/rest.log" ] || : > "$logs/rest.log"
    start=$(grep -m1 INITED "$logs/first.log" | grep -o 'ft: [0-9]*' | grep -o '[0-9]*' || echo 0)
    tenth=$(last_value "$logs/first.log" ft)
    end=$(last_value "$logs/rest.log" ft)
    [ "$end" = 0 ] && end=$tenth
    execs=$(($(last_value "$logs/first.log" stat::number_of_executed_units) +
        $(last_value "$logs/rest.log" stat::number_of_executed_units)))
    cpu=$(cat "$logs/first.log.cpu" "$logs/rest.log.cpu" 2>/dev/null |
        awk '{ s += $1 + $2 } END { printf "%.0f", s }')
    added=0
    if [ $result = clean ]; then
        before=$(ls "$seeds" | wc -l)
        nice -n 19 "$fuzzer" -merge=1 "$seeds" "$work" > "$logs/merge.log" 2>&1
        added=$(($(ls "$seeds" | wc -l) - before))
    fi
    printf '%-28s %8s %10s %22s %8s %6s\n' "$name" "$cpu" "$execs" "$start/$tenth/$end" \
        "$result" "$added"
    [ $result = clean ] || echo 1 > "$build/fuzz-long/status"
done
exit "$(cat "$build/fuzz-long/status" 2>/dev/null || echo 0)"
