#!/usr/bin/env bash
# Builds the scale benchmark and runs it under Xvfb in a Wine prefix of its
# own. For each workload (2,000 files of 100,000 bytes; 2,000, 10,000 and
# 50,000 files of 4 KB) the sources and the manifest of their medium first,
# then the medium made by the build's mkmedium with Setup.exe beside it and
# the NSIS installer of the same files (makensis runs natively on the
# prefix's files), then the timed rounds; each workload's files go before
# the next one's are written. Last, the time per file of every workload
# and how it grows with the count. Never part of the tests.
#   scripts/bench-scale.sh [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-1}"
build="$PWD/build/bench-scale"
prefix="$PWD/build/bench-scale-prefix"
log="$PWD/build/bench-scale.log"
command -v makensis > /dev/null || { echo "makensis missing (Debian package nsis)" >&2; exit 1; }

bash scripts/bench-build.sh "$build" "$log" bench_scale

# Each program's output goes to a file: Wine's helper processes would hold
# a pipe open.
status=0
xvfb-run -a bash -c '
  set -u
  build="$2"; rounds="$3"
  source scripts/wine-prefix.sh
  wine_prefix_start "$1" "$build/tools/winewarm/winewarm.exe"
  wine_prefix_hold
  bench="$build/bench/scale/bench_scale.exe"
  trap "wine \"$bench\" clean > /dev/null 2>&1 < /dev/null; wine_prefix_end" EXIT
  out="$build/bench-scale.txt"
  : > "$out"
  root="$WINEPREFIX/drive_c/bench_scale"
  # The build tree on drive Z:, the Unix root.
  uninstaller="Z:${build//\//\\}\\uninst\\Uninst.exe"
  for workload in "2000 100000" "2000 4096" "10000 4096" "50000 4096"; do
    read -r files bytes <<< "$workload"
    start=$SECONDS
    bash scripts/wine-run.sh "$bench" prepare "$files" "$bytes" "$uninstaller" >> "$out" 2>&1 || exit 1
    bash scripts/wine-run.sh "$build/tools/mkmedium/mkmedium.exe" build "C:\\bench_scale\\scale.ini" \
      "C:\\bench_scale\\medium" --disk-type 2 > /dev/null 2>> "$out" || exit 1
    cp "$build/app/Setup.exe" "$root/medium/"
    bash scripts/bench-nsis.sh "$root" nsis_files "File /r \"files/*\"" >> "$out" 2>&1 || exit 1
    prepared=$SECONDS
    bash scripts/wine-run.sh "$bench" run "$files" "$bytes" "$rounds" >> "$out" 2>&1 || exit 1
    echo "  (sources, medium and NSIS installer $((prepared - start)) s, rounds $((SECONDS - prepared)) s)" >> "$out"
    bash scripts/wine-run.sh "$bench" clean >> "$out" 2>&1
  done
  bash scripts/wine-run.sh "$bench" report >> "$out" 2>&1
' bench "$prefix" "$build" "$rounds" || status=$?

cat "$build/bench-scale.txt"
exit "$status"
