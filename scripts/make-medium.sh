# Sourced inside a Wine session, from the repository root: writes the
# Tilewright media from the staged product of a build with that build's
# mkmedium, each with Setup.exe beside its Setup.dat:
#   $build/medium/single   one volume
#   $build/medium/multi    disk1, disk2, ... (1.2 MB volumes)
# make_media <build> [--i386]: --i386 runs mkmedium in the 32-bit root.
make_media() {
  local build="$1" media="$1/medium"
  local run=(bash scripts/wine-run.sh ${2:+"$2"})
  rm -rf "$media"
  mkdir -p "$media"
  local mk="$build/tools/mkmedium/mkmedium.exe"
  local ini="$build/tilewright/Tilewright.ini"
  "${run[@]}" "$mk" build "$ini" "$media/single" > "$media/single.log" 2>&1 || { cat "$media/single.log"; return 1; }
  "${run[@]}" "$mk" build "$ini" "$media/multi" --disk-type 0 > "$media/multi.log" 2>&1 || { cat "$media/multi.log"; return 1; }
  cp "$build/app/Setup.exe" "$media/single/Setup.exe"
  cp "$build/app/Setup.exe" "$media/multi/disk1/Setup.exe"
}
