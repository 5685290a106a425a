#!/bin/sh
# run-smoke.sh: the README's first command end to end: "make run" on a free port serves the
# administration pages and the images; the server is stopped by its own PID.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
log=$(mktemp)
cd "$root"
PORT=$port sh scripts/run.sh >"$log" 2>&1 &
pid=$!  # run.sh ends by exec'ing lighttpd: this is the server's PID
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -f "$log"' EXIT

base="http://127.0.0.1:$port"
i=0
until curl -fs -o /dev/null "$base/cgi-bin/quarnbxadmin?test"; do
    i=$((i + 1))
    if [ $i -gt 300 ] || ! kill -0 "$pid" 2>/dev/null; then
        echo "make run did not start serving:" >&2
        cat "$log" >&2
        exit 1
    fi
    sleep 1
done
grep -q "Administration pages: http://127.0.0.1:$port/cgi-bin/quarnbxadmin" "$log"
# What a user reads is progress and the address; the build's own output is in its log file.
lines=$(wc -l <"$log")
if [ "$lines" -gt 6 ]; then
    echo "make run printed $lines lines:" >&2
    cat "$log" >&2
    exit 1
fi
grep -q "Built target quarnbxadmin" "$root/build/run.log"
test "$(curl -fs "$base/cgi-bin/quarnbxadmin?test")" = "Pellmora version 3.0 (July 31 2009)"
curl -fs -D - -o /dev/null "$base/cgi-bin/quarnbxpic?logo.gif" | grep -qi "^Content-Type: image/gif"
curl -fs "$base/cgi-bin/quarnbxpic?logo.gif" | head -c 6 | grep -q GIF89a
curl -fsL "$base/" | grep -q 'name="compname"'
# Only the programs are served: the pages and the catalogue beside them are not.
test "$(curl -s -o /dev/null -w '%{http_code}' "$base/cgi-bin/quar_nbx_mess.def")" = 403
echo "make run serves $base"
