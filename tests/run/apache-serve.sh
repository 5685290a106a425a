#!/bin/sh
# apache-serve.sh [--fastcgi]: an installation served by Apache httpd with the configuration
# that `quarsetup --print-config apache [--fastcgi]` prints: first-run set-up, login, the event
# log page, an image, the endpoint, the refusals (other files of the CGI folder, bodies above
# 8 MiB). Run by root, Apache runs the programs as www-data, which `quarsetup --owner` gives the
# data directory. With --fastcgi the programs are FastCGI applications that the spawn-fcgi
# commands named in the configuration start (here without forking, so that each is stopped by
# its own PID), and Apache reaches them through mod_proxy_fcgi. Needs QUARSETUP; Apache is
# stopped by its own PID.
set -eu
fastcgi=${1:-}
. "$(dirname "$0")/served-headers.sh"
command -v apache2 >/dev/null || { echo "apache2 is not installed" >&2; exit 1; }
work=$(mktemp -d)
pid= apps=
trap 'for p in $pid $apps; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
# The account of the programs must reach the installation through its folders.
chmod 755 "$work"
owner= user=
if [ "$(id -u)" -eq 0 ]; then
    owner="--owner www-data" user="--user www-data"
fi
"$QUARSETUP" --data-dir "$work/data" --cgi-dir "$work/cgi-bin" --registry "$work/machine.reg" \
    $owner >/dev/null
mkdir -p "$work/tmp"
[ -n "$owner" ] && chown www-data:www-data "$work/tmp"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$QUARSETUP" --print-config apache $fastcgi --cgi-dir "$work/cgi-bin" --registry "$work/machine.reg" \
    --port "$port" --state-dir "$work" $user >"$work/apache.conf"
if [ -n "$fastcgi" ]; then
    command -v spawn-fcgi >/dev/null || { echo "spawn-fcgi is not installed" >&2; exit 1; }
    sed -n 's/^#   spawn-fcgi //p' "$work/apache.conf" >"$work/spawn"
    [ "$(wc -l <"$work/spawn")" -eq 3 ] || { echo "the configuration names no spawn-fcgi commands" >&2; exit 1; }
    while read -r arguments; do
        spawn-fcgi -n $arguments &
        apps="$apps $!"
    done <"$work/spawn"
    for socket in quarnbxadmin quarnbx quarnbxpic; do
        i=0
        until [ -S "$work/$socket.sock" ]; do
            i=$((i + 1))
            [ $i -gt 100 ] && { echo "spawn-fcgi made no $socket.sock" >&2; exit 1; }
            sleep 0.1
        done
    done
fi
apache2 -f "$work/apache.conf" -DFOREGROUND &
pid=$!

base="http://127.0.0.1:$port"
admin="$base/cgi-bin/quarnbxadmin"
fail() {
    echo "$1" >&2
    cat "$work/apache-error.log" >&2 2>/dev/null || true
    exit 1
}
i=0
until curl -fs -o /dev/null "$admin?test"; do
    i=$((i + 1))
    { [ $i -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; } && fail "apache did not start"
    sleep 0.1
done

curl -fs -D "$work/headers" -o /dev/null "$admin"
check_served_headers "$work/headers" || fail "the served headers are missing"
# "/" leads to the set-up form of a fresh installation.
curl -fsL "$base/" | grep -q 'name="compname"' || fail "no set-up form at /"
page=$(curl -fs --data 'compname=Acme&sysopname=Jo&sysoptel=1&sysopemail=&pswd1=secret&pswd2=secret' \
    "$admin?init_base")
token=$(printf '%s' "$page" | sed -n 's/.*quarnbxadmin?viewlog|\([0-9a-f]*\)".*/\1/p' | head -n 1)
[ -n "$token" ] || fail "set-up did not open a session: $page"
# The set-up stored the settings, as the programs' account.
[ -n "$(ls -A "$work/data")" ] || fail "the set-up stored nothing"
curl -fs "$admin?logout|$token" >/dev/null
page=$(curl -fs --data 'passwd=wrong' "$admin?login")
printf '%s' "$page" | grep -q 'Invalid password' || fail "a wrong password was not refused"
page=$(curl -fs --data 'passwd=secret' "$admin?login")
token=$(printf '%s' "$page" | sed -n 's/.*quarnbxadmin?viewlog|\([0-9a-f]*\)".*/\1/p' | head -n 1)
[ -n "$token" ] || fail "login did not open a session"
curl -fs "$admin?viewlog|$token" | grep -q 'logged in from 127.0.0.1' || fail "the log shows no login"
curl -fs -D "$work/headers" -o "$work/logo.gif" "$base/cgi-bin/quarnbxpic?logo.gif"
grep -qi '^Content-Type: image/gif' "$work/headers" || fail "the image is not a GIF"
[ "$(head -c 6 "$work/logo.gif")" = GIF89a ] || fail "the image has no GIF header"
[ "$(curl -fs --data-binary '|test' "$base/cgi-bin/quarnbx")" = "Orvelle Pellmora version 2.0 (Aug 27 2002)" ] ||
    fail "the endpoint did not answer its banner"
for name in quar_nbx_mess.def quar_main.htx; do
    code=$(curl -s -o /dev/null -w '%{http_code}' "$base/cgi-bin/$name")
    [ "$code" = 403 ] || fail "$name was served ($code)"
done
head -c $((8 * 1024 * 1024 + 1)) /dev/zero | tr '\0' a >"$work/body"
code=$(curl -s -o "$work/refusal" -w '%{http_code}' --data-binary "@$work/body" "$admin?test")
if [ -n "$fastcgi" ]; then
    # mod_proxy_fcgi hands the body on as it comes: the program refuses it by its own limit.
    grep -q 'Request body of 8388609 bytes exceeds the limit of 8388608 bytes' "$work/refusal" ||
        fail "a body above 8 MiB was not refused ($code)"
else
    [ "$code" = 413 ] || fail "a body above 8 MiB got $code"
fi
# Under FastCGI the same applications answered every request: each is still running.
for p in $apps; do
    kill -0 "$p" 2>/dev/null || fail "the FastCGI application $p has ended"
done
echo "apache serves $base${fastcgi:+ through FastCGI}"
