#!/bin/sh
# instructions.sh QUARSETUP SITE_DIR QUARNBXPIC QUARNBXADMIN QUARNBX [HELLO]
# Instructions (callgrind's Ir) and minor page faults of each CGI program's start on an
# installed site, the same four requests as startup.sh, each with the same fixed environment
# (env -i): counts that do not move with the machine's load, for comparing two builds. The
# endpoint also answers two refused bodies ("test" without its bar, a byte array of an impossible length), whose
# cost is mostly the first exception of the process.
set -eu
quarsetup=$1 site=$2 pic=$3 admin=$4 nbx=$5 hello=${6:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp"
case $hello in ''|/*) ;; *) hello=$PWD/$hello ;; esac
"$quarsetup" --data-dir "$work/data" --cgi-dir "$work/cgi" --registry "$work/machine.reg" \
    --bin-dir "$(dirname "$admin")" --site-dir "$site" >/dev/null
cp "$pic" "$admin" "$nbx" "$work/cgi/"
cd "$work/cgi"
# What a web server gives a CGI program beside the request's own variables.
base="QUAR_MACHINE_REGISTRY=$work/machine.reg TMP=$work/tmp PATH=/usr/bin:/bin REQUEST_METHOD=POST
GATEWAY_INTERFACE=CGI/1.1 SERVER_SOFTWARE=bench SERVER_NAME=127.0.0.1 SERVER_ADDR=127.0.0.1
SERVER_PORT=8080 SERVER_PROTOCOL=HTTP/1.1 REMOTE_PORT=40000 DOCUMENT_ROOT=$work/cgi
SCRIPT_NAME=/cgi-bin/program SCRIPT_FILENAME=$work/cgi/program REQUEST_URI=/cgi-bin/program
REDIRECT_STATUS=200 HTTP_HOST=127.0.0.1:8080 HTTP_USER_AGENT=Mozilla/5.0(X11;Linux)
HTTP_ACCEPT=text/html,application/xhtml+xml HTTP_ACCEPT_LANGUAGE=en-GB,en;q=0.5
HTTP_ACCEPT_ENCODING=gzip,deflate HTTP_CONNECTION=keep-alive"
form='compname=Bench&sysopname=Admin&sysoptel=1&pswd1=abcd&pswd2=abcd'
printf '%s' "$form" | env -i $base REMOTE_ADDR=10.0.0.1 QUERY_STRING='init_base|x' \
    CONTENT_LENGTH=${#form} ./quarnbxadmin >"$work/setup.html"
token=$(grep -o 'quarnbxadmin?[a-z]*|[0-9a-f]*' "$work/setup.html" | head -n 1 | cut -d'|' -f2)
test -n "$token"
printf '|test' >"$work/test.body"

# count NAME BODY PATTERN PROGRAM VARIABLE...: the program's instructions and minor faults.
count() {
    name=$1 body=$2 pattern=$3 program=$4
    shift 4
    env -i $base "$@" "$program" <"$body" | grep -q "$pattern" ||
        { echo "no \"$pattern\" from $name" >&2; exit 1; }
    env -i $base "$@" valgrind --tool=callgrind --callgrind-out-file="$work/$name.out" \
        "$program" <"$body" >/dev/null 2>"$work/$name.log"
    if [ -n "${CALLGRIND_KEEP:-}" ]; then cp "$work/$name.out" "$CALLGRIND_KEEP/"; fi
    ir=$(sed -n 's/^summary: //p' "$work/$name.out")
    # The fewest of five runs: a run may also pay for pages that another process has pushed out.
    faults=$(for run in 1 2 3 4 5; do
        env -i $base "$@" /usr/bin/time -f %R "$program" <"$body" 2>&1 >/dev/null | tail -n 1
    done | sort -n | head -n 1)
    printf '%-14s %10s instructions %5s minor faults\n' "$name" "$ir" "$faults"
}
count image /dev/null GIF89a ./quarnbxpic QUERY_STRING=logo.gif
count start-page /dev/null 'type="password"' ./quarnbxadmin REMOTE_ADDR=10.0.0.2
count main-page /dev/null "options|$token" ./quarnbxadmin REMOTE_ADDR=10.0.0.1 \
    "QUERY_STRING=main|$token"
count endpoint-test "$work/test.body" 'Orvelle Pellmora' ./quarnbx CONTENT_LENGTH=5
# Refusals that end in an exception: the first throw of the process.
printf 'test' >"$work/bare.body"
count endpoint-bare "$work/bare.body" 'ACK_ERR' ./quarnbx CONTENT_LENGTH=4
printf '%s' '|\99999999999:abc' >"$work/bad.body"
count endpoint-bad "$work/bad.body" 'ACK_ERR' ./quarnbx CONTENT_LENGTH=17
if [ -n "$hello" ]; then
    count yardstick /dev/null hello "$hello"
fi
