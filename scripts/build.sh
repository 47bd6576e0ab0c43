#!/usr/bin/env bash
# Builds the two trees of the same sources:
#   build.sh [all]      build/i686: the shipped programs, the product and the
#                       32-bit builds of the end-to-end tests; build/x86_64:
#                       every program, tool and test
#   build.sh demo       what the demo runs on the x86_64 build: Setup.exe of
#                       both builds, the product, mkmedium, the GUI driver
#   build.sh demo-i686  what the demo runs on the shipped build alone
#   build.sh faults     the fault tests and what they run, on the x86_64 build
#   build.sh faults-i686  the same on the shipped build alone
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-all}"
# One job more than the cores this run may use: while a job reads or writes
# its files, another compiles.
jobs=$(( $(nproc) + 1 ))
demo_targets=(Setup tilewright guidriver winewarm)

# Configures and builds one tree: build_tree <arch> <targets...> (none: all).
build_tree() {
  local arch="$1" log="build-$1.log"
  shift
  local targets=()
  if [ "$#" -gt 0 ]; then targets=(--target "$@"); fi
  cmake -S . -B "build/$arch" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$arch.cmake" \
        -DSETUP_BUILD_TESTS=ON -DI686_BUILD_DIR="$PWD/build/i686" > "$log" 2>&1 || { cat "$log"; exit 1; }
  cmake --build "build/$arch" -j"$jobs" "${targets[@]}" >> "$log" 2>&1 || { cat "$log"; exit 1; }
  rm -f "$log"
}

case "$mode" in
  all)
    build_tree i686 Setup tilewright shipped_tests
    build_tree x86_64 ;;
  demo)
    build_tree i686 Setup
    build_tree x86_64 "${demo_targets[@]}" ;;
  demo-i686)
    build_tree i686 "${demo_targets[@]}" ;;
  faults)
    build_tree x86_64 test_faults winewarm ;;
  faults-i686)
    build_tree i686 test_faults winewarm ;;
  *)
    echo "usage: build.sh [all|demo|demo-i686|faults|faults-i686]" >&2
    exit 2 ;;
esac
echo "built ($mode)"
