#!/bin/sh
# run.sh: builds a release tree, installs the site under build/site and serves it with
# lighttpd on 127.0.0.1:$PORT in the foreground.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# Compiler results are shared between checkouts of the tree (ccache, when installed).
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
port=${PORT:-8080}

sh scripts/install-deps.sh run
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target quarnbxadmin quarnbx quarnbxpic quarsetup

site="$root/build/site"
"$root/build/release/tools/quarsetup/quarsetup" --data-dir "$site/data" --cgi-dir "$site/cgi-bin" \
    --registry "$site/machine.reg"
mkdir -p "$site/tmp"
sh scripts/lighttpd-conf.sh "$site" "$port" > "$site/lighttpd.conf"
echo "Administration pages: http://127.0.0.1:$port/cgi-bin/quarnbxadmin"
exec lighttpd -D -f "$site/lighttpd.conf"
