#!/bin/sh
# lighttpd-body-limit.sh: the configuration of scripts/lighttpd-conf.sh passes a request body of
# the programs' own 8 MiB limit to the program and refuses a larger one at the server (413),
# without writing it to the upload folder; the programs' answers carry the served headers, and
# lighttpd started by root runs the programs as the --user account. Needs QUARSETUP; lighttpd is
# stopped by its own PID.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tests/run/served-headers.sh"
. "$root/tests/support/serving.sh"
work=$(mktemp -d)
pid=
trap 'if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT

owner= user=
if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$work"
    owner="--owner www-data" user="--user www-data"
fi
"$QUARSETUP" --data-dir "$work/data" --cgi-dir "$work/cgi-bin" --registry "$work/machine.reg" \
    $owner >/dev/null
mkdir -p "$work/tmp"
if [ -n "$owner" ]; then
    # lighttpd opens its error log after it has become the --user account.
    touch "$work/lighttpd-error.log"
    chown www-data:www-data "$work/tmp" "$work/lighttpd-error.log"
fi
port=$(free_port)
sh "$root/scripts/lighttpd-conf.sh" "$work" "$port" $user >"$work/lighttpd.conf"
lighttpd -D -f "$work/lighttpd.conf" &
pid=$!
url="http://127.0.0.1:$port/cgi-bin/quarnbxadmin?test"
if ! wait_served "$pid" "$url"; then
    echo "lighttpd did not start" >&2
    cat "$work/lighttpd-error.log" >&2 || true
    exit 1
fi

curl -fs -D "$work/headers" -o /dev/null "$url"
check_served_headers "$work/headers"
if [ -n "$user" ]; then
    # The set-up stores the settings as the account the programs run as.
    curl -fs -o /dev/null --data 'compname=A&sysopname=B&sysoptel=1&pswd1=secret&pswd2=secret' \
        "${url%\?test}?init_base"
    test "$(stat -c %U "$work/data/quar_settings.dat")" = www-data ||
        { echo "the programs did not run as www-data" >&2; ls -l "$work/data" >&2; exit 1; }
fi

limit=$((8 * 1024 * 1024))
# Posts `size` bytes of "a" and prints the status code, then the body when asked.
post() {
    head -c "$1" /dev/zero | tr '\0' a >"$work/body"
    curl -s -o "$work/answer" -w '%{http_code}' -H 'Content-Type: application/x-www-form-urlencoded' \
        --data-binary "@$work/body" "$url"
}
status=$(post "$limit")
test "$status" = 200 || { echo "a body of $limit bytes got $status" >&2; exit 1; }
test "$(cat "$work/answer")" = "Pellmora version 3.0 (July 31 2009)"
for size in $((limit + 1)) $((4 * limit)); do
    status=$(post "$size")
    test "$status" = 413 || { echo "a body of $size bytes got $status, not 413" >&2; exit 1; }
done
# Nothing of the refused bodies was kept in the upload folder.
test -z "$(ls -A "$work/tmp")" || { ls -l "$work/tmp" >&2; exit 1; }
echo "lighttpd passes $limit bytes and refuses more"
