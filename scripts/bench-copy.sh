#!/usr/bin/env bash
# Builds the copy-phase benchmark and runs it under Xvfb in a Wine prefix of
# its own: sources and media first, then the NSIS installers of the same
# files (makensis runs natively on the prefix's files), then the timed
# rounds. Never part of the tests.
#   scripts/bench-copy.sh [rounds]
#   scripts/bench-copy.sh --requests
# With --requests each contender runs each workload once under a Wine server
# that traces every request (wineserver -d2), and the requests it made are
# counted: per installed file and per 10,000 bytes (one block of the copy
# phase). Unlike the times, these counts do not depend on the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-10}"
mode=run
if [ "$rounds" = --requests ]; then mode=requests; rounds=1; fi
build="$PWD/build/bench-copy"
prefix="$PWD/build/bench-copy-prefix"
log="$PWD/build/bench-copy.log"
command -v makensis > /dev/null || { echo "makensis missing (Debian package nsis)" >&2; exit 1; }

bash scripts/bench-build.sh "$build" "$log" bench_copyphase

# Each program's output goes to a file: Wine's helper processes would hold
# a pipe open.
status=0
xvfb-run -a bash -c '
  set -u
  source scripts/wine-prefix.sh
  wine_prefix_start "$1" "$2/tools/winewarm/winewarm.exe"
  wine_prefix_hold
  trap "wine \"$2/bench/copyphase/bench_copyphase.exe\" clean > /dev/null 2>&1 < /dev/null; wine_prefix_end" EXIT
  bench="$2/bench/copyphase/bench_copyphase.exe"
  out="$2/bench-copyphase.txt"
  bash scripts/wine-run.sh "$bench" prepare > "$out" 2>&1 || exit 1
  root="$WINEPREFIX/drive_c/bench_copyphase"
  for kind in files big; do
    if [ "$kind" = files ]; then payload="File /r \"files/*\""; else payload="File \"big/Big.bin\"
  File \"files/Uninst.exe\""; fi
    bash scripts/bench-nsis.sh "$root" "nsis_$kind" "$payload" >> "$out" 2>&1 || exit 1
  done
  if [ "$4" = run ]; then
    bash scripts/wine-run.sh "$bench" run "$3" >> "$out" 2>&1
    exit
  fi
  bash scripts/bench-requests.sh "$bench" "$2" "$out"
' bench "$prefix" "$build" "$rounds" "$mode" || status=$?

cat "$build/bench-copyphase.txt"
exit "$status"
