#!/bin/sh
# fastcgi.sh QUARSETUP YARDSTICK [SECONDS] [ROUNDS]
# One installation (set up, an administrator logged in) served by two lighttpd servers at once:
# one with the CGI configuration quarsetup prints, beside a static C CGI answering one line (the
# yardstick), and one with its FastCGI configuration (--fastcgi). wrk with 8 connections,
# SECONDS (default 10) per round, ROUNDS (default 5) rounds; in each round the yardstick, then
# each request through CGI and through FastCGI: the image, the admin start page, the logged-in
# main page and the endpoint banner. Prints, per request and mode, the rate as a multiple of
# the yardstick's rate of the same round (median and range over the rounds) and the median
# rate. Goal: FastCGI at least 10x the yardstick for every program; exits 1 below it. Servers
# are stopped by their own PIDs.
set -eu
quarsetup=$1 yardstick=$2 seconds=${3:-10} rounds=${4:-5}
work=$(mktemp -d)
pids=
trap 'for p in $pids; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# Requests per second of one wrk round.
rate() {
    wrk -t 2 -c 8 -d "${seconds}s" "$1" >"$work/wrk.out"
    if grep -q "Non-2xx\|Socket errors" "$work/wrk.out"; then
        cat "$work/wrk.out" >&2
        echo "errors from $1" >&2
        exit 1
    fi
    sed -n 's/^Requests\/sec: *//p' "$work/wrk.out"
}

"$quarsetup" --data-dir "$work/data" --cgi-dir "$work/cgi-bin" --registry "$work/machine.reg" \
    >/dev/null
cp "$yardstick" "$work/cgi-bin/yardstick"
for mode in cgi fastcgi; do
    mkdir -p "$work/$mode/tmp"
    port=$(free_port)
    flag=
    [ "$mode" = fastcgi ] && flag=--fastcgi
    "$quarsetup" --print-config lighttpd $flag --cgi-dir "$work/cgi-bin" \
        --registry "$work/machine.reg" --port "$port" --state-dir "$work/$mode" |
        sed 's/quarnbx(admin|pic)?/(quarnbx(admin|pic)?|yardstick)/' >"$work/$mode/lighttpd.conf"
    lighttpd -D -f "$work/$mode/lighttpd.conf" &
    pids="$pids $!"
    eval "base_$mode=http://127.0.0.1:$port/cgi-bin"
    until curl -fs -o /dev/null "http://127.0.0.1:$port/cgi-bin/quarnbxadmin?test"; do sleep 0.1; done
done
page=$(curl -fs --data 'compname=Bench&sysopname=Jo&sysoptel=1&sysopemail=&pswd1=secret&pswd2=secret' \
    "$base_cgi/quarnbxadmin?init_base")
token=$(printf '%s' "$page" | sed -n 's/.*quarnbxadmin?viewlog|\([0-9a-f]*\)".*/\1/p' | head -n 1)
[ -n "$token" ] || { echo "no session" >&2; exit 1; }
requests="image:quarnbxpic?logo.gif start-page:quarnbxadmin main-page:quarnbxadmin?main|$token endpoint:quarnbx"
for request in $requests; do
    path=${request#*:}
    for mode in cgi fastcgi; do
        eval "base=\$base_$mode"
        curl -fs -o /dev/null "$base/$path" || { echo "no answer: $base/$path" >&2; exit 1; }
    done
done

: >"$work/rates"
for round in $(seq "$rounds"); do
    yard=$(rate "$base_cgi/yardstick")
    for request in $requests; do
        name=${request%%:*} path=${request#*:}
        for mode in cgi fastcgi; do
            eval "base=\$base_$mode"
            echo "$name $mode $(rate "$base/$path") $yard" >>"$work/rates"
        done
    done
done
python3 - "$work/rates" <<'PY'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    name, mode, rate, yard = line.split()
    rows.setdefault((name, mode), []).append((float(rate), float(yard)))
ok = True
print(f"{'request':12s} {'mode':8s} {'median req/s':>12s} {'yardstick':>10s} {'ratio':>7s} {'range':>15s}")
for (name, mode), runs in rows.items():
    ratios = [rate / yard for rate, yard in runs]
    median = statistics.median(ratios)
    print(f"{name:12s} {mode:8s} {statistics.median(r for r, _ in runs):12.0f} "
          f"{statistics.median(y for _, y in runs):10.0f} {median:6.2f}x "
          f"{min(ratios):6.2f}x-{max(ratios):.2f}x")
    if mode == "fastcgi" and median < 10:
        ok = False
print(("OK" if ok else "FAIL") + ": FastCGI at least 10x the yardstick CGI for every program")
sys.exit(0 if ok else 1)
PY
