#!/usr/bin/env bash
# Cross-compiles Wrenfield515UK.ocx (and the proof's client) with mingw-w64.
#   windows/build.sh [BUILD_DIR]      (default: build/windows)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-"$top/build/windows"}
cmake -S "$top/windows" -B "$dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$top/windows/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$dir" --parallel 2
