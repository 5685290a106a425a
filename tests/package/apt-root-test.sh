#!/bin/sh
# apt-root-test.sh BUILD_DIR SOURCE_DIR: the packages installed with apt into a throwaway Debian
# root, as a user's machine gets them. mmdebstrap makes a minimal bookworm root from the Debian
# mirror, apt installs quar-server, quarget and libquarinet1 from their .deb files (resolving
# their Depends from the mirror), lighttpd and Apache; inside the root, quarsetup lays out
# sites with the system's registry file, lighttpd and Apache (the README's recipe) serve them
# on 127.0.0.1 (apt-root-hook.sh). The packages are those of package_deb when it ran
# before in this build tree, else they are built.
set -eu
build=$1 source=$2
here=$(cd "$(dirname "$0")" && pwd)
debs="$build/package-build"
ls "$debs"/quar-server_*.deb >/dev/null 2>&1 || sh "$here/build-debs.sh" "$source" "$debs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
mkdir -p "$work/debs"
cp "$debs"/libquarinet1_*.deb "$debs"/quarget_*.deb "$debs"/quar-server_*.deb "$work/debs/"
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port=$(free_port) apache_port=$(free_port)
mode=unshare
[ "$(id -u)" -eq 0 ] && mode=root
# The hook runs with the root's /proc and /dev mounted; it fails the whole run when it fails.
mmdebstrap --quiet --mode="$mode" --variant=apt bookworm "$work/root" \
    "deb http://deb.debian.org/debian bookworm main" \
    "deb http://deb.debian.org/debian-security bookworm-security main" \
    --customize-hook="sh '$here/apt-root-hook.sh' \"\$1\" '$work/debs' $port $apache_port" \
    >"$work/mmdebstrap.log" 2>&1 || { tail -n 60 "$work/mmdebstrap.log" >&2; exit 1; }
grep -v '^I: ' "$work/mmdebstrap.log" | grep '^apt-root:' || true
echo "installed with apt into a Debian root; the site and quarget work there"
