#!/bin/sh
# check-exports.sh LIBRARY EXPECTED: the library's exported symbols (demangled, sorted) must be
# exactly the lines of EXPECTED; everything else stays hidden.
set -eu
actual=$(nm -D --defined-only --demangle "$1" | cut -d' ' -f3- | LC_ALL=C sort)
expected=$(LC_ALL=C sort "$2")
if [ "$actual" != "$expected" ]; then
    echo "exports of $1 differ from $2:" >&2
    printf '%s\n' "$actual" > "${TMPDIR:-/tmp}/inet-exports.$$"
    printf '%s\n' "$expected" | diff - "${TMPDIR:-/tmp}/inet-exports.$$" >&2 || true
    rm -f "${TMPDIR:-/tmp}/inet-exports.$$"
    exit 1
fi
