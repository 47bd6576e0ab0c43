#!/usr/bin/env bash
# Builds the benchmarks and runs them under Xvfb in a Wine prefix of their
# own, then prints the figures. Never part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$PWD/build/bench"
prefix="$PWD/build/bench-prefix"
log="$PWD/build/bench.log"

bash scripts/bench-build.sh "$build" "$log" bench_archive_rw bench_mkmedium_copy

# Each program's output goes to a file: Wine's helper processes would hold
# a pipe open.
xvfb-run -a bash -c '
  set -u
  source scripts/wine-prefix.sh
  wine_prefix_start "$1" "$2/tools/winewarm/winewarm.exe"
  wine_prefix_hold
  trap wine_prefix_end EXIT
  status=0
  bash scripts/wine-run.sh "$2/bench/archive_rw/bench_archive_rw.exe" > "$2/bench-archive_rw.txt" 2>&1 || status=1
  bash scripts/wine-run.sh "$2/bench/mkmedium_copy/bench_mkmedium_copy.exe" > "$2/bench-mkmedium_copy.txt" 2>&1 || status=1
  exit $status
' bench "$prefix" "$build" || status=$?

cat "$build/bench-archive_rw.txt" "$build/bench-mkmedium_copy.txt"
exit "${status:-0}"
