# Sourced inside a Wine session: writes the Tilewright media from the staged
# product with mkmedium, each with Setup.exe beside its Setup.dat:
#   $build/medium/single   one volume
#   $build/medium/multi    disk1, disk2, ... (1.2 MB volumes)
make_media() {
  local build="$1"
  local media="$build/medium"
  rm -rf "$media"
  mkdir -p "$media"
  local mk="$build/tools/mkmedium/mkmedium.exe"
  local ini="$build/tilewright/Tilewright.ini"
  wine "$mk" build "$ini" "$media/single" > "$media/single.log" 2>&1 < /dev/null || { cat "$media/single.log"; return 1; }
  wine "$mk" build "$ini" "$media/multi" --disk-type 0 > "$media/multi.log" 2>&1 < /dev/null || { cat "$media/multi.log"; return 1; }
  cp "$build/app/Setup.exe" "$media/single/Setup.exe"
  cp "$build/app/Setup.exe" "$media/multi/disk1/Setup.exe"
}
