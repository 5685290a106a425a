#!/bin/sh
# throughput.sh QUARSETUP YARDSTICK [SECONDS] [ROUNDS] [SERVERS]
# An installation (set up, an administrator logged in) served by lighttpd, then by Apache httpd
# (SERVERS, default "lighttpd apache"), with the configurations quarsetup prints. wrk with 8
# connections, SECONDS (default 10) per measurement, ROUNDS (default 5) rounds, each request
# between two half-length runs of the yardstick (a static C CGI answering one line, sent the
# same request) under the same server and compared with their mean: a server slows as it runs
# (lighttpd's memory grows with the requests it forks for; the yardstick alone loses about 1%
# per 10 s run), so a yardstick measured only before the program would count against it.
# Requests: the image, the admin start page, the logged-in main page, the endpoint banner, and
# refused logins (the first five of an address log an event, the rest meet the lock-out). Prints
# requests per second, p99 latency and errors, each request's rate as a multiple of the
# yardstick's, then per server and request the median of the rounds' ratios and their range.
# Goal: a median of at least 0.9x for the image, the two pages and the endpoint (refused logins
# write the event log and are shown only); exits 1 below it. Afterwards the event log must hold
# whole lines only, at least one and at most one per refused login the server answered (its
# access log counts them; the login lock-out logs only the first refusal of each lock-out).
# Servers are stopped by their own PIDs.
set -eu
quarsetup=$1 yardstick=$2 seconds=${3:-10} rounds=${4:-5} servers=${5:-lighttpd apache}
work=$(mktemp -d)
pid=
stop() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        pid=
    fi
}
trap 'stop; rm -rf "$work"' EXIT
chmod 755 "$work"
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

cat >"$work/post.lua" <<'LUA'
wrk.method = "POST"
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"
wrk.body = os.getenv("WRK_BODY")
LUA

# The yardstick's two runs around each measurement.
lead=$((seconds / 2)) trail=$((seconds - seconds / 2))
[ "$lead" -ge 1 ] || lead=1

