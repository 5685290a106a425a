#!/bin/sh
# build-debs.sh SOURCE_DIR OUT_DIR: builds the Debian packages of the source tree with
# dpkg-buildpackage from a clean copy in OUT_DIR/quar (the files git knows, uncommitted changes
# included; no build trees), leaving the .deb and .changes files in OUT_DIR. Without tests, in
# parallel, through the user's ccache (debhelper gives the build a HOME of its own).
set -eu
source=$1 out=$2
rm -rf "$out"
mkdir -p "$out/quar"
out=$(cd "$out" && pwd)
if git -C "$source" rev-parse --git-dir >/dev/null 2>&1; then
    (cd "$source" && git ls-files -co --exclude-standard -z | grep -zv '^build/' |
        tar --null -cf - -T -) | tar -xf - -C "$out/quar"
else
    tar -C "$source" --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$out/quar"
fi
if command -v ccache >/dev/null 2>&1; then
    CCACHE_DIR=$(ccache -k cache_dir)
    export CCACHE_DIR CCACHE_BASEDIR="$out/quar" CCACHE_NOHASHDIR=true
fi
export DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)"
cd "$out/quar"
dpkg-buildpackage -us -uc -b >"$out/build.log" 2>&1 || { tail -n 40 "$out/build.log" >&2; exit 1; }
