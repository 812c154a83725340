#!/usr/bin/env bash
# Proves the Windows release under Wine as a user and an integrator meet it:
# builds the control libraries (windows/build.sh), the installer and the zip
# (windows/installer/build.sh), then in a fresh 64-bit Wine prefix
#   - installs the MSI with msiexec /i, checks both libraries are in place and
#     every registry entry of both (the compiled clients in "registered" mode,
#     LoadRegTypeLib included), and creates the control and calls it from a
#     64-bit and a 32-bit client (windows/proof/calc_client.cpp);
#   - uninstalls it with msiexec /x and checks that the files are gone, the
#     control can no longer be created, and no key of the component is left
#     anywhere in the registry;
#   - registers the 64-bit library from the zip for the current user alone
#     (regsvr32 /n /i:user), checks its entries are below
#     HKEY_CURRENT_USER\Software\Classes and none below HKEY_LOCAL_MACHINE,
#     creates the control through the class factory the user's registration
#     names and calls it (per_user_client.cpp: Wine's COM reads the machine's
#     classes only, where the platform's reads the user's first), then
#     unregisters it (regsvr32 /u /n /i:user) and checks nothing is left.
#
#   windows/installer/prove.sh WRITE_INSTALLER_SOURCE [BUILD_DIR]   (default: build/windows)
#
# Exit code 0 when everything holds, 1 when something does not, 77 (skipped)
# when the Windows toolchain, Wine or wixl is not installed.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
writer=$(realpath "$1")
dir=$(realpath -m "${2:-"$top/build/windows"}")

missing=()
for tool in x86_64-w64-mingw32-g++ i686-w64-mingw32-g++ wine wineboot wineserver wixl cmake ninja; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[ -f /usr/include/wine/wine/windows/oaidl.idl ] || missing+=("Wine's IDL files")
[ -d /usr/lib/i386-linux-gnu/wine/i386-windows ] || missing+=("32-bit Wine (wine32)")
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: missing ${missing[*]}; scripts/deps.sh installs them (scripts/packages.d/windows.txt, packaging.txt)"
  exit 77
fi
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wine32=$(command -v wine)

start=$SECONDS
echo "== building Wrenfield515UK.ocx (64- and 32-bit) with mingw-w64"
if ! build_log=$("$top/windows/build.sh" "$dir" 2>&1); then
  printf '%s\n' "$build_log"
  echo "PROOF FAILED: the libraries do not build"
  exit 1
fi
echo "== the installer and the zip ($((SECONDS - start)) s)"
release=$dir/release
if ! release_log=$("$top/windows/installer/build.sh" "$writer" "$dir" "$release" 2>&1); then
  printf '%s\n' "$release_log"
  echo "PROOF FAILED: the release does not build"
  exit 1
fi
msi=$(ls "$release"/Wrenfield515UK-*-x64.msi)
zip=$(ls "$release"/Wrenfield515UK-*-windows.zip)
echo "   $(basename "$msi") ($(stat -c %s "$msi") bytes), $(basename "$zip") ($(stat -c %s "$zip") bytes)"

work=$(mktemp -d "${TMPDIR:-/tmp}/wrenfield-installer.XXXXXX")
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
echo "== fresh 64-bit Wine prefix ($((SECONDS - start)) s)"
# One Wine server for the whole proof, rather than one started (with the
# prefix's services) for each step.
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot -i >/dev/null 2>&1

failed=0
# Runs one Wine command, shows its output without carriage returns, and
# checks its exit code and (optionally) a line that must appear.
step() {
  local title=$1 expect_line=$2
  shift 2
  echo "== $title ($((SECONDS - start)) s)"
  local output rc=0
  # (Into a file, not a pipe: the services Wine starts on the way keep a
  # pipe open long after the program is through.)
  "$@" >"$work/step.out" 2>&1 || rc=$?
  output=$(tr -d '\r' <"$work/step.out")
  [ -n "$output" ] && printf '%s\n' "$output" | grep -v '^ok ' | sed 's/^/   /'
  if [ $rc -ne 0 ]; then
    echo "!! $title: exit code $rc"
    failed=1
  elif [ -n "$expect_line" ] && ! printf '%s\n' "$output" | grep -Eq "$expect_line"; then
    echo "!! $title: no line matching /$expect_line/"
    failed=1
  fi
}
checks_passed='^client: [0-9]+ checks passed, 0 failed$'
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# The clients live outside the folders the installer owns. The one for a
# registration of one user is built here, against the cross build's header.
mkdir -p "$WINEPREFIX/drive_c/proof/x64" "$WINEPREFIX/drive_c/proof/x86"
cp "$dir/calc_client.exe" "$WINEPREFIX/drive_c/proof/x64/"
cp "$dir/x86/calc_client.exe" "$WINEPREFIX/drive_c/proof/x86/"
if ! x86_64-w64-mingw32-g++ -std=c++20 -O1 -Wall -Wextra -Werror -municode -static -static-libgcc -static-libstdc++ \
     -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -I"$dir/idl" -I"$top/shell" -o "$WINEPREFIX/drive_c/proof/x64/per_user_client.exe" \
     "$top/windows/installer/per_user_client.cpp" "$dir/idl/wrenfield515uk_idl_i.c" -loleaut32 -lole32 -luuid -ladvapi32
