#!/usr/bin/env bash
# Runs inside the X server of xvfb-run: a prefix of its own, then ctest.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-prefix.sh
wine_prefix_start "$PWD/build/x86_64/wineprefix" "$PWD/build/x86_64/tools/winewarm/winewarm.exe"
trap wine_prefix_end EXIT
# A removable drive A: for the multi-disk installs, its disk swapped by the tests.
mkdir -p "$PWD/build/x86_64/floppy"
ln -sfn "$PWD/build/x86_64/floppy" "$WINEPREFIX/dosdevices/a:"
wine reg add 'HKLM\Software\Wine\Drives' /v a: /d floppy /f > /dev/null 2>&1 < /dev/null
wine_prefix_restart
wine_prefix_hold
cd build/x86_64
ctest --output-on-failure --timeout 300
