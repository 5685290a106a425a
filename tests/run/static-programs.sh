#!/bin/sh
# static-programs.sh PROGRAM...: the static server programs hold none of the C library's
# functions that look names up through its shared modules (hosts, users, groups): a static
# program could run them only with the shared libraries of the glibc it was built with.
set -eu
status=0
for program in "$@"; do
    found=$(nm "$program" | awk '$2 ~ /^[TW]$/ && $3 ~ /^(gethostbyname.*|getaddrinfo|getpwnam.*|getpwuid.*|getgrnam.*|getgrgid.*)$/ { print $3 }' | tr '\n' ' ')
    if [ -n "$found" ]; then
        echo "$program holds $found" >&2
        status=1
    fi
done
exit $status
