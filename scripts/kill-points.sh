#!/usr/bin/env bash
# The kill run, never part of the tests (a thousand runs take hours): on a
# machine with an earlier installation, the unattended install of the
# Tilewright medium is killed at a random moment of the time an
# uninterrupted run takes, then run again, which must leave the machine as
# one uninterrupted run does; over and over (test_faults' case
# Kill.DISABLED_AtRandomMoments). Prints how many runs ended so, and each
# that did not, with the moment of its kill and the last line its log showed.
#   kill-points.sh [--i686] [runs] [seed]   1000 runs, a seed from the clock
# --i686 runs the shipped 32-bit build in the emulated 32-bit root (made
# once per machine; needs root).
set -euo pipefail
cd "$(dirname "$0")/.."
# The session below is started with the same arguments, --i686 among them.
args=("$@")
arch=x86_64
if [ "${1:-}" = --i686 ]; then
  arch=i686
  shift
fi
runs="${1:-1000}"
seed="${2:-$(date +%s)}"
if [ -z "${KILL_SESSION:-}" ]; then
  bash scripts/install-deps.sh
  if [ "$arch" = i686 ]; then bash scripts/build.sh faults-i686; else bash scripts/build.sh faults; fi
  export KILL_SESSION=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "${args[@]}"
fi

started=$(date +%s)
build="$PWD/build/$arch"
out="$build/kill-points.txt"
source scripts/wine-prefix.sh
source scripts/i386-root.sh
# Every Windows program runs through the wrapper: its output goes to files,
# never to a pipe a Wine helper process could hold.
if [ "$arch" = i686 ]; then
  trap i386_root_leave EXIT
  i386_root_enter "$PWD" && i386_wine_start "$build/kill-prefix" "$build/tools/winewarm/winewarm.exe" || exit 1
  run=(bash scripts/wine-run.sh --i386)
else
  wine_prefix_start "$build/kill-prefix" "$build/tools/winewarm/winewarm.exe"
  wine_prefix_hold
  trap wine_prefix_end EXIT
  run=(bash scripts/wine-run.sh)
fi

status=0
"${run[@]}" "$build/tests/test_faults.exe" --gtest_also_run_disabled_tests \
  --gtest_filter=Kill.DISABLED_AtRandomMoments --kill-runs="$runs" --kill-seed="$seed" > "$out" 2>&1 || status=$?
# The count and the runs that differ; the whole output when the runs did not
# get that far.
if grep -q 'runs ended equal' "$out"; then
  grep -E '^\[ (kill|differs) ' "$out"
else
  cat "$out"
fi
elapsed=$(( $(date +%s) - started ))
echo "kill run ($arch): $((elapsed / 60)) min $((elapsed % 60)) s, output in $out"
exit "$status"
