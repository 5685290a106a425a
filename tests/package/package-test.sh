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
for field in "Package: quar" "Depends: libc6" "zlib1g" "libdeflate0" "libcurl4" "Suggests: lighttpd | apache2"; do
    printf '%s' "$control" | grep -q "$field" || fail "control data lacks \"$field\": $control"
done
root="$work/root"
dpkg -x "$deb" "$root"
usr="$root/usr"
for file in sbin/quarsetup lib/quar/quarnbxadmin share/quar/site/quar_nbx_mess.def \
    include/QuarInet.h share/man/man8/quarsetup.8 share/doc/quar/copyright bin/quarget \
    share/man/man1/quarget.1; do
    [ -e "$usr/$file" ] || fail "the package has no /usr/$file"
done
libdir=$(dirname "$(find "$usr/lib" -name 'libQuarInet.so.1' | head -n 1)")
[ -n "$libdir" ] || fail "the package has no libQuarInet.so.1"
[ "$(objdump -p "$libdir/libQuarInet.so.1" | awk '/SONAME/ {print $2}')" = libQuarInet.so.1 ] ||
    fail "libQuarInet has no SONAME libQuarInet.so.1"
# The modules the library opens by name lie beside it.
for module in libquarwininet.so libquarinetgtk.so; do
    [ -f "$libdir/$module" ] || fail "the package has no $module beside libQuarInet"
done

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
curl -fs -o "$work/logo.gif" "$base/cgi-bin/quarnbxpic?logo.gif"

# The examples built against the unpacked library with pkg-config and with find_package, run
# against the site above (a GET) and an echo CGI under a second lighttpd (a multipart upload).
export PKG_CONFIG_PATH="$libdir/pkgconfig" QUAR_USER_REGISTRY="$work/user.reg"
unset http_proxy
cp -r "$source/examples" "$work/examples-make"
make -s -C "$work/examples-make" LDFLAGS="-Wl,-rpath,$libdir" >/dev/null 2>"$work/make.log" ||
    { cat "$work/make.log" >&2; fail "the examples do not build with pkg-config"; }
cmake -S "$source/examples" -B "$work/examples-cmake" -DCMAKE_PREFIX_PATH="$usr" >/dev/null &&
    cmake --build "$work/examples-cmake" >/dev/null ||
    fail "the examples do not build with find_package(QuarInet)"
echo_root="$work/echo"
mkdir -p "$echo_root"
printf '#!/bin/sh\nprintf "Content-Type: text/plain\\r\\n\\r\\n"\nexec cat\n' >"$echo_root/echo.cgi"
chmod +x "$echo_root/echo.cgi"
echo_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/echo.conf" <<CONF
server.modules = ( "mod_cgi" )
server.bind = "127.0.0.1"
server.port = $echo_port
server.document-root = "$echo_root"
server.errorlog = "$work/echo-error.log"
cgi.assign = ( ".cgi" => "" )
CONF
lighttpd -D -f "$work/echo.conf" &
echo_pid=$!
trap 'kill "$echo_pid" 2>/dev/null || true; if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
printf 'first file\n' >"$work/a.txt"
head -c 100000 /dev/urandom >"$work/b.bin"
for way in make cmake; do
    "$work/examples-$way/get" "$base/cgi-bin/quarnbxpic?logo.gif" >"$work/got.gif" 2>/dev/null ||
        fail "get ($way) failed"
    cmp -s "$work/got.gif" "$work/logo.gif" || fail "get ($way) fetched other bytes"
    i=0
    until curl -fs -o /dev/null "http://127.0.0.1:$echo_port/echo.cgi"; do
        i=$((i + 1)); [ $i -gt 100 ] && fail "the echo server did not start"; sleep 0.1
    done
    "$work/examples-$way/upload" "http://127.0.0.1:$echo_port/echo.cgi" "a=$work/a.txt" \
        "b=$work/b.bin" >"$work/echoed" || fail "upload ($way) failed"
    grep -q 'name="a"' "$work/echoed" && grep -q 'first file' "$work/echoed" ||
        fail "upload ($way): the server did not get the first part"
    python3 - "$work/echoed" "$work/b.bin" <<'PY' || fail "upload ($way): the file part is not whole"
import sys
echoed, part = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
sys.exit(0 if part in echoed else 1)
PY
done
echo "the package installs and serves $base; the examples build both ways and work"
