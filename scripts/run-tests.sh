#!/usr/bin/env bash
# The test command: installs what is needed, builds both targets and runs
# every test under Xvfb, in a Wine prefix of its own and, for the shipped
# 32-bit build, in the emulated 32-bit root (made once per machine). Prints
# the whole run's wall time, then ctest's summary line again, last.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
rm -f build/x86_64/ctest.log
bash scripts/install-deps.sh
bash scripts/build.sh
status=0
xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/test-session.sh || status=$?
elapsed=$(( $(date +%s) - started ))
echo
echo "Whole test command: $((elapsed / 60)) min $((elapsed % 60)) s"
grep -E '^[0-9]+% tests passed' build/x86_64/ctest.log | tail -1 || echo "ctest did not finish"
exit "$status"
