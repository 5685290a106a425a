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
# added to the corpus. A target that crashes keeps its input in BUILD_DIR/fuzz-long/TARGET and
# makes the script fail; its findings are not merged.
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
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/" \
        "$work" "$seeds" > "$2" 2>&1
}

mkdir -p "$build/fuzz-long"
echo 0 > "$build/fuzz-long/status"
printf '%-28s %8s %10s %22s %8s %6s\n' target cpu_s execs "features start/10%/end" result added
echo "$targets" | while read -r name fuzzer seeds dictionary; do
    if [ $# -gt 0 ] && ! echo " $* " | grep -q " $name "; then
        continue
    fi
    work=$build/fuzz-long/$name
    mkdir -p "$work"
    dict=
    [ "$dictionary" != - ] && dict=-dict=$dictionary
    first=$((seconds / 10 > 0 ? seconds / 10 : 1))
    result=clean
    if ! run_part "$first" "$work/first.log" || ! run_part "$((seconds - first))" "$work/rest.log"
    then
        result=CRASH
    fi
    [ -f "$work/rest.log" ] || : > "$work/rest.log"
    start=$(grep -m1 INITED "$work/first.log" | grep -o 'ft: [0-9]*' | grep -o '[0-9]*' || echo 0)
    tenth=$(last_value "$work/first.log" ft)
    end=$(last_value "$work/rest.log" ft)
    [ "$end" = 0 ] && end=$tenth
    execs=$(($(last_value "$work/first.log" stat::number_of_executed_units) +
        $(last_value "$work/rest.log" stat::number_of_executed_units)))
    cpu=$(cat "$work/first.log.cpu" "$work/rest.log.cpu" 2>/dev/null |
        awk '{ s += $1 + $2 } END { printf "%.0f", s }')
    added=0
    if [ $result = clean ]; then
        before=$(ls "$seeds" | wc -l)
        nice -n 19 "$fuzzer" -merge=1 "$seeds" "$work" > "$work/merge.log" 2>&1
        added=$(($(ls "$seeds" | wc -l) - before))
    fi
    printf '%-28s %8s %10s %22s %8s %6s\n' "$name" "$cpu" "$execs" "$start/$tenth/$end" \
        "$result" "$added"
    [ $result = clean ] || echo 1 > "$build/fuzz-long/status"
done
exit "$(cat "$build/fuzz-long/status" 2>/dev/null || echo 0)"
