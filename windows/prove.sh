#!/usr/bin/env bash
# Proves Wrenfield515UK.ocx on Wine with clients that call it as Windows hosts
# do: builds it with mingw-w64, makes a fresh 64-bit Wine prefix, registers the
# library with Wine's regsvr32, runs a VBScript through Wine's cscript (late
# binding) and a compiled client (IDispatch::Invoke with typed references, the
# vtable slots, DllCanUnloadNow, the version record and the toolbox bitmap),
# checks every registry entry, unregisters with regsvr32 /u and checks that
# nothing is left and the control can no longer be created.
#
#   windows/prove.sh [BUILD_DIR]      (default: build/windows)
#
# Exit code 0 when everything holds, 1 when something does not, 77 (skipped)
# when the Windows toolchain or Wine is not installed.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-"$top/build/windows"}

missing=()
for tool in x86_64-w64-mingw32-g++ x86_64-w64-mingw32-windres x86_64-w64-mingw32-widl wine wineboot wineserver \
            cmake ninja; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
# The platform's IDL files that the interface description imports.
[ -f /usr/include/wine/wine/windows/oaidl.idl ] || missing+=("Wine's IDL files")
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: the Windows toolchain is not installed (missing: ${missing[*]});" \
       "scripts/deps.sh installs it from scripts/packages.d/windows.txt"
  exit 77
fi

# The 64-bit loader, by name: where 32-bit Wine is installed too, `wine`
# starts the 32-bit builds of cscript and regsvr32, which cannot load a
# 64-bit library.
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)

start=$SECONDS
echo "== building Wrenfield515UK.ocx with mingw-w64"
if ! build_log=$("$top/windows/build.sh" "$dir" 2>&1); then
  printf '%s\n' "$build_log"
  echo "PROOF FAILED: the library does not build"
  exit 1
fi
printf '%s\n' "$build_log" | tail -1

failed=0
ocx_file="$dir/Wrenfield515UK.ocx"

# The library stands alone: it imports system DLLs only (the C and C++
# runtimes are linked in) and exports the four entry points and DllInstall.
echo "== imports and exports of Wrenfield515UK.ocx"
headers=$(x86_64-w64-mingw32-objdump -p "$ocx_file")
imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
exports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(Dll[A-Za-z]*\)$/\1/p' | sort | tr '\n' ' ')
echo "   imports: $imports"
echo "   exports: $exports"
for dll in $imports; do
  case "$dll" in
    KERNEL32.DLL|USER32.DLL|GDI32.DLL|ADVAPI32.DLL|OLE32.DLL|OLEAUT32.DLL|MSVCRT.DLL|UCRTBASE.DLL|API-MS-WIN-CRT-*) ;;
    *) echo "!! imports $dll, which is not a system DLL"; failed=1 ;;
  esac
done
if [ "$exports" != "DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer " ]; then
  echo "!! exports are not the four entry points and DllInstall"
  failed=1
fi

prefix=$(mktemp -d "${TMPDIR:-/tmp}/wrenfield-wine.XXXXXX")
export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT

echo "== fresh 64-bit Wine prefix"
wineboot -i >/dev/null 2>&1

# Installed as an integrator would: into Program Files (a path with a blank).
install_dir="$prefix/drive_c/Program Files/Wrenfield515UK"
mkdir -p "$install_dir"
cp "$dir/Wrenfield515UK.ocx" "$dir/calc_client.exe" "$dir/readme_form_code.exe" "$dir/examples/readme_windows.vbs" \
   "$top/windows/proof/calc_late_bound.vbs" "$top/windows/proof/calc_properties.vbs" "$install_dir/"
ocx='C:\Program Files\Wrenfield515UK\Wrenfield515UK.ocx'
client='C:\Program Files\Wrenfield515UK\calc_client.exe'

# Runs one Wine command, shows its output without the carriage returns, and
# checks its exit code and (optionally) a line that must appear: Wine's
# cscript ends silently with exit code 0 on a script error, so only the
# script's own closing line proves that it ran to its end.
#
# A program that prints a closing line and yet ends at once with an exit
# code and no output at all never ran its checks. Wine's script host has
# done that once, on a loaded machine: exit code 1 without a word is its way
# out when it cannot find or start its script engine. Such a step runs once
# more with Wine's error and fixme messages shown, and the second run decides.
step() {
  local title=$1 expect_line=$2
  shift 2
  echo "== $title"
  local output rc=0
  output=$("$@" 2>&1 | tr -d '\r') || rc=$?
  if [ $rc -ne 0 ] && [ -z "$output" ] && [ -n "$expect_line" ]; then
    echo "   (ended with exit code $rc before printing anything: run again with Wine's messages shown)"
    rc=0
    output=$(WINEDEBUG=err+all,fixme+all "$@" 2>&1 | tr -d '\r') || rc=$?
  fi
  [ -n "$output" ] && printf '%s\n' "$output" | sed 's/^/   /'
  if [ $rc -ne 0 ]; then
    echo "!! $title: exit code $rc"
    failed=1
  elif [ -n "$expect_line" ] && ! printf '%s\n' "$output" | grep -Eq "$expect_line"; then
    echo "!! $title: no line matching /$expect_line/"
    failed=1
  fi
}