then
  echo "PROOF FAILED: per_user_client.cpp does not build"
  exit 1
fi
client64='C:\proof\x64\calc_client.exe'
client32='C:\proof\x86\calc_client.exe'
ocx64='C:\Program Files\Wrenfield515UK\Wrenfield515UK.ocx'
ocx32='C:\Program Files (x86)\Wrenfield515UK\Wrenfield515UK.ocx'

# The component's identifiers and ProgID, as any key of it would name them.
ours=$(sed -n 's/.*\(CLSID\|TypeLib\|Interface\)\\{\([0-9A-F-]*\)}.*/\2/p' "$release"/*.wxs | sort -u | tr '\n' '|')
ours="${ours}Wrenfield515UK\.Calc"
keys_left() {
  # (The registry files are written when the server ends; the next step
  # starts it again.)
  wineserver -k
  wineserver -w
  { grep -ciE "$ours" "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" || true; } | awk -F: '{n += $2} END {print n + 0}'
  wineserver -p </dev/null >/dev/null 2>&1
}

step "msiexec /i $(basename "$msi")" "" "$wine64" msiexec /i "$(windows_path "$msi")" /qn
for file in "Program Files/Wrenfield515UK/Wrenfield515UK.ocx" "Program Files/Wrenfield515UK/License.txt" \
            "Program Files (x86)/Wrenfield515UK/Wrenfield515UK.ocx"; do
  [ -f "$WINEPREFIX/drive_c/$file" ] || { echo "!! the installer did not put C:\\$file in place"; failed=1; }
done
cmp -s "$dir/Wrenfield515UK.ocx" "$WINEPREFIX/drive_c/Program Files/Wrenfield515UK/Wrenfield515UK.ocx" &&
  cmp -s "$dir/x86/Wrenfield515UK.ocx" "$WINEPREFIX/drive_c/Program Files (x86)/Wrenfield515UK/Wrenfield515UK.ocx" ||
  { echo "!! the installed libraries are not the built ones"; failed=1; }
step "64-bit: every registry entry" "$checks_passed" "$wine64" "$client64" "$ocx64" registered
step "64-bit: the control created and called" "$checks_passed" "$wine64" "$client64" "$ocx64"
step "32-bit: every registry entry" "$checks_passed" "$wine32" "$client32" "$ocx32" registered
step "32-bit: the control created and called" "$checks_passed" "$wine32" "$client32" "$ocx32"

step "msiexec /x $(basename "$msi")" "" "$wine64" msiexec /x "$(windows_path "$msi")" /qn
step "64-bit: nothing left, no creation" "$checks_passed" "$wine64" "$client64" "$ocx64" unregistered
step "32-bit: nothing left, no creation" "$checks_passed" "$wine32" "$client32" "$ocx32" unregistered
for folder in "Program Files/Wrenfield515UK" "Program Files (x86)/Wrenfield515UK"; do
  [ ! -e "$WINEPREFIX/drive_c/$folder" ] || { echo "!! C:\\$folder is still there"; failed=1; }
done
left=$(keys_left)
echo "== registry lines naming the component after msiexec /x: $left"
[ "$left" -eq 0 ] || { grep -iE "$ours" "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | head; failed=1; }

# One user, from the zip.
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
user_dir="$WINEPREFIX/drive_c/users/Public/Wrenfield515UK"
mkdir -p "$user_dir"
cp "$work"/zip/*/x64/Wrenfield515UK.ocx "$user_dir/"
ocx_user='C:\users\Public\Wrenfield515UK\Wrenfield515UK.ocx'
step "regsvr32 /n /i:user (64-bit library from the zip)" "" "$wine64" regsvr32 /s /n /i:user "$ocx_user"
step "the user's registration, the control created through it and called" "$checks_passed" \
  "$wine64" 'C:\proof\x64\per_user_client.exe' "$ocx_user"
step "regsvr32 /u /n /i:user" "" "$wine64" regsvr32 /s /u /n /i:user "$ocx_user"
left=$(keys_left)
echo "== registry lines naming the component after regsvr32 /u /n /i:user: $left"
[ "$left" -eq 0 ] || { grep -iE "$ours" "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | head; failed=1; }

wineserver -k
wineserver -w
if [ $failed -ne 0 ]; then
  echo "PROOF FAILED ($((SECONDS - start)) s)"
  exit 1
fi
echo "PROOF PASSED: the MSI installs, registers and uninstalls both libraries, the control is created and called" \
     "64- and 32-bit, and a registration for one user stays with that user ($((SECONDS - start)) s)"
