#!/bin/sh
# fastcgi-serve.sh [REQUESTS]: an installation served by lighttpd with the FastCGI
# configuration quarsetup prints (lighttpd starts the three programs as FastCGI applications).
# Checks that nothing of one request shows in another: form fields, cookies (the template
# engine's environment), error replies and the session, one client after another and 8 clients
# at once; that a failing request ends its own reply and the next is answered; that an
# application that ends is started again. With REQUESTS, it then sends that many requests to
# each program and checks that the applications' memory (/proc/PID/statm) stayed flat. Needs
# QUARSETUP; lighttpd is stopped by its own PID.
set -eu
requests=${1:-0}
work=$(mktemp -d)
pid=
trap 'if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    cat "$work/lighttpd-error.log" >&2 2>/dev/null || true
    exit 1
}

"$QUARSETUP" --data-dir "$work/data" --cgi-dir "$work/cgi-bin" --registry "$work/machine.reg" \
    >/dev/null
mkdir -p "$work/tmp"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$QUARSETUP" --print-config lighttpd --fastcgi --cgi-dir "$work/cgi-bin" \
    --registry "$work/machine.reg" --state-dir "$work" --port "$port" >"$work/lighttpd.conf"
lighttpd -D -f "$work/lighttpd.conf" &
pid=$!
base="http://127.0.0.1:$port/cgi-bin"
i=0
until curl -fs -o /dev/null "$base/quarnbxadmin?test"; do
    i=$((i + 1))
    if [ $i -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; then
        fail "lighttpd did not start"
    fi
    sleep 0.1
done
banner=$(curl -fs "$base/quarnbx")
test "$banner" = "Orvelle Pellmora version 2.0 (Aug 27 2002)" || fail "endpoint banner: $banner"

# The error page shows a form field, the cookie of the request's environment and the message:
# each answer must show its own request's and nothing of another's.
cp "$work/cgi-bin/quar_error.htx" "$work/error.htx"
printf '[<%%f%%>|<%%HTTP_COOKIE%%>|<%%err_msg%%>]' >"$work/cgi-bin/quar_error.htx"
# client NAME COUNT: COUNT requests alternating field and cookie with neither.
client() {
    n=0
    while [ $n -lt "$2" ]; do
        n=$((n + 1))
        got=$(curl -fs -b "c=$1-$n" --data "f=$1-$n" "$base/quarnbxadmin?nosuch$1")
        want="[$1-$n|c=$1-$n|Unknown request nosuch$1 (11)]"
        [ "$got" = "$want" ] || { echo "$1: got $got, want $want"; return 1; }
        got=$(curl -fs "$base/quarnbxadmin?other$1")
        want="[||Unknown request other$1 (11)]"
        [ "$got" = "$want" ] || { echo "$1: got $got, want $want"; return 1; }
    done
}
client solo 20 || fail "one client"
clients=
for c in 1 2 3 4 5 6 7 8; do
    client "c$c" 25 >"$work/client$c.out" 2>&1 &
    clients="$clients $!"
done
failed=0
for p in $clients; do
    wait "$p" || failed=1
done
for c in 1 2 3 4 5 6 7 8; do
    if [ -s "$work/client$c.out" ]; then
        cat "$work/client$c.out" >&2
        failed=1
    fi
done
[ $failed -eq 0 ] || fail "8 clients at once"
cp "$work/error.htx" "$work/cgi-bin/quar_error.htx"

# A request that fails ends its own reply: a body that is no archive, then the banner again.
got=$(curl -fs --data-binary 'test' "$base/quarnbx")
case "$got" in "|ACK_ERR|"*) ;; *) fail "malformed body: $got" ;; esac
got=$(curl -fs --data-binary '|test' "$base/quarnbx")
test "$got" = "$banner" || fail "after a failed request: $got"
# A page whose template is missing ends in the fallback page; the next page is whole.
mv "$work/cgi-bin/quar_prelogin.htx" "$work/prelogin.htx"
curl -fs --data 'compname=Acme&sysopname=Jo&sysoptel=1&sysopemail=&pswd1=secret&pswd2=secret' \
    "$base/quarnbxadmin?init_base" >"$work/main.html"
token=$(sed -n 's/.*quarnbxadmin?viewlog|\([0-9a-f]*\)".*/\1/p' "$work/main.html" | head -n 1)
[ -n "$token" ] || fail "no session after set-up"
got=$(curl -fs "$base/quarnbxadmin")
case "$got" in *"open html prototype file quar_prelogin.htx"*) ;; *) fail "missing page: $got" ;; esac
mv "$work/prelogin.htx" "$work/cgi-bin/quar_prelogin.htx"
# The session is the file's alone: the missing page deleted it, so the token opens nothing.
curl -fs "$base/quarnbxadmin?main|$token" | grep -q 'name="passwd"' || fail "session survived its file"
curl -fs --data 'passwd=secret' "$base/quarnbxadmin?login" >"$work/main.html"
token=$(sed -n 's/.*quarnbxadmin?viewlog|\([0-9a-f]*\)".*/\1/p' "$work/main.html" | head -n 1)
curl -fs "$base/quarnbxadmin?main|$token" | grep -q "viewlog|$token" || fail "own session refused"
curl -fs "$base/quarnbxadmin?main|0123" | grep -q 'viewlog|' && fail "another token got the session"

# The applications lighttpd started: applications that end are started again.
apps() { ps -o pid= --ppid "$pid" | tr -d ' '; }
started=$(apps)
[ -n "$started" ] || fail "no applications"
kill -KILL $started
sleep 1
for n in 1 2 3; do
    got=$(curl -fs "$base/quarnbx") || true
    [ "$got" = "$banner" ] || fail "after the applications ended: $got"
    curl -fs "$base/quarnbxadmin?test" >/dev/null || fail "administration after the end"
    curl -fs -o /dev/null "$base/quarnbxpic?logo.gif" || fail "images after the end"
done

if [ "$requests" -gt 0 ]; then
    statm() { for p in $(apps); do cut -d' ' -f2 "/proc/$p/statm"; done | sort -n | tail -n 1; }
    # A first round lets each application reach its working size; the second must not grow.
    for url in "$base/quarnbx" "$base/quarnbxpic?logo.gif" "$base/quarnbxadmin?main|$token"; do
        ab -q -k -n 2000 -c 4 "$url" >/dev/null
    done
    before=$(statm)
    for url in "$base/quarnbx" "$base/quarnbxpic?logo.gif" "$base/quarnbxadmin?main|$token"; do
        ab -q -k -n "$requests" -c 4 "$url" >"$work/ab.out"
        grep -q "^Failed requests: *0" "$work/ab.out" || fail "failed requests to $url"
    done
    after=$(statm)
    echo "largest application resident set: $before pages before, $after after $requests requests each"
    [ "$after" -le $((before + 64)) ] || fail "memory grew from $before to $after pages"
fi
echo "FastCGI under lighttpd: requests isolated, failures contained, applications restarted"
