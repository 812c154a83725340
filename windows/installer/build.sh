#!/usr/bin/env bash
# The release for Windows hosts, from the cross-compiled control libraries
# (windows/build.sh) and the component's registration table:
#
#   OUT_DIR/Wrenfield515UK-<version>-x64.msi
#       installs the 64-bit library in Program Files and the 32-bit one in
#       Program Files (x86), and registers both for every user through the
#       installer's own Registry table (uninstalling removes every value);
#   OUT_DIR/Wrenfield515UK-<version>-windows.zip
#       the two libraries, the interface description and the header and
#       identifiers for C and C++ hosts, for hosts that register the control
#       themselves (regsvr32, or regsvr32 /n /i:user for one user).
#
#   windows/installer/build.sh WRITE_INSTALLER_SOURCE WINDOWS_BUILD_DIR OUT_DIR
#
# WRITE_INSTALLER_SOURCE is the program the main build makes
# (build/windows/installer/write_installer_source). Needs wixl (Debian
# package wixl, from msitools).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
writer=$1
windows=$(cd "$2" && pwd)
out=$3
version=$(sed -n 's/^project(Wrenfield VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
name=Wrenfield515UK-$version
mkdir -p "$out"
out=$(cd "$out" && pwd)

for file in "$windows/Wrenfield515UK.ocx" "$windows/x86/Wrenfield515UK.ocx"; do
  [ -f "$file" ] || { echo "build.sh: $file is missing (windows/build.sh builds it)" >&2; exit 1; }
done

# The installer: its source from the registration table, compiled by wixl
# for 64-bit Windows (which runs the 32-bit library too). wixl takes the
# files by paths relative to where it runs: they are gathered in one folder.
files=$out/installer-files
rm -rf "$files"
mkdir -p "$files/x64" "$files/x86"
cp "$windows/Wrenfield515UK.ocx" "$files/x64/"
cp "$windows/x86/Wrenfield515UK.ocx" "$files/x86/"
cp "$top/LICENSE" "$files/License.txt"
"$writer" --version "$version" --ocx64 x64/Wrenfield515UK.ocx --ocx32 x86/Wrenfield515UK.ocx \
  --license License.txt "$out/$name.wxs"
(cd "$files" && wixl --arch x64 --output "$out/$name-x64.msi" "$out/$name.wxs")
rm -rf "$files"

# The zip, with fixed times, so the same build gives the same file.
stage=$out/zip/$name
rm -rf "$out/zip"
mkdir -p "$stage/x64" "$stage/x86" "$stage/include"
cp "$windows/Wrenfield515UK.ocx" "$stage/x64/"
cp "$windows/x86/Wrenfield515UK.ocx" "$stage/x86/"
cp "$top/shell/Wrenfield515UK.idl" "$top/shell/wrenfield515uk_ids.h" "$stage/include/"
cp "$windows/idl/wrenfield515uk_idl.h" "$windows/idl/wrenfield515uk_idl_i.c" "$stage/include/"
cp "$top/LICENSE" "$stage/License.txt"
cp "$top/windows/installer/README.txt" "$stage/README.txt"
rm -f "$out/$name-windows.zip"
(cd "$out/zip" && cmake -E tar cf "$out/$name-windows.zip" --format=zip "--mtime=2026-01-01 00:00:00Z" -- "$name")
rm -rf "$out/zip"
echo "$out/$name-x64.msi"
echo "$out/$name-windows.zip"
