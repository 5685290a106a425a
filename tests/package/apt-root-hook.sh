#!/bin/sh
# apt-root-hook.sh ROOT DEBS PORT APACHE_PORT: inside the Debian root ROOT (mmdebstrap's
# customize hook), installs the .deb files in DEBS with apt; sets up a site and serves it with
# lighttpd on 127.0.0.1:PORT; then follows the README's recipe for the system's Apache (the site
# in /usr/lib/cgi-bin/quar, data owned by www-data) on 127.0.0.1:APACHE_PORT and completes the
# first-run set-up there.
set -eu
root=$1 debs=$2 port=$3 apache_port=$4
pids=
stop() {
    for p in $pids; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
}
trap stop EXIT
trap 'exit 1' INT TERM
fail() {
    echo "$1" >&2
    exit 1
}
# Packages start no services in the root: they would listen on the machine's port 80.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
mkdir -p "$root/debs"
cp "$debs"/*.deb "$root/debs/"
DEBIAN_FRONTEND=noninteractive chroot "$root" sh -c \
    'apt-get install -y --no-install-recommends /debs/*.deb lighttpd apache2 >/var/log/quar-apt.log 2>&1' ||
    { tail -n 30 "$root/var/log/quar-apt.log" >&2; exit 1; }

# Waits until URL answers; the server's PID must stay alive.
await() {
    i=0
    until curl -fs -m 5 -o /dev/null "$1"; do
        i=$((i + 1))
        { [ $i -gt 100 ] || ! kill -0 "$2" 2>/dev/null; } && fail "no answer from $1"
        sleep 0.1
    done
}

chroot "$root" quarsetup --data-dir /srv/quar/data --cgi-dir /srv/quar/cgi-bin >/dev/null
chroot "$root" sh -c "quarsetup --print-config lighttpd --cgi-dir /srv/quar/cgi-bin --port $port \
    --state-dir /srv/quar > /srv/quar/lighttpd.conf"
chroot "$root" /usr/sbin/lighttpd -D -f /srv/quar/lighttpd.conf &
pids="$pids $!"
base="http://127.0.0.1:$port"
await "$base/cgi-bin/quarnbxadmin?test" "$!"
curl -fsL "$base/" | grep -q 'name="compname"' || fail "lighttpd: no set-up form"
chroot "$root" env QUAR_USER_REGISTRY=/tmp/user.reg quarget "$base/cgi-bin/quarnbxpic?logo.gif" |
    head -c 6 | grep -q GIF89a || fail "quarget in the root fetched no image"

# The README's Apache recipe, on a loopback port instead of port 80.
chroot "$root" a2enmod -q cgid
echo "Listen 127.0.0.1:$apache_port" >"$root/etc/apache2/ports.conf"
chroot "$root" quarsetup --data-dir /var/lib/quar --cgi-dir /usr/lib/cgi-bin/quar \
    --owner www-data >/dev/null
# What the service would prepare: the run folders, mod_cgid's socket folder among them.
chroot "$root" sh -c '. /etc/apache2/envvars && mkdir -p "$APACHE_RUN_DIR/socks" \
    "$APACHE_LOCK_DIR" "$APACHE_LOG_DIR" && exec apache2 -DFOREGROUND' &
pids="$pids $!"
admin="http://127.0.0.1:$apache_port/cgi-bin/quar/quarnbxadmin"
await "$admin?test" "$!"
curl -fs -m 10 "$admin" | grep -q 'name="compname"' || fail "apache: no set-up form"
curl -fs -m 10 -d 'compname=Acme&sysopname=Ann&sysoptel=1&sysopemail=a%40b&pswd1=s3cret&pswd2=s3cret' \
    "$admin?init_base" | grep -q 'quarnbxadmin?logout|' || fail "apache: the set-up was not accepted"
[ "$(stat -c %U "$root/var/lib/quar/quar_settings.dat")" = www-data ] ||
    fail "apache: the settings are not kept by www-data"
echo "apt-root: $(chroot "$root" dpkg-query -W -f '${Package} ${Version}, ' quar-server quarget libquarinet1)"
echo "apt-root: lighttpd and Apache serve the site; set-up done under Apache"
