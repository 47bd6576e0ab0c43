#!/usr/bin/env bash
# Runs one Windows program and waits for it alone: its standard output and
# error go to files, passed on to ours as they grow, and its exit code is
# returned. Wine's helper processes (the desktop, services, the folder
# windows a new program group opens) inherit the output of the program that
# starts them and outlive it; on a pipe, whoever reads it (ctest, a script's
# $(...)) would wait for them. On a file they hold nothing anyone waits for,
# and the copies that follow the files end with the program. A program
# stopped by a time limit has therefore already shown what it printed; one
# stopped through this script (TERM, INT, HUP) is ended with it.
#   wine-run.sh [--i386] program.exe [arguments]
# --i386 runs the program in the session's 32-bit root (i386-root.sh): its
# prefix is $TILEWRIGHT_I386_PREFIX. TILEWRIGHT_SKIP_I686=1 skips such a run
# (exit 77, which ctest reports as skipped).
set -u
here="$(cd "$(dirname "$0")" && pwd)"
i386=0
if [ "${1:-}" = --i386 ]; then
  i386=1
  shift
fi

if [ "$i386" = 1 ]; then
  if [ "${TILEWRIGHT_SKIP_I686:-}" = 1 ]; then
    echo "skipped: TILEWRIGHT_SKIP_I686=1"
    exit 77
  fi
  if [ -z "${TILEWRIGHT_I386_PREFIX:-}" ]; then
    echo "the 32-bit root is not available: ${TILEWRIGHT_I386_ERROR:-no session entered it (scripts/run-tests.sh does)}"
    echo "set TILEWRIGHT_SKIP_I686=1 to skip the tests of the shipped 32-bit build knowingly"
    exit 1
  fi
  source "$here/i386-root.sh"
fi

out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX") || exit 1
: > "$out.err"
if [ "$i386" = 1 ]; then
  i386_chroot_env WINEPREFIX="$TILEWRIGHT_I386_PREFIX" wine "$@" > "$out" 2> "$out.err" < /dev/null &
else
  wine "$@" > "$out" 2> "$out.err" < /dev/null &
fi
program=$!
stopped=0
stop() {
  stopped="$1"
  kill -KILL "$program" 2> /dev/null
}
trap 'stop 129' HUP
trap 'stop 130' INT
trap 'stop 143' TERM

# Each copy ends once the program has ended and the file's end is passed on.
tail -n +1 -s 0.1 --pid="$program" -f "$out" &
copy_out=$!
tail -n +1 -s 0.1 --pid="$program" -f "$out.err" >&2 &
copy_err=$!

# A trapped signal interrupts the wait: wait again for the killed program.
wait "$program" 2> /dev/null
code=$?
while [ "$stopped" != 0 ] && kill -0 "$program" 2> /dev/null; do
  wait "$program" 2> /dev/null
done
wait "$copy_out" "$copy_err"
rm -f "$out" "$out.err"
if [ "$stopped" != 0 ]; then
  echo "wine-run.sh: stopped by a signal: the program was ended" >&2
  exit "$stopped"
fi
exit "$code"
