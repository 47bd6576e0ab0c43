#!/bin/bash
# Runs the full-destination case of test_copyphase with a small disk: a
# 2 MB tmpfs linked as a free drive letter of the Wine prefix. Mounting
# needs root; without it the case runs unlinked and skips itself.
#   test_copyphase.sh <test_copyphase.exe>
set -u
exe="$1"
prefix="${WINEPREFIX:-$HOME/.wine}"
mnt=""
link=""

cleanup() {
  if [ -n "$link" ]; then rm -f "$link"; fi
  if [ -n "$mnt" ]; then
    umount "$mnt" 2> /dev/null
    rmdir "$mnt"
  fi
}
trap cleanup EXIT

if [ "$(id -u)" = 0 ] && [ -d "$prefix/dosdevices" ]; then
  for letter in t u v w x y; do
    if [ ! -e "$prefix/dosdevices/$letter:" ] && [ ! -L "$prefix/dosdevices/$letter:" ]; then
      break
    fi
    letter=""
  done
  if [ -n "$letter" ]; then
    mnt=$(mktemp -d "${TMPDIR:-/tmp}/copyphase-full.XXXXXX")
    if mount -t tmpfs -o size=2m tmpfs "$mnt"; then
      link="$prefix/dosdevices/$letter:"
      ln -s "$mnt" "$link"
      export COPYPHASE_FULL_DRIVE="$letter"
    else
      rmdir "$mnt"
      mnt=""
    fi
  fi
fi

wine "$exe" --gtest_filter='CopyPhase.AFullDestination*'
