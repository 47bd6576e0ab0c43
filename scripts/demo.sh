#!/usr/bin/env bash
# The main job: installs what is needed, builds both targets and runs the
# installer under Wine, in a prefix of its own made afresh. With a display
# the user sees the real windows; without one it runs under Xvfb, saves a
# screenshot, prints the final message and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [ -n "${DISPLAY:-}" ]; then
  bash scripts/demo-session.sh interactive
else
  xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/demo-session.sh driven
fi
