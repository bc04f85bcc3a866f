#!/usr/bin/env bash
# Installs what is missing, then configures and builds everything: the 64-bit library and its tests
# into build64/, then the 32-bit ones into build/, whose kit zip carries both.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ ! -f build64/CMakeCache.txt ]; then
  cmake -S . -B build64 -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-mingw-posix.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build build64 -j"$(nproc)"
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/i686-mingw-posix.cmake \
    -DCMAKE_BUILD_TYPE=Release -DKSL_KIT_X64_BUILD="$PWD/build64" >/dev/null
fi
cmake --build build -j"$(nproc)"
