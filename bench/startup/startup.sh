#!/bin/sh
# startup.sh HELLO LAUNCH QUARSETUP SITE_DIR QUARNBXPIC QUARNBXADMIN QUARNBX [PAIRS] [RUNS]
# Times the start of the CGI programs on an installed site (quarsetup, set-up done: a settings
# file and an administrator session exist) against a static C program that prints one line
# (the yardstick). Programs are run directly (no wrapper process) with the CGI environment:
#   image           quarnbxpic, QUERY_STRING=logo.gif
#   start page      quarnbxadmin without a request name, from another client than the session's
#   main page       quarnbxadmin "main" with the session's token, from the session's client
#   endpoint test   quarnbx with the body "|test"; a body needs a program that opens it as
#                   standard input, so here both go through LAUNCH
# Yardstick and program alternate: PAIRS (default 7) hyperfine runs of RUNS (default 300)
# starts each, every second pair with the program first, so that a change of the machine's load
# falls on both. A pair's ratio is the program's median over the yardstick's; each program's
# line gives the median ratio of its pairs, their range, and the medians in milliseconds.
# Target: median ratio at most 1.2x for every program; fails above.
set -eu
hello=$1 launch=$2 quarsetup=$3 site=$4 pic=$5 admin=$6 nbx=$7
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp"
"$quarsetup" --data-dir "$work/data" --cgi-dir "$work/cgi" --registry "$work/machine.reg" \
    --bin-dir "$(dirname "$admin")" --site-dir "$site" >/dev/null
cp "$pic" "$admin" "$nbx" "$work/cgi/"
cd "$work/cgi"
export QUAR_MACHINE_REGISTRY="$work/machine.reg" TMP="$work/tmp" REQUEST_METHOD=POST

# Set-up through the real program: it stores the settings and opens the session.
form='compname=Bench&sysopname=Admin&sysoptel=1&pswd1=abcd&pswd2=abcd'
printf '%s' "$form" | REMOTE_ADDR=10.0.0.1 QUERY_STRING='init_base|x' CONTENT_LENGTH=${#form} \
    ./quarnbxadmin >"$work/setup.html"
test -s "$work/data/quar_settings.dat" && test -s "$work/data/quar_session.dat"
token=$(grep -o 'quarnbxadmin?[a-z]*|[0-9a-f]*' "$work/setup.html" | head -n 1 | cut -d'|' -f2)
printf '|test' >"$work/test.body"

# Each request must answer what it is timed for.
check() {
    pattern=$1
    shift
    "$@" </dev/null | grep -q "$pattern" || { echo "no \"$pattern\" from $*" >&2; exit 1; }
}
QUERY_STRING=logo.gif check GIF89a ./quarnbxpic
REMOTE_ADDR=10.0.0.2 check 'type="password"' ./quarnbxadmin
REMOTE_ADDR=10.0.0.1 QUERY_STRING="main|$token" check "options|$token" ./quarnbxadmin
CONTENT_LENGTH=5 check 'Orvelle Pellmora' "$launch" "$work/test.body" ./quarnbx

pairs=${8:-7} runs=${9:-300}
# run NAME YARDSTICK PROGRAM: the pairs of one program; prints its line, keeps its ratios.
run() {
    name=$1 yardstick=$2 program=$3
    for pair in $(seq "$pairs"); do
        if [ $((pair % 2)) -eq 1 ]; then
            set -- "$yardstick" "$program"
        else
            set -- "$program" "$yardstick"
        fi
        hyperfine -N --style basic --warmup 30 --runs "$runs" \
            --export-json "$work/$name.$pair.json" "$@" >/dev/null 2>&1
    done
    python3 - "$work" "$name" "$yardstick" <<'PY'
import glob, json, statistics, sys
work, name, yardstick = sys.argv[1:]
ratios, programs, yardsticks = [], [], []
for path in sorted(glob.glob(f"{work}/{name}.*.json")):
    results = {r["command"]: r["median"] for r in json.load(open(path))["results"]}
    base = results.pop(yardstick)
    program = next(iter(results.values()))
    ratios.append(program / base)
    programs.append(program * 1e3)
    yardsticks.append(base * 1e3)
ratio = statistics.median(ratios)
print(f"{name:14s} {ratio:4.2f}x (range {min(ratios):.2f}-{max(ratios):.2f}x over {len(ratios)} "
      f"pairs)   program median {statistics.median(programs):.3f} ms "
      f"({min(programs):.3f}-{max(programs):.3f}), yardstick {statistics.median(yardsticks):.3f} ms "
      f"({min(yardsticks):.3f}-{max(yardsticks):.3f})")
open(f"{work}/{name}.ratio", "w").write(f"{ratio}\n")
PY
}
QUERY_STRING=logo.gif run image "$hello" ./quarnbxpic
REMOTE_ADDR=10.0.0.2 run start-page "$hello" ./quarnbxadmin
REMOTE_ADDR=10.0.0.1 QUERY_STRING="main|$token" run main-page "$hello" ./quarnbxadmin
CONTENT_LENGTH=5 run endpoint-test "$launch $work/test.body $hello" \
    "$launch $work/test.body ./quarnbx"
python3 - "$work" <<'PY'
import glob, sys
worst = max(float(open(f).read()) for f in glob.glob(sys.argv[1] + "/*.ratio"))
print(f"{'OK' if worst <= 1.2 else 'FAIL'}: every program at most {worst:.2f}x the yardstick "
      "(median of the pairs; target 1.2x)")
sys.exit(0 if worst <= 1.2 else 1)
PY
