#!/bin/sh
# install-deps.sh [run|test]: installs the Debian packages (and, for tests, the Node.js
# packages) that building, serving or testing needs. Packages already present are left alone.
set -eu
mode=${1:-test}
root=$(cd "$(dirname "$0")/.." && pwd)

packages="build-essential cmake ccache zlib1g-dev libdeflate-dev libcurl4-openssl-dev lighttpd curl"
if [ "$mode" = test ]; then
    # apache2: installations are served and tested under Apache httpd too; GTK 3, Xvfb and
    # xdotool: the library's dialogs are shown and driven as real windows.
    packages="$packages clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
        tinyproxy chromium hyperfine gzip apache2 lighttpd-mod-openssl openssl
        libgtk-3-dev xvfb xdotool x11-apps imagemagick"
    # The Debian packages are built with debhelper and checked with lintian; the long test
    # installs them into a throwaway Debian root made by mmdebstrap.
    packages="$packages debhelper dpkg-dev fakeroot lintian pkgconf mmdebstrap"
    # Node.js may come from outside Debian's packages; take Debian's only when there is none.
    command -v node >/dev/null 2>&1 || packages="$packages nodejs"
    command -v npm >/dev/null 2>&1 || packages="$packages npm"
fi

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "install-deps: installing$missing" >&2
    if [ "$(id -u)" -ne 0 ]; then
        SUDO=sudo
    else
        SUDO=
    fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >&2
fi

# Node.js packages of the browser and peer tests (playwright-core drives Debian's chromium).
if [ "$mode" = test ] && [ -f "$root/tests/browser/package.json" ]; then
    if [ ! -d "$root/tests/browser/node_modules" ]; then
        (cd "$root/tests/browser" && npm ci --no-audit --no-fund >&2)
    fi
fi
