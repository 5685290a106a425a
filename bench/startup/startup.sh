#!/bin/sh
# startup.sh HELLO QUARNBXPIC QUARNBXADMIN SITE_DIR
# Times the start of the CGI programs side by side with a static C program that prints one
# line, each run directly (no wrapper process) with the query string in the environment:
#   QUERY_STRING=test  quarnbxpic serves the image "test", quarnbxadmin answers its banner;
#   QUERY_STRING=      quarnbxpic answers its banner.
# Prints each program's mean as a multiple of the yardstick's. Target: at most 1.2x.
set -eu
hello=$1 pic=$2 admin=$3 site=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$pic" "$admin" "$site/quar_nbx_mess.def" "$work/"
cp "$site/logo.gif" "$work/test"
cd "$work"

report() {
    python3 - "$1" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
base = results[0]["mean"]
for r in results:
    print(f"{r['command']:34s} {r['mean'] * 1e3:6.3f} ms ± {r['stddev'] * 1e3:5.3f}"
          f"   {r['mean'] / base:4.2f}x of the yardstick")
PY
}

echo "== image and admin banner (QUERY_STRING=test)"
QUERY_STRING=test hyperfine -N --style basic --warmup 300 --runs 3000 \
    --export-json "$work/a.json" "$hello" ./quarnbxpic ./quarnbxadmin >/dev/null 2>&1
report "$work/a.json"
echo "== image program banner (QUERY_STRING empty)"
QUERY_STRING= hyperfine -N --style basic --warmup 300 --runs 3000 \
    --export-json "$work/b.json" "$hello" ./quarnbxpic >/dev/null 2>&1
report "$work/b.json"
