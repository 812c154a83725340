#!/usr/bin/env bash
# The Debian packages as a packager and a host meet them: builds them from a
# copy of the source tree with dpkg-buildpackage (no tests or benchmarks in
# that build), runs lintian (an error fails; what else it says is printed),
# lists each package's contents, unpacks the packages into a root of their
# own (dpkg-deb -x, nothing installed on the machine), checks that tree
# (no path of the build, no RUNPATH, headers only), and builds and runs the
# consumer projects of tests/install, in C and in C++ with Qt, against it,
# then the Python package and the programs.
#
#   tests/debian/packages_test.sh SOURCE_DIR WORK_DIR
#
# Exit status 0 when everything holds, 1 when something does not, 77
# (skipped) when the packaging tools are not installed.
set -euo pipefail
top=$(cd "$1" && pwd)
work=$2

missing=()
for tool in dpkg-buildpackage dh lintian dpkg-deb cmake; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: missing ${missing[*]} (scripts/deps.sh installs them from scripts/packages.d/packaging.txt)"
  exit 77
fi

start=$SECONDS
stage() { echo "== $* ($((SECONDS - start)) s)"; }
rm -rf "$work"
mkdir -p "$work/src" "$work/root"
src=$work/src
root=$work/root

# The tree a packager has: the project's files, nothing a build left; a link
# stays a link (the R package's src/ links to the folders it compiles).
stage "copying the source tree"
if git -C "$top" rev-parse --git-dir >/dev/null 2>&1; then
  (cd "$top" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp -P --parents -t "$src")
else
  tar -C "$top" --exclude='./build*' --exclude='./obj-*' -cf - . | tar -C "$src" -xf -
fi

# (Without debug information: the packages are checked, not shipped, and
# the debug symbol packages are left out anyway.)
stage "dpkg-buildpackage -us -uc -b"
if ! (cd "$src" && DEB_BUILD_OPTIONS="nocheck noddebs parallel=$(nproc)" DEB_CFLAGS_APPEND=-g0 DEB_CXXFLAGS_APPEND=-g0 \
        dpkg-buildpackage -us -uc -b) \
    >"$work/build.log" 2>&1; then
  tail -40 "$work/build.log"
  echo "FAILED: the packages do not build (log: $work/build.log)"
  exit 1
fi
debs=("$work"/*.deb)

stage "lintian"
lintian_status=0
lintian --fail-on error "$work"/*.changes >"$work/lintian.txt" 2>&1 ||
  lintian_status=$?
sed 's/^/   /' "$work/lintian.txt"
if [ $lintian_status -ne 0 ]; then
  echo "FAILED: lintian reports errors"
  exit 1
fi

stage "the packages and what they hold"
for deb in "${debs[@]}"; do
  case "$deb" in *-dbgsym_*) continue ;; esac
  echo "-- $(basename "$deb")"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {sub(/^\.\//, "", $6); print "   /" $6 ($7 ? " " $7 " " $8 : "")}'
  dpkg-deb -x "$deb" "$root"
done

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=$root/usr/lib/$multiarch
stage "the unpacked tree"
cmake -DROOT="$root" -DLIBDIR="$libdir" "-DFORBIDDEN=$src;$top" -P "$top/tests/install/check_installed_tree.cmake"
for file in $(find "$root" -type f \( -name '*.so*' -o -path '*/bin/*' \)); do
  if readelf -d "$file" 2>/dev/null | grep -qE '\((RUNPATH|RPATH)\)'; then
    echo "FAILED: $file has a RUNPATH under the system prefix"
    exit 1
  fi
done

# The consumers find the package in the unpacked root; the libraries, which
# a system prefix leaves to the dynamic linker's own folders, through
# LD_LIBRARY_PATH; pkg-config names /usr, which PKG_CONFIG_SYSROOT_DIR maps
# into the root.
export LD_LIBRARY_PATH=$libdir
export PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 PKG_CONFIG_ALLOW_SYSTEM_LIBS=1
generator=()
command -v ninja >/dev/null 2>&1 && generator=(--build-generator Ninja)
consumer() {
  stage "consumer $1, against the unpacked libwrenfield-dev"
  ctest --build-and-test "$top/tests/install/$1" "$work/$1" "${generator[@]}" \
    --build-options -DCMAKE_PREFIX_PATH="$root/usr" -DWRENFIELD_README="$top/README.md" \
                    -DWFREGSVR="$root/usr/bin/wfregsvr" -DCMAKE_BUILD_TYPE=Release \
    --test-command ctest --output-on-failure
}
consumer c_consumer
consumer consumer

stage "python3-wrenfield and wrenfield-tools"
centile=$(PYTHONPATH=$root/usr/lib/python3/dist-packages /usr/bin/python3 -c \
  'import wrenfield; print("%.4f" % wrenfield.centile("uk", bwt=3400, gest=280, wt=64, ht=163, sex=1, eth=1, par=0))')
[ "$centile" = "38.2216" ] || { echo "FAILED: the Python package gives $centile"; exit 1; }
echo "   wrenfield.centile: $centile"
"$root/usr/bin/custcent" --version
# custcent loads its drawing module from the package's private folder.
"$root/usr/bin/custcent" chart --bwt 3400 --gest 280 --wt 64 --ht 163 --sex 1 --eth 1 --par 0 -o "$work/chart.svg"
grep -q '<svg' "$work/chart.svg" || { echo "FAILED: custcent chart drew no SVG from the unpacked packages"; exit 1; }
echo "   custcent chart: $(wc -c < "$work/chart.svg") bytes of SVG through custcent-window.so"
"$root/usr/bin/wfregsvr" --version-info "$libdir/wrenfield/libWrenfield515UK.so" | head -3

stage "PASSED: the Debian packages build, lintian finds no error, and hosts build against them"
