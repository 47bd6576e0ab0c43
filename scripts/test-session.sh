#!/usr/bin/env bash
# Runs inside the X server of xvfb-run: a prefix of its own, the 32-bit root
# for the shipped build's tests, then ctest (its log in build/x86_64/ctest.log).
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-prefix.sh
source scripts/i386-root.sh
# A session that skips the 32-bit root leaves it alone: leaving ends every
# process in it, and another session may be using it.
uses_root=0
trap 'wine_prefix_end; [ "$uses_root" = 0 ] || i386_root_leave' EXIT

# The shipped build's end-to-end tests run in the emulated 32-bit root. A
# machine that cannot run it says why here, and those tests fail, unless
# the person running them chose to skip them.
if [ "${TILEWRIGHT_SKIP_I686:-}" = 1 ]; then
  echo "32-bit root: skipped (TILEWRIGHT_SKIP_I686=1): the shipped build's end-to-end tests will not run"
else
  started=$(date +%s)
  uses_root=1
  if i386_root_enter "$PWD" &&
     i386_wine_start "$PWD/build/i686/wineprefix" "$PWD/build/i686/tools/winewarm/winewarm.exe" \
                     "$PWD/build/i686/floppy"; then
    echo "32-bit root: ready in $(( $(date +%s) - started )) s"
  else
    export TILEWRIGHT_I386_ERROR="this machine could not enter the 32-bit root (see above)"
    echo "32-bit root: NOT AVAILABLE: the shipped build's end-to-end tests will fail;" \
         "set TILEWRIGHT_SKIP_I686=1 to skip them knowingly"
  fi
fi

wine_prefix_start "$PWD/build/x86_64/wineprefix" "$PWD/build/x86_64/tools/winewarm/winewarm.exe"
# A removable drive A: for the multi-disk installs, its disk swapped by the tests.
mkdir -p "$PWD/build/x86_64/floppy"
ln -sfn "$PWD/build/x86_64/floppy" "$WINEPREFIX/dosdevices/a:"
wine reg add 'HKLM\Software\Wine\Drives' /v a: /d floppy /f > /dev/null 2>&1 < /dev/null
wine_prefix_restart
wine_prefix_hold
cd build/x86_64
ctest --output-on-failure --output-log ctest.log
