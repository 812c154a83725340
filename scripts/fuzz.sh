#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each over its seed
# corpus for a bounded time.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET_NAME_REGEX]
# SECONDS_PER_TARGET defaults to 60. A crash fails the run; the input that
# caused it is in build-fuzz/fuzz/work/<target>/artifacts/. WRENFIELD_WERROR=ON
# in the environment (scripts/test.sh sets it) makes warnings errors.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
only=${2:-}
"$top/scripts/deps.sh"
CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DWRENFIELD_FUZZ=ON -DWRENFIELD_WERROR="${WRENFIELD_WERROR:-OFF}" >/dev/null
cmake --build "$top/build-fuzz" --parallel "$(nproc)"
# Each target is one process on one core: run as many at once as there are cores.
args=(--test-dir "$top/build-fuzz" --output-on-failure -L fuzz -j "$(nproc)")
[ -n "$only" ] && args+=(-R "$only")
WRENFIELD_FUZZ_SECONDS=$seconds ctest "${args[@]}"
