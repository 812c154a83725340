#!/usr/bin/env bash
# The R package against base R (bench/r_benchmark.R) on made-up births:
#   bash bench/r_benchmark.sh [ROWS]        (default 1,000,000)
# Uses the package that ctest installed (build/tests/r/package/library), or
# builds, installs and checks one into build/r (scripts/r_package.sh).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
library=${WRENFIELD_R_LIBRARY:-"$top/build/tests/r/package/library"}
if [ ! -d "$library/wrenfield" ]; then
  "$top/scripts/r_package.sh" "$top/build/r"
  library="$top/build/r/library"
fi
R_LIBS="$library" Rscript --vanilla "$top/bench/r_benchmark.R" "$@"
