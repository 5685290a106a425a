#!/bin/sh
# prefix-test.sh BUILD_DIR SOURCE_DIR: `cmake --install` of the build tree into a throwaway
# prefix gives programs that run there with an empty LD_LIBRARY_PATH: quarget and quarsetup
# answer --help, quarsetup lays out a site from the prefix, and quarget and an example built
# against the prefix with pkg-config fetch a file from lighttpd, through the platform internet
# library layer that the installed library finds in its private folder.
set -eu
build=$1 source=$2
. "$source/tests/support/serving.sh"
work=$(mktemp -d)
pid=
trap 'if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
fail() {
    echo "$1" >&2
    exit 1
}
prefix="$work/prefix dir"  # a space, as $HOME/My Programs may have
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install failed"; }
export LD_LIBRARY_PATH= QUAR_USER_REGISTRY="$work/user.reg"
unset http_proxy
for program in bin/quarget sbin/quarsetup; do
    "$prefix/$program" --help >"$work/help" 2>"$work/help.err" || fail "$program --help failed"
    grep -q '^usage:' "$work/help" && [ ! -s "$work/help.err" ] ||
        fail "$program --help does not print its usage on standard output"
done
objdump -p "$prefix/bin/quarget" | grep -q 'RUNPATH.*\$ORIGIN' || fail "quarget has no \$ORIGIN RUNPATH"
libdir=$(dirname "$(find "$prefix" -name libQuarInet.so.1)")
[ -f "$libdir/quarinet/libquarwininet.so" ] || fail "the layer is not in the library's private folder"

"$prefix/sbin/quarsetup" --data-dir "$work/data" --cgi-dir "$work/cgi-bin" \
    --registry "$work/machine.reg" >/dev/null || fail "quarsetup from the prefix failed"
cmp -s "$prefix/lib/quar/quarnbxpic" "$work/cgi-bin/quarnbxpic" || fail "programs not from the prefix"

mkdir -p "$work/www"
head -c 70000 /dev/urandom >"$work/www/file.bin"
port=$(free_port)
cat >"$work/lighttpd.conf" <<CONF
server.bind = "127.0.0.1"
server.port = $port
server.document-root = "$work/www"
server.errorlog = "$work/error.log"
CONF
PATH="$PATH:/usr/sbin:/sbin" lighttpd -D -f "$work/lighttpd.conf" &
pid=$!
url="http://127.0.0.1:$port/file.bin"
wait_served "$pid" "$url" || fail "lighttpd did not start"
(cd "$work" && PKG_CONFIG_PATH="$libdir/pkgconfig" make -s -f "$source/examples/Makefile" \
    VPATH="$source/examples" get >/dev/null 2>"$work/make.log") ||
    { cat "$work/make.log" >&2; fail "the example does not build against the prefix"; }
# The socket transport hidden: only the layer from the private folder can fetch.
for client in "$prefix/bin/quarget" "$work/get"; do
    QUAR_HIDE_MODULES=WSOCK32.DLL "$client" "$url" >"$work/got" 2>"$work/client.err" ||
        { cat "$work/client.err" >&2; fail "$client failed with an empty LD_LIBRARY_PATH"; }
    cmp -s "$work/got" "$work/www/file.bin" || fail "$client fetched other bytes"
done
echo "installed under a prefix, quarget, quarsetup and an example run there"
