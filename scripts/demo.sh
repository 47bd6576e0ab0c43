#!/usr/bin/env bash
# The main job: installs what is needed, builds what the demo runs and runs
# the installer under Wine, in a prefix of its own made afresh. With a
# display the user sees the real windows; without one it runs under Xvfb,
# saves a screenshot of every step, prints what was installed and ends.
#   demo.sh           the x86_64 build, under the host's Wine
#   demo.sh --i686    the shipped 32-bit build, in the emulated 32-bit root
#                     (made once per machine: a few minutes the first time)
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  "") arch=x86_64; target=demo ;;
  --i686) arch=i686; target=demo-i686 ;;
  *) echo "usage: demo.sh [--i686]" >&2; exit 2 ;;
esac
bash scripts/install-deps.sh
bash scripts/build.sh "$target"
if [ -n "${DISPLAY:-}" ]; then
  bash scripts/demo-session.sh interactive "$arch"
else
  xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/demo-session.sh driven "$arch"
fi
