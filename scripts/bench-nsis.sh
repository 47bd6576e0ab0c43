#!/usr/bin/env bash
# Builds an NSIS installer of a benchmark's files, natively, for
# scripts/bench-copy.sh and scripts/bench-scale.sh: silent, without
# compression, installing into the folder that /D= names.
#   bench-nsis.sh <folder> <name> <payload>
# writes <folder>/<name>.nsi and <folder>/<name>.exe; the payload is the
# script's File lines, with paths relative to <folder>.
set -euo pipefail
folder="$1"; name="$2"; payload="$3"
cat > "$folder/$name.nsi" << NSI
Target amd64-unicode
SetCompress off
SetDatablockOptimize off
SilentInstall silent
RequestExecutionLevel user
OutFile "$name.exe"
Section
  SetOutPath "\$INSTDIR"
  $payload
SectionEnd
NSI
cd "$folder" && makensis -V1 "$name.nsi"
