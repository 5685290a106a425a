#!/bin/sh
# test.sh: installs what the tests need, builds the release tree and the sanitizer trees, and
# runs every test of the default run (everything but the label "long").
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# Compiler results are shared between checkouts of the tree (ccache, when installed).
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
jobs=$(nproc)

sh scripts/install-deps.sh test

# The benchmarks are compiled too (not run: label "long"), so that they keep building.
cmake --preset release -DQUAR_TESTS=ON -DQUAR_BENCH=ON >/dev/null
cmake --build --preset release -j "$jobs"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"

status=0
echo "== release tree: all tests =="
ctest --test-dir build/release --output-on-failure -j "$jobs" -LE long || status=1
echo "== sanitizer tree: unit tests and short fuzzing runs =="
ctest --test-dir build/asan --output-on-failure -j "$jobs" -L 'unit|fuzz-short' -LE long || status=1
echo "== thread sanitizer tree: the QuarInet client =="
ctest --test-dir build/tsan --output-on-failure -j "$jobs" -L inet -LE long || status=1
exit $status
