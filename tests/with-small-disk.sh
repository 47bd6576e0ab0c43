#!/bin/bash
# Runs a test program with a small disk: a 2 MB tmpfs linked as a free
# drive letter of the Wine prefix, its letter in the environment variable
# named first. Mounting needs root; without it the program runs unlinked and
# its full-disk cases skip themselves.
#   with-small-disk.sh <variable> <test.exe> [arguments]
set -u
variable="$1"
shift
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
      export "$variable=$letter"
    else
      rmdir "$mnt"
      mnt=""
    fi
  fi
fi

bash "$(dirname "$0")/../scripts/wine-run.sh" "$@"
