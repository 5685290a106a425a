# served-site.sh, sourced by a benchmark run as SCRIPT QUARNBXADMIN QUARSETUP SITE_DIR
# LIGHTTPD_CONF: installs a site in a fresh folder with quarsetup, serves it with lighttpd on a
# free loopback port, and on exit stops lighttpd by its own PID and removes the folder.
# Sets admin, quarsetup, site_dir, lighttpd_conf, work, site, port and pid.
admin=$1 quarsetup=$2 site_dir=$3 lighttpd_conf=$4
work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
site=$work/site
mkdir -p "$site/tmp"
"$quarsetup" --data-dir "$site/data" --cgi-dir "$site/cgi-bin" --registry "$site/machine.reg" \
    --bin-dir "$(dirname "$admin")" --site-dir "$site_dir" >/dev/null
cp "$admin" "$site/cgi-bin/"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$lighttpd_conf" "$site" "$port" >"$work/lighttpd.conf"
lighttpd -D -f "$work/lighttpd.conf" &
pid=$!
