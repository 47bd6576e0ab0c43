#!/usr/bin/env bash
# One demo run of Setup.exe; "interactive" waits for the user, "driven"
# answers the final message box itself after a screenshot.
set -uo pipefail
cd "$(dirname "$0")/.."
mode="$1"
build="$PWD/build/x86_64"
out="$build/demo"
mkdir -p "$out"
source scripts/wine-prefix.sh
wine_prefix_start "$build/demo-prefix" "$build/tools/winewarm/winewarm.exe"
trap wine_prefix_end EXIT

medium="$out/medium"
mkdir -p "$medium"
cp "$build/app/Setup.exe" "$medium/Setup.exe"

if [ "$mode" = interactive ]; then
  wine "$medium/Setup.exe" > "$out/setup.log" 2>&1
  echo "Setup ended with exit code $?"
  exit 0
fi

wine "$medium/Setup.exe" > "$out/setup.log" 2>&1 &
setup_pid=$!
driver="$build/tools/guidriver/guidriver.exe"
if ! timeout 120 wine "$driver" msgbox 60 > "$out/message.txt" 2> /dev/null; then
  echo "no message box appeared within 60 s"
  kill "$setup_pid" 2> /dev/null
  exit 1
fi
import -window root "$out/final.png"
echo "Setup says: $(tr -d '\r' < "$out/message.txt")"
echo "screenshot: $out/final.png"
timeout 60 wine "$driver" press 1 10 > /dev/null 2>&1
if ! timeout 60 tail --pid="$setup_pid" -f /dev/null; then
  echo "Setup did not end after its final message box was closed"
  kill "$setup_pid" 2> /dev/null
  exit 1
fi
wait "$setup_pid"
echo "Setup ended with exit code $?"
