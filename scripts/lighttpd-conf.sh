#!/bin/sh
# lighttpd-conf.sh SITE PORT [OPTION...]: prints the lighttpd configuration of an installation
# laid out as "make run" lays it out (SITE/cgi-bin, SITE/machine.reg, the server's own files in
# SITE), as quarsetup makes it ($QUARSETUP, else the release tree's); further options (such as
# --user USER) go to quarsetup.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
site=$1 port=$2
shift 2
exec "${QUARSETUP:-$root/build/release/tools/quarsetup/quarsetup}" --print-config lighttpd \
    --cgi-dir "$site/cgi-bin" --registry "$site/machine.reg" --state-dir "$site" --port "$port" "$@"
