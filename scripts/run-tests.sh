#!/usr/bin/env bash
# The test command: installs what is needed, builds both targets and runs
# every test under Xvfb in a Wine prefix of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/test-session.sh
