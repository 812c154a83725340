#!/usr/bin/env bash
# Builds everything and runs every test: once in a normal build, once more with
# AddressSanitizer and UndefinedBehaviorSanitizer, then every fuzz target. In
# all three builds a warning in the project's own code is an error.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

echo "== build (RelWithDebInfo) =="
"$top/scripts/build.sh" "$top/build" -DWRENFIELD_WERROR=ON
echo "== tests =="
ctest --test-dir "$top/build" --output-on-failure -j "$jobs"

echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer) =="
"$top/scripts/build.sh" "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DWRENFIELD_SANITIZE=ON -DWRENFIELD_BENCH=OFF -DWRENFIELD_WERROR=ON
echo "== tests under sanitizers =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions="$top/tests/support/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$top/build-asan" --output-on-failure -j "$jobs" -LE no-sanitize

echo "== fuzzing (clang, libFuzzer + sanitizers; every target for a bounded time) =="
WRENFIELD_WERROR=ON "$top/scripts/fuzz.sh" "${WRENFIELD_FUZZ_SECONDS:-45}"
