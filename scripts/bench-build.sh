#!/usr/bin/env bash
# Configures and builds a benchmark's x86_64 tree of its own with the Wine
# warm-up program; the log goes to a file and is shown when a step fails.
# Run from the repository's root:
#   bench-build.sh <build dir> <log> <target>...
set -uo pipefail
build="$1"; log="$2"; shift 2
mkdir -p "$(dirname "$log")"
{ cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake > "$log" 2>&1 &&
  cmake --build "$build" -j2 --target winewarm "$@" >> "$log" 2>&1; } || { cat "$log"; exit 1; }
