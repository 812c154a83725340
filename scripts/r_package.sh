#!/usr/bin/env bash
# Builds the R package (r/) as CRAN would take it, installs it and checks it:
#   scripts/r_package.sh [OUT_DIR]        (default: build/r)
# R CMD build makes OUT_DIR/wrenfield_VERSION.tar.gz (holding the project's
# sources it compiles), R CMD INSTALL puts it into OUT_DIR/library, and
# R CMD check --no-manual checks that tarball against that installation, so
# the native code is compiled once. Fails when the check reports an ERROR or
# a WARNING; prints its status line (NOTEs are reported, not fatal).
#
# Compiles with -O2 and no debugging information (WRENFIELD_R_DEBUG=1 keeps
# R's own flags), on every core.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-"$top/build/r"}

rm -rf "$out"
mkdir -p "$out/library"
out=$(cd "$out" && pwd)
cd "$out"
export MAKEFLAGS="-j$(nproc)"
if [ "${WRENFIELD_R_DEBUG:-0}" != 1 ]; then
  echo "CXX20FLAGS = -O2" > "$out/Makevars.user"
  export R_MAKEVARS_USER="$out/Makevars.user"
fi
# Everything from the Debian packages: no mirror is asked.
export R_LIBS_USER="$out/library"

R CMD build --no-build-vignettes --no-manual "$top/r" > build.log 2>&1 || { cat build.log; exit 1; }
tarball=$(ls wrenfield_*.tar.gz)

start=$(date +%s)
# (The symbol tables of the objects let the check look into the compiled code.)
if ! _R_SHLIB_BUILD_OBJECTS_SYMBOL_TABLES_=true R CMD INSTALL -l library "$tarball" > install.log 2>&1; then
  cat install.log
  exit 1
fi
echo "R CMD INSTALL: $(( $(date +%s) - start )) s"

start=$(date +%s)
status=0
_R_CHECK_FORCE_SUGGESTS_=true R CMD check --no-manual --install="check:$out/install.log" --library="$out/library" \
  "$tarball" > check.log 2>&1 || status=$?
echo "R CMD check: $(( $(date +%s) - start )) s"
line=$(grep '^Status:' wrenfield.Rcheck/00check.log || echo "Status: no status (the check stopped)")
if [ $status -ne 0 ] || grep -q 'ERROR\|WARNING' <<<"$line" || ! grep -q '^Status:' wrenfield.Rcheck/00check.log; then
  cat check.log
  [ -f wrenfield.Rcheck/tests/testthat.Rout.fail ] && cat wrenfield.Rcheck/tests/testthat.Rout.fail
  echo "R CMD check: $line"
  exit 1
fi
grep -B1 -A12 'NOTE$' wrenfield.Rcheck/00check.log || true
echo "R CMD check: $line"
