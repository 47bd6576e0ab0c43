#!/usr/bin/env bash
# One demo run of Setup.exe from the Tilewright medium. "interactive" leaves
# the windows to the user; "driven" walks the wizard like a user, saves a
# screenshot of every step, and prints what was installed and the final
# message. The second argument is the build: x86_64 (under the host's Wine)
# or i686 (the shipped build, in the emulated 32-bit root). Exit code
# non-zero when the installation did not succeed.
set -uo pipefail
cd "$(dirname "$0")/.."
mode="$1"
arch="${2:-x86_64}"
build="$PWD/build/$arch"
out="$build/demo"
rm -rf "$out"
mkdir -p "$out"
source scripts/wine-prefix.sh
source scripts/i386-root.sh
source scripts/make-medium.sh
# Every Windows program runs through the wrapper: its output goes to files,
# never to a pipe a Wine helper process could hold.
if [ "$arch" = i686 ]; then
  trap i386_root_leave EXIT
  i386_root_enter "$PWD" && i386_wine_start "$build/demo-prefix" "$build/tools/winewarm/winewarm.exe" || exit 1
  WINEPREFIX="$TILEWRIGHT_I386_PREFIX"
  run=(bash scripts/wine-run.sh --i386)
  make_media "$build" --i386 || exit 1
else
  wine_prefix_start "$build/demo-prefix" "$build/tools/winewarm/winewarm.exe"
  wine_prefix_hold
  trap wine_prefix_end EXIT
  run=(bash scripts/wine-run.sh)
  make_media "$build" || exit 1
fi
setup="$build/medium/single/Setup.exe"

if [ "$mode" = interactive ]; then
  "${run[@]}" "$setup" > "$out/setup.log" 2>&1
  echo "Setup ended with exit code $?"
  exit 0
fi

driver() { timeout 90 "${run[@]}" "$build/tools/guidriver/guidriver.exe" "$@" 2> /dev/null; }
shot() { import -window root "$out/$1.png"; echo "screenshot: $out/$1.png"; }

"${run[@]}" "$setup" > "$out/setup.log" 2>&1 &
setup_pid=$!

step=0
if driver window "Welcome to Tilewright" 60 > /dev/null; then
  sleep 1; shot "$((++step))-readme"
  driver sheet "Welcome to Tilewright" next > /dev/null
  driver window "Choose Destination Location" 30 > /dev/null && { sleep 1; shot "$((++step))-destination"; }
  driver sheet "Choose Destination Location" next > /dev/null
  # The destination does not exist yet: the page asks whether to create it.
  if question=$(driver msgbox 5); then
    echo "Setup asks: $(tr -d '\r' <<<"$question")"
    shot "$((++step))-create-question"
    driver press 6 10 > /dev/null
  fi
  driver window "Select Program Folder" 30 > /dev/null && { sleep 1; shot "$((++step))-folder"; }
  driver sheet "Select Program Folder" finish > /dev/null
fi

if ! message=$(driver msgbox 300); then
  echo "no final message box appeared"
  kill "$setup_pid" 2> /dev/null
  exit 1
fi
message=$(tr -d '\r' <<<"$message")
shot "$((++step))-final"
driver press 1 10 > /dev/null
if ! timeout 60 tail --pid="$setup_pid" -f /dev/null; then
  echo "Setup did not end after its final message box was closed"
  kill "$setup_pid" 2> /dev/null
  exit 1
fi
wait "$setup_pid"
code=$?

dest="$WINEPREFIX/drive_c/Tilewright"
echo
echo "Installed files in C:\\Tilewright:"
if [ -d "$dest" ]; then (cd "$dest" && find . -type f | sort | sed 's/^\.\//  /'); else echo "  (none)"; fi
echo "Shared library: $(ls "$WINEPREFIX/drive_c/windows/system32/TileShr.dll" 2> /dev/null || echo none)"
echo "Registry entries:"
for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\Mapsmith.exe' \
           'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tilewright' \
           'HKCR\Mapsmith.Document\shell\open\command' 'HKCR\.tlr'; do
  "${run[@]}" reg query "$key" /s 2> /dev/null | tr -d '\r' | grep -v '^$' | sed 's/^/  /' || echo "  $key: (none)"
done
"${run[@]}" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs' 2> /dev/null | tr -d '\r' | grep -i tileshr | sed 's/^/  /'
group="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tilewright"
echo "Program group Tilewright:"
if [ -d "$group" ]; then ls "$group" | sed 's/^/  /'; else echo "  (none)"; fi
echo
echo "Setup says: $message"
echo "Setup ended with exit code $code"
[ "$message" = "The Setup was completed successfully." ]
