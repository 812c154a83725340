#!/usr/bin/env bash
# Cross-compiles Wrenfield515UK.ocx (and the proofs' programs) with mingw-w64,
# for 64-bit Windows in BUILD_DIR and for 32-bit Windows in BUILD_DIR/x86.
#   windows/build.sh [BUILD_DIR]      (default: build/windows)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-"$top/build/windows"}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
build() {
  cmake -S "$top/windows" -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/windows/$2" "${launcher[@]}" >/dev/null
  cmake --build "$1" --parallel 2
}
build "$dir" mingw-w64-x86_64.cmake
build "$dir/x86" mingw-w64-i686.cmake