# What the first version's registration left (type library 1.0 in the same
# file): registering this version over it replaces it.
libid='{739DC2BA-688E-4D50-AEFA-62D66F055A60}'
"$wine64" reg add "HKCR\\TypeLib\\$libid\\1.0" /ve /d Wrenfield515UK /f >/dev/null 2>&1
"$wine64" reg add "HKCR\\TypeLib\\$libid\\1.0\\409\\win64" /ve /d "$ocx" /f >/dev/null 2>&1
step "regsvr32 Wrenfield515UK.ocx" "" "$wine64" regsvr32 /s "$ocx"
# Registering again (an update, say) replaces the entries, it does not fail.
step "regsvr32 Wrenfield515UK.ocx again" "" "$wine64" regsvr32 /s "$ocx"
step "registry entries" '^client: [0-9]+ checks passed, 0 failed$' "$wine64" "$client" "$ocx" registered
step "late binding: cscript calc_late_bound.vbs" '^script: [0-9]+ checks passed, 0 failed$' \
  "$wine64" cscript //nologo 'C:\Program Files\Wrenfield515UK\calc_late_bound.vbs'
step "late binding: cscript calc_properties.vbs (every property)" '^script: [0-9]+ checks passed, 0 failed$' \
  "$wine64" cscript //nologo 'C:\Program Files\Wrenfield515UK\calc_properties.vbs'
step "early binding and IDispatch::Invoke: calc_client.exe" '^client: [0-9]+ checks passed, 0 failed$' \
  "$wine64" "$client" "$ocx"

# The form code in C++ of docs/windows.md, as written there, prints what the page shows.
echo "== the form code of docs/windows.md: readme_form_code.exe"
readme_out=$("$wine64" 'C:\Program Files\Wrenfield515UK\readme_form_code.exe' 2>/dev/null | tr -d '\r') || true
printf '%s\n' "$readme_out" | sed 's/^/   /'
if [ "$readme_out" != "$(cat "$dir/examples/readme_form_code.out")" ]; then
  echo "!! readme_form_code.exe does not print what docs/windows.md shows:"
  sed 's/^/   /' "$dir/examples/readme_form_code.out"
  failed=1
fi

# The README's script, as written there, prints what the README shows.
echo "== the README's script: cscript readme_windows.vbs"
script_out=$("$wine64" cscript //nologo 'C:\Program Files\Wrenfield515UK\readme_windows.vbs' 2>/dev/null | tr -d '\r') || true
printf '%s\n' "$script_out" | sed 's/^/   /'
if [ "$script_out" != "$(cat "$dir/examples/readme_windows.out")" ]; then
  echo "!! readme_windows.vbs does not print what the README shows:"
  sed 's/^/   /' "$dir/examples/readme_windows.out"
  failed=1
fi

# The interface trace goes to the debugger's output only when asked for.
echo "== the interface trace: only when asked for"
traced() {
  WINEDEBUG=-all,+debugstr "$@" "$wine64" cscript //nologo 'C:\Program Files\Wrenfield515UK\calc_late_bound.vbs' 2>&1 |
    grep -c 'Wrenfield515UK: QueryInterface' || true
}
unasked=$(traced env)
asked=$(traced env WRENFIELD515UK_TRACE=1)
"$wine64" reg add 'HKCU\Software\Wrenfield515UK' /v Trace /t REG_DWORD /d 1 /f >/dev/null 2>&1
in_registry=$(traced env)
"$wine64" reg delete 'HKCU\Software\Wrenfield515UK' /f >/dev/null 2>&1
echo "   lines: $unasked unasked, $asked with WRENFIELD515UK_TRACE=1, $in_registry with HKCU\Software\Wrenfield515UK Trace=1"
if [ "$unasked" -ne 0 ] || [ "$asked" -eq 0 ] || [ "$in_registry" -eq 0 ]; then
  echo "!! the trace must be silent unless asked for, and written when asked for"
  failed=1
fi
step "regsvr32 /u Wrenfield515UK.ocx" "" "$wine64" regsvr32 /s /u "$ocx"
step "nothing left after unregistering" '^client: [0-9]+ checks passed, 0 failed$' \
  "$wine64" "$client" "$ocx" unregistered

# A script host can no longer create the control either.
cat >"$install_dir/create_after_unregister.vbs" <<'VBS'
Dim calc
On Error Resume Next
Set calc = CreateObject("Wrenfield515UK.Calc")
WScript.Echo "CreateObject error " & Err.Number
WScript.Quit 0
VBS
step "CreateObject after unregistering fails" '^CreateObject error [1-9][0-9]*$' \
  "$wine64" cscript //nologo 'C:\Program Files\Wrenfield515UK\create_after_unregister.vbs'

wineserver -w
if [ $failed -ne 0 ]; then
  echo "PROOF FAILED ($((SECONDS - start)) s)"
  exit 1
fi
echo "PROOF PASSED: Wrenfield515UK.ocx registered, called late- and early-bound, unregistered under Wine ($((SECONDS - start)) s)"
