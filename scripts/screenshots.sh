#!/usr/bin/env bash
# Takes the screenshots of the documentation (docs/*.png) under Xvfb from
# the x86_64 build: the shell's dialogs as they look in a run.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${SCREENSHOT_SESSION:-}" ]; then
  export SCREENSHOT_SESSION=1
  exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0" "$@"
fi
build="$PWD/build/x86_64"
source scripts/wine-prefix.sh
wine_prefix_start "$build/shot-prefix" "$build/tools/winewarm/winewarm.exe"
wine_prefix_hold
trap wine_prefix_end EXIT
mkdir -p docs
for what in status progress readonly; do
  wine "$build/tools/uishow/uishow.exe" "$what" > /dev/null 2>&1 &
  sleep 3
  import -window root -trim +repage "docs/$what.png"
  wineserver -k > /dev/null 2>&1 || true
  wait || true
  wineserver -p > /dev/null 2>&1 < /dev/null || true
done
echo "docs: $(ls docs)"
