#!/usr/bin/env bash
# Builds both targets: build/i686 (the shipped Setup.exe only) and
# build/x86_64 (the same sources with the tools and the tests).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake \
      -DSETUP_BUILD_TESTS=OFF > build-i686.log 2>&1 || { cat build-i686.log; exit 1; }
cmake --build build/i686 -j"$jobs" >> build-i686.log 2>&1 || { cat build-i686.log; exit 1; }

cmake -S . -B build/x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake \
      -DI686_SETUP_EXE="$PWD/build/i686/app/Setup.exe" > build-x86_64.log 2>&1 || { cat build-x86_64.log; exit 1; }
cmake --build build/x86_64 -j"$jobs" >> build-x86_64.log 2>&1 || { cat build-x86_64.log; exit 1; }
rm -f build-i686.log build-x86_64.log
echo "built build/i686 and build/x86_64"
