#!/bin/sh
# package-test.sh BUILD_DIR SOURCE_DIR: the Debian packages of the source tree, as a user gets
# them. They are built with dpkg-buildpackage from a clean copy of the tree (tests off, in
# parallel, through ccache), checked with lintian (any error or warning fails), unpacked into a
# throwaway root (dpkg -x: nothing is installed on the machine); the unpacked quarsetup lays out
# a site from the unpacked programs and pages alone, lighttpd serves it with the configuration
# the unpacked quarsetup prints, and the pages answer. Clients built against the unpacked -dev
# package, with pkg-config and with CMake's find_package, fetch a page through it, the library
# loading its platform internet library layer from its private folder.
set -eu
build=$1 source=$2
. "$source/tests/support/serving.sh"
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pid= echo_pid=
trap 'for p in $pid $echo_pid; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
fail() {
    echo "$1" >&2
    exit 1
}

# The same folder each run, so that ccache finds the objects of the last run (the compiler's
# command lines name it).
debs="$build/package-build"
sh "$here/build-debs.sh" "$source" "$debs" || fail "the packages were not built"
version=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)

lintian --fail-on error,warning --pedantic -I --tag-display-limit 0 \
    "$debs/quar_${version}_amd64.changes" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian found errors or warnings"; }
grep -v 'running with root privileges' "$work/lintian.log" || true

