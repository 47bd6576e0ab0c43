#!/usr/bin/env bash
# The mutation run over the install-information reader (not part of the
# tests: it takes a while): 100,000 damaged copies of the Tilewright
# Setup.dat, read as the loader and as the earlier-installation check do,
# then copies whose folder or file names leave their folder or name a
# device, each of which the loader must refuse (the run fails otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${MUTATION_SESSION:-}" ]; then
  export MUTATION_SESSION=1
  exec xvfb-run -a bash "$0" "$@"
fi
build="$PWD/build/x86_64"
count="${1:-100000}"
source scripts/wine-prefix.sh
source scripts/make-medium.sh
wine_prefix_start "$build/fuzz-prefix" "$build/tools/winewarm/winewarm.exe"
wine_prefix_hold
trap wine_prefix_end EXIT
make_media "$build"
status=0
bash scripts/wine-run.sh "$build/tools/archivefuzz/archivefuzz.exe" "$build/medium/single/Setup.dat" 'C:\fuzz' "$count" \
  > "$build/mutation-run.txt" 2>&1 || status=$?
cat "$build/mutation-run.txt"
exit "$status"
