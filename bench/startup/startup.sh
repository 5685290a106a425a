#!/bin/sh
# startup.sh HELLO QUARNBXPIC QUARNBXADMIN SITE_DIR
# Times, side by side in one hyperfine run, the start of the CGI programs answering a banner
# or an image against a static C program that prints one line, and prints each program's
# mean as a multiple of the yardstick. Target: at most 1.2x.
set -eu
hello=$1 pic=$2 admin=$3 site=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$pic" "$admin" "$work/"
cp "$site"/*.gif "$site"/*.def "$work/" 2>/dev/null || true
image=$(cd "$work" && ls *.gif 2>/dev/null | head -1)
image=${image:-logo.gif}
cd "$work"
env -i QUERY_STRING= ./quarnbxpic >/dev/null
hyperfine -N --warmup 200 --runs 2000 --export-json "$work/result.json" \
    -n hello "$hello" \
    -n pic-banner "env -i QUERY_STRING= $work/quarnbxpic" \
    -n pic-image "env -i QUERY_STRING=$image $work/quarnbxpic" \
    -n admin-banner "env -i QUERY_STRING=test $work/quarnbxadmin" \
    -n hello-env "env -i QUERY_STRING=test $hello"
python3 - "$work/result.json" <<'PY'
import json, sys
results = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
base = results["hello-env"]
for name, mean in results.items():
    print(f"{name:14s} {mean * 1e3:7.3f} ms  {mean / base:5.2f}x of hello-env")
PY