arch=$(dpkg-architecture -qDEB_HOST_ARCH)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb() { echo "$debs/${1}_${version}_$arch.deb"; }
# What each package declares: dependencies computed from what the binaries link.
for check in "libquarinet1|Depends|libstdc++6" "libquarinet1|Depends|zlib1g" \
    "libquarinet1|Depends|libcurl4" "libquarinet1|Recommends|libgtk-3-0" \
    "libquarinet-dev|Depends|libquarinet1 (= $version)" "quarget|Depends|libquarinet1 (>= " \
    "quar-server|Recommends|lighttpd | httpd-cgi" "quar-server|Built-Using|glibc"; do
    package=${check%%|*} rest=${check#*|} field=${rest%%|*} want=${rest#*|}
    dpkg-deb -f "$(deb "$package")" "$field" | grep -qF "$want" ||
        fail "$package: $field lacks \"$want\": $(dpkg-deb -f "$(deb "$package")" "$field")"
done

root="$work/root"
for package in libquarinet1 libquarinet-dev quarget quar-server; do
    dpkg -x "$(deb "$package")" "$root"
done
usr="$root/usr" libdir="$root/usr/lib/$multiarch"
for file in sbin/quarsetup lib/quar/quarnbxadmin share/quar/site/quar_nbx_mess.def \
    include/QuarInet.h share/man/man8/quarsetup.8.gz share/doc/quar-server/copyright bin/quarget \
    share/man/man1/quarget.1.gz lib/$multiarch/libQuarInet.so.1 lib/$multiarch/libQuarInet.so \
    lib/$multiarch/quarinet/libquarwininet.so lib/$multiarch/quarinet/libquarinetgtk.so \
    lib/$multiarch/pkgconfig/quarinet.pc lib/$multiarch/cmake/QuarInet/QuarInetConfig.cmake; do
    [ -e "$usr/$file" ] || fail "the packages have no /usr/$file"
done
[ "$(objdump -p "$libdir/libQuarInet.so.1" | awk '/SONAME/ {print $2}')" = libQuarInet.so.1 ] ||
    fail "libQuarInet has no SONAME libQuarInet.so.1"
# Installed where the loader looks, the programs carry no RUNPATH of their own.
for binary in bin/quarget sbin/quarsetup lib/$multiarch/libQuarInet.so.1 \
    lib/$multiarch/quarinet/libquarwininet.so; do
    ! objdump -p "$usr/$binary" | grep -qE 'RUNPATH|RPATH' || fail "/usr/$binary has a RUNPATH"
done
LD_LIBRARY_PATH="$libdir" "$usr/bin/quarget" --version | grep -qx "quarget $version" ||
    fail "the unpacked quarget does not give its version"

# The unpacked installer lays out a site from the unpacked files, not from this build tree.
site="$work/site"
mkdir -p "$site/tmp"
"$usr/sbin/quarsetup" --data-dir "$site/data" --cgi-dir "$site/cgi-bin" --registry "$site/machine.reg" \
    >/dev/null
cmp -s "$usr/lib/quar/quarnbxadmin" "$site/cgi-bin/quarnbxadmin" || fail "quarnbxadmin not from the package"
cmp -s "$usr/share/quar/site/quar_main.htx" "$site/cgi-bin/quar_main.htx" || fail "pages not from the package"
port=$(free_port)
"$usr/sbin/quarsetup" --print-config lighttpd --cgi-dir "$site/cgi-bin" --registry "$site/machine.reg" \
    --port "$port" >"$site/lighttpd.conf"
lighttpd=$(PATH="$PATH:/usr/sbin:/sbin" command -v lighttpd)
"$lighttpd" -D -f "$site/lighttpd.conf" &
pid=$!
base="http://127.0.0.1:$port"
wait_served "$pid" "$base/cgi-bin/quarnbxadmin?test" || fail "lighttpd did not start"
curl -fsL "$base/" | grep -q 'name="compname"' || fail "the packaged site shows no set-up form"
curl -fsL "$base/" | grep -qi '<meta charset="UTF-8">' || fail "the packaged pages are not UTF-8"
curl -fs "$base/cgi-bin/quarnbxpic?logo.gif" | head -c 6 | grep -q GIF89a || fail "no image"
curl -fs -o "$work/logo.gif" "$base/cgi-bin/quarnbxpic?logo.gif"

# The examples built against the unpacked library with pkg-config and with find_package, run
# against the site above (a GET) and an echo CGI under a second lighttpd (a multipart upload).
# quarinet.pc names /usr: pkg-config puts the throwaway root before its paths.
export PKG_CONFIG_PATH="$libdir/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$root" QUAR_USER_REGISTRY="$work/user.reg"
unset http_proxy
cp -r "$source/examples" "$work/examples-make"
make -s -C "$work/examples-make" >/dev/null 2>"$work/make.log" ||
    { cat "$work/make.log" >&2; fail "the examples do not build with pkg-config"; }
cmake -S "$source/examples" -B "$work/examples-cmake" -DCMAKE_PREFIX_PATH="$usr" >/dev/null &&
    cmake --build "$work/examples-cmake" >/dev/null ||
    fail "the examples do not build with find_package(QuarInet)"
# With the socket transport hidden, a request can only go through the platform internet
# library layer, which the unpacked library finds in its private folder.
QUAR_HIDE_MODULES=WSOCK32.DLL "$work/examples-make/get" "$base/cgi-bin/quarnbxpic?logo.gif" \
    >"$work/got.gif" 2>/dev/null || fail "the library does not load its layer from quarinet/"
cmp -s "$work/got.gif" "$work/logo.gif" || fail "get through the layer fetched other bytes"
echo_root="$work/echo"
mkdir -p "$echo_root"
printf '#!/bin/sh\nprintf "Content-Type: text/plain\\r\\n\\r\\n"\nexec cat\n' >"$echo_root/echo.cgi"
chmod +x "$echo_root/echo.cgi"
echo_port=$(free_port)
cat >"$work/echo.conf" <<CONF
server.modules = ( "mod_cgi" )
server.bind = "127.0.0.1"
server.port = $echo_port
server.document-root = "$echo_root"
server.errorlog = "$work/echo-error.log"
cgi.assign = ( ".cgi" => "" )
CONF
"$lighttpd" -D -f "$work/echo.conf" &
echo_pid=$!
printf 'first file\n' >"$work/a.txt"
head -c 100000 /dev/urandom >"$work/b.bin"
for way in make cmake; do
    "$work/examples-$way/get" "$base/cgi-bin/quarnbxpic?logo.gif" >"$work/got.gif" 2>/dev/null ||
        fail "get ($way) failed"
    cmp -s "$work/got.gif" "$work/logo.gif" || fail "get ($way) fetched other bytes"
    wait_served "$echo_pid" "http://127.0.0.1:$echo_port/echo.cgi" ||
        fail "the echo server did not start"
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
echo "the packages are lintian-clean, install and serve $base; the examples build both ways and work"