# One wrk run of DURATION seconds: prints "rate p99 errors requests".
measure() {
    url=$1 body=$2 duration=$3
    if [ -n "$body" ]; then
        WRK_BODY=$body wrk -t 2 -c 8 -d "${duration}s" --latency -s "$work/post.lua" "$url" >"$work/wrk.out"
    else
        wrk -t 2 -c 8 -d "${duration}s" --latency "$url" >"$work/wrk.out"
    fi
    python3 - "$work/wrk.out" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
rate = float(re.search(r"Requests/sec:\s+([\d.]+)", text).group(1))
p99 = re.search(r"99%\s+([\d.]+\w+)", text).group(1)
errors = 0
for m in re.finditer(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", text):
    errors += sum(int(g) for g in m.groups())
m = re.search(r"Non-2xx or 3xx responses: (\d+)", text)
errors += int(m.group(1)) if m else 0
total = int(re.search(r"(\d+) requests in", text).group(1))
print(f"{rate:.1f} {p99} {errors} {total}")
PY
}

serve() {
    server=$1
    site="$work/$server"
    mkdir -p "$site/tmp"
    owner= user=
    if [ "$(id -u)" -eq 0 ] && [ "$server" = apache ]; then
        owner="--owner www-data" user="--user www-data"
        chown www-data:www-data "$site/tmp"
    fi
    "$quarsetup" --data-dir "$site/data" --cgi-dir "$site/cgi-bin" --registry "$site/machine.reg" \
        $owner >/dev/null
    cp "$yardstick" "$site/cgi-bin/yardstick"
    port=$(free_port)
    # The yardstick is served beside the three programs.
    "$quarsetup" --print-config "$server" --cgi-dir "$site/cgi-bin" --registry "$site/machine.reg" \
        --port "$port" --state-dir "$site" $user |
        sed 's/quarnbx(admin|pic)?/(quarnbx(admin|pic)?|yardstick)/' >"$site/server.conf"
    # The server's own count of the requests it answered, for the event log check.
    if [ "$server" = apache ]; then
        echo "CustomLog \"$site/access.log\" \"%r %>s\"" >>"$site/server.conf"
    else
        printf 'server.modules += ( "mod_accesslog" )\naccesslog.filename = "%s"\naccesslog.format = "%%r %%>s"\n' \
            "$site/access.log" >>"$site/server.conf"
    fi
    if [ "$server" = apache ]; then
        apache2 -f "$site/server.conf" -DFOREGROUND &
    else
        lighttpd -D -f "$site/server.conf" &
    fi
    pid=$!
    base="http://127.0.0.1:$port/cgi-bin"
    until curl -fs -o /dev/null "$base/yardstick"; do sleep 0.1; done
    page=$(curl -fs --data 'compname=Bench&sysopname=Jo&sysoptel=1&sysopemail=&pswd1=secret&pswd2=secret' \
        "$base/quarnbxadmin?init_base")
    token=$(printf '%s' "$page" | sed -n 's/.*quarnbxadmin?viewlog|\([0-9a-f]*\)".*/\1/p' | head -n 1)
    before=$(cat "$site/data/quar_nbx_log.txt" 2>/dev/null | wc -l)

    echo "== $server"
    printf '%-26s %10s %10s %8s %8s\n' request "req/s" "p99" errors "vs yard"
    refused=0
    for round in $(seq "$rounds"); do
        for case in "image|$base/quarnbxpic?logo.gif|" "start page|$base/quarnbxadmin|" \
            "main page|$base/quarnbxadmin?main|$token|" "endpoint banner|$base/quarnbx||test" \
            "refused login|$base/quarnbxadmin?login|passwd=wrong"; do
            name=${case%%|*} rest=${case#*|}
            if [ "$name" = "main page" ]; then
                url="$base/quarnbxadmin?main|$token" body=
            else
                url=${rest%%|*} body=${rest#*|}
            fi
            # The yardstick gets the same request, body included: what the server does to
            # deliver a body is not the program's cost.
            set -- $(measure "$base/yardstick" "$body" "$lead")
            early=$1
            set -- $(measure "$url" "$body" "$seconds")
            rate=$1 p99=$2 failed=$3 requests=$4
            set -- $(measure "$base/yardstick" "$body" "$trail")
            yard=$(python3 -c "print(f'{($early * $lead + $1 * $trail) / ($lead + $trail):.1f}')")
            set -- "$rate" "$p99" "$failed" "$requests"
            [ "$name" = "refused login" ] && refused=$((refused + $4))
            ratio=$(python3 -c "print(f'{$1 / $yard:.2f}x')")
            printf '%-26s %10s %10s %8s %8s\n' "$name ($round)" "$1" "$2" "$3" "$ratio"
            echo "$server|$name|$1|$yard" >>"$work/rates"
            printf '%-26s %10s\n' "  yardstick" "$yard"
        done
    done
    stop
    # wrk counts only what it read before it stopped; the server counts every refused login
    # it answered, the ones in flight at wrk's end included.
    answered=$(grep -c 'quarnbxadmin?login HTTP/1.1 200' "$site/access.log" || true)
    lines=$(($(wc -l <"$site/data/quar_nbx_log.txt") - before))
    torn=$(awk -F'\t' 'NF < 5' "$site/data/quar_nbx_log.txt" | wc -l)
    echo "event log: $lines new lines for $answered refused logins answered ($refused counted by wrk), $torn torn"
    # After five refusals the address is locked out, and only the first refusal of a lock-out
    # is logged: some lines, never more than refusals, and every one whole.
    [ "$torn" -eq 0 ] && [ "$lines" -ge 1 ] && [ "$lines" -le "$answered" ]
}

for server in $servers; do
    serve "$server"
done
python3 - "$work/rates" <<'PY'
import statistics, sys
cases = {}
for line in open(sys.argv[1]):
    server, name, rate, yard = line.strip().split("|")
    cases.setdefault((server, name), []).append(float(rate) / float(yard))
below = []
for (server, name), ratios in cases.items():
    ratio = statistics.median(ratios)
    goal = name != "refused login"
    print(f"{server:9s} {name:16s} {ratio:4.2f}x the yardstick (range {min(ratios):.2f}-"
          f"{max(ratios):.2f}x over {len(ratios)} rounds){'' if goal else ', not a goal'}")
    if goal and ratio < 0.9:
        below.append(f"{server} {name}")
print("OK: every request at least 0.9x" if not below else "FAIL below 0.9x: " + ", ".join(below))
sys.exit(1 if below else 0)
PY
