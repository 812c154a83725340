#!/usr/bin/env bash
# The binary interfaces of the shared libraries, held against the baseline
# stored beside this script: one file per library, abigail's XML as abidw
# writes it (Debian package abigail-tools).
#
#   package/abi/baseline.sh check  LIBDIR   exit 0 when every interface is the stored one
#   package/abi/baseline.sh update LIBDIR   store the interfaces of LIBDIR's libraries
#
# LIBDIR holds libwrenfield.so.1, libwrenfield-qt.so.1 (when built with Qt)
# and libwfcom.so.1, with their debug information (the default
# RelWithDebInfo build): abigail reads the types from it. `check` prints
# abidiff's report of every difference, added names included, and exits 1;
# 77 (skipped) when abigail-tools are missing or the libraries have no debug
# information. docs/abi.md says when an update is right and what goes with it.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mode=${1:-}
libdir=${2:-}
if [[ ( $mode != check && $mode != update ) || -z $libdir ]]; then
  echo "usage: $0 check|update LIBDIR" >&2
  exit 2
fi
for tool in abidw abidiff readelf; do
  if ! command -v $tool >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (Debian package abigail-tools; scripts/deps.sh installs it)"
    exit 77
  fi
done

# Names of the standard library's own types change with the compiler's
# library, never with ours: their insides are left out of the comparison.
suppressions=$here/suppressions.ini
# Stable type identifiers, and no paths or source lines: the stored files
# do not depend on where or from which line of a file the build ran.
abidw_options=(--no-show-locs --drop-undefined-syms --no-corpus-path --no-comp-dir-path --type-id-style hash)

failed=0
for library in libwrenfield.so.1 libwrenfield-qt.so.1 libwfcom.so.1; do
  file=$libdir/$library
  baseline=$here/$library.abi
  if [[ ! -e $file ]]; then
    [[ $library == libwrenfield-qt.so.1 ]] && continue  # a build without Qt
    echo "FAILED: $file is missing"
    exit 1
  fi
  if ! readelf -S "$file" | grep -q '\.debug_info'; then
    echo "SKIPPED: $file has no debug information (build with -g, as RelWithDebInfo does)"
    exit 77
  fi
  if [[ $mode == update ]]; then
    abidw "${abidw_options[@]}" --out-file "$baseline" "$file"
    echo "stored $baseline"
    continue
  fi
  if [[ ! -e $baseline ]]; then
    echo "FAILED: no baseline $baseline (package/abi/baseline.sh update $libdir)"
    failed=1
    continue
  fi
  status=0
  report=$(abidiff --suppressions "$suppressions" "$baseline" "$file") || status=$?
  if [[ $status -eq 0 ]]; then
    echo "$library: the binary interface is the stored one"
  else
    # abidiff's status is a set of bits: 4 a change, 8 one that breaks
    # programs built against the old interface; 1 and 2 its own errors.
    printf '%s\n' "$report"
    if (( status & 8 )); then
      echo "FAILED: $library: an incompatible change of the binary interface (needs a new SOVERSION, docs/abi.md)"
    elif (( status & 4 )); then
      echo "FAILED: $library: the binary interface changed compatibly (store it: package/abi/baseline.sh update)"
    else
      echo "FAILED: abidiff could not compare $library (status $status)"
    fi
    failed=1
  fi
done
exit $failed
