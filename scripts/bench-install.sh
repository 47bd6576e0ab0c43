#!/usr/bin/env bash
# Builds the whole-install benchmark in a build tree of its own and runs it
# in a Wine prefix of its own (under Xvfb when there is no display): the
# enlarged manifest and its map files first, then the NSIS installer of the
# same files (makensis runs natively on the staged files), then the timed
# rounds of Setup.exe driven through its wizard, Setup.exe /S, the NSIS
# silent installer and a plain copy. Never part of the tests.
#   scripts/bench-install.sh [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-5}"
build="$PWD/build/bench-install"
prefix="$build/prefix"
log="$build/build.log"
command -v makensis > /dev/null || { echo "makensis missing (Debian package nsis)" >&2; exit 1; }

bash scripts/bench-build.sh "$build" "$log" bench_install

display=()
if [ -z "${DISPLAY:-}" ]; then display=(xvfb-run -a -s "-screen 0 1024x768x24"); fi

# Each program's output goes to a file: Wine's helper processes would hold
# a pipe open.
status=0
"${display[@]}" bash -c '
  set -u
  source scripts/wine-prefix.sh
  wine_prefix_start "$1" "$2/tools/winewarm/winewarm.exe"
  wine_prefix_hold
  bench="$2/bench/bench_install.exe"
  trap "wine \"$bench\" clean > /dev/null 2>&1 < /dev/null; wine_prefix_end" EXIT
  out="$2/bench-install.txt"
  bash scripts/wine-run.sh "$bench" prepare > "$out" 2>&1 || exit 1
  (cd "$2/tilewright" && makensis -V1 Tilewright-200MB.nsi) >> "$out" 2>&1 || exit 1
  bash scripts/wine-run.sh "$bench" run "$3" >> "$out" 2>&1
' bench "$prefix" "$build" "$rounds" || status=$?

cat "$build/bench-install.txt"
exit "$status"
