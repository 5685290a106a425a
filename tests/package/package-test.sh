#!/bin/sh
# package-test.sh BUILD_DIR SOURCE_DIR: the Debian package of the build tree, as a user gets it.
# The package is made with cpack, its control data checked, its files unpacked into a throwaway
# root (dpkg -x: nothing is installed on the machine), the unpacked quarsetup lays out a site
# from the unpacked programs and pages alone, lighttpd serves it with the configuration the
# unpacked quarsetup prints, and the pages answer. A client built against the unpacked library,
# with pkg-config and with CMake's find_package, fetches a page through it.
set -eu
build=$1 source=$2
work=$(mktemp -d)
pid=
trap 'if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
fail() {
    echo "$1" >&2
    exit 1
}

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB >cpack.log 2>&1) ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/*.deb)
control=$(dpkg-deb -f "$deb")
for field in "Package: quar" "Depends: libc6" "zlib1g" "libcurl4" "Suggests: lighttpd | apache2"; do
    printf '%s' "$control" | grep -q "$field" || fail "control data lacks \"$field\": $control"
done
root="$work/root"
dpkg -x "$deb" "$root"
usr="$root/usr"
for file in sbin/quarsetup lib/quar/quarnbxadmin share/quar/site/quar_nbx_mess.def \
    include/QuarInet.h share/man/man8/quarsetup.8 share/doc/quar/copyright; do
    [ -e "$usr/$file" ] || fail "the package has no /usr/$file"
done
libdir=$(dirname "$(find "$usr/lib" -name 'libQuarInet.so.1' | head -n 1)")
[ -n "$libdir" ] || fail "the package has no libQuarInet.so.1"
[ "$(objdump -p "$libdir/libQuarInet.so.1" | awk '/SONAME/ {print $2}')" = libQuarInet.so.1 ] ||
    fail "libQuarInet has no SONAME libQuarInet.so.1"

# The unpacked installer lays out a site from the unpacked files, not from this build tree.
site="$work/site"
mkdir -p "$site/tmp"
"$usr/sbin/quarsetup" --data-dir "$site/data" --cgi-dir "$site/cgi-bin" --registry "$site/machine.reg" \
    >/dev/null
cmp -s "$usr/lib/quar/quarnbxadmin" "$site/cgi-bin/quarnbxadmin" || fail "quarnbxadmin not from the package"
cmp -s "$usr/share/quar/site/quar_main.htx" "$site/cgi-bin/quar_main.htx" || fail "pages not from the package"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$usr/sbin/quarsetup" --print-config lighttpd --cgi-dir "$site/cgi-bin" --registry "$site/machine.reg" \
    --port "$port" >"$site/lighttpd.conf"
lighttpd -D -f "$site/lighttpd.conf" &
pid=$!
base="http://127.0.0.1:$port"
i=0
until curl -fs -o /dev/null "$base/cgi-bin/quarnbxadmin?test"; do
    i=$((i + 1))
    { [ $i -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; } && fail "lighttpd did not start"
    sleep 0.1
done
curl -fsL "$base/" | grep -q 'name="compname"' || fail "the packaged site shows no set-up form"
curl -fs "$base/cgi-bin/quarnbxpic?logo.gif" | head -c 6 | grep -q GIF89a || fail "no image"
echo "the package installs and serves $base"
