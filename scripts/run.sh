#!/bin/sh
# run.sh: builds a release tree, installs the site under build/site and serves it with
# lighttpd on 127.0.0.1:$PORT in the foreground. It prints its progress and the address; what
# the package installer, CMake and the compiler say goes to build/run.log.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# Compiler results are shared between checkouts of the tree (ccache, when installed).
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
port=${PORT:-8080}
mkdir -p build
log="$root/build/run.log"
: >"$log"

# Runs a step with its output in the log; a failing step shows the end of the log.
step() {
    message=$1
    shift
    echo "$message"
    if ! "$@" >>"$log" 2>&1; then
        echo "run: failed: $message (the last lines of $log follow)" >&2
        tail -n 30 "$log" >&2
        exit 1
    fi
}

step "Checking the packages it needs..." sh scripts/install-deps.sh run
step "Configuring the release build..." cmake --preset release
step "Building the programs (log: build/run.log)..." \
    cmake --build --preset release -j "$(nproc)" --target quarnbxadmin quarnbx quarnbxpic quarsetup
site="$root/build/site"
step "Installing the site under build/site..." \
    "$root/build/release/tools/quarsetup/quarsetup" --data-dir "$site/data" \
    --cgi-dir "$site/cgi-bin" --registry "$site/machine.reg"
mkdir -p "$site/tmp"
sh scripts/lighttpd-conf.sh "$site" "$port" > "$site/lighttpd.conf"
# Debian puts the server in /usr/sbin, which a user's PATH does not hold.
lighttpd=$(PATH="$PATH:/usr/local/sbin:/usr/sbin:/sbin" command -v lighttpd) ||
    { echo "run: lighttpd is not installed (apt-get install lighttpd)" >&2; exit 1; }
echo "Administration pages: http://127.0.0.1:$port/cgi-bin/quarnbxadmin"
exec "$lighttpd" -D -f "$site/lighttpd.conf"
