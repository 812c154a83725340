#!/usr/bin/env bash
# Proves Wrenfield515UK.ocx as a visual control on a Windows form, under Wine
# on a virtual screen (Xvfb) at 144 dots per inch: builds it with mingw-w64,
# makes a fresh Wine prefix (its LogPixels set to 144), registers the control,
# and runs control_proof.exe in two containers — Wine's ATL host (a window of
# class "AtlAxWin") and our own small OLE container
# (windows/proof/ole_container.cpp) — which drive the control with real mouse
# and keyboard input through xdotool, count its events, write its properties
# as form code does, and (our container) change its ambient properties and
# place a second control while the form is designed. Lists which interfaces
# each container asked the control for.
#
#   windows/prove_control.sh [BUILD_DIR] [--screenshot PNG] [--design-screenshot PNG] [--pictures DIR]
#                                                             (default: build/windows)
#
# --screenshot writes the picture of the form with the control on it (the
# README shows docs/windows-form.png); --design-screenshot the picture with
# the container's ambient font and colours and a second control in design
# mode; --pictures keeps every picture the proof took (also the form at 96,
# 120 and 192 dpi) in DIR. Exit code 0 when everything holds, 1 when something does not, 77
# (skipped) when a tool is not installed.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir="$top/build/windows"
screenshot=""
design_screenshot=""
pictures=""
# The screen's logical resolution for the whole proof.
dpi=144
while [ $# -gt 0 ]; do
  case "$1" in
    --screenshot) screenshot=$2; shift 2 ;;
    --design-screenshot) design_screenshot=$2; shift 2 ;;
    --pictures) pictures=$2; shift 2 ;;
    *) dir=$1; shift ;;
  esac
done

missing=()
for tool in x86_64-w64-mingw32-g++ x86_64-w64-mingw32-windres x86_64-w64-mingw32-widl wine wineboot wineserver \
            cmake ninja Xvfb xdotool import; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[ -f /usr/include/wine/wine/windows/oaidl.idl ] || missing+=("Wine's IDL files")
[ -d /usr/share/wine/fonts ] || missing+=("Wine's fonts (fonts-wine)")
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: missing ${missing[*]}; scripts/deps.sh installs them from scripts/packages.d/windows.txt"
  exit 77
fi
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)

start=$SECONDS
echo "== building Wrenfield515UK.ocx and control_proof.exe with mingw-w64"
if ! build_log=$("$top/windows/build.sh" "$dir" 2>&1); then
  printf '%s\n' "$build_log"
  echo "PROOF FAILED: the library does not build"
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/wrenfield-control.XXXXXX")
xvfb_pid=""
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A virtual screen of our own, on the first free display number.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
if [ ! -s "$work/display" ]; then
  echo "PROOF FAILED: Xvfb did not start"
  exit 1
fi
export DISPLAY=":$(head -1 "$work/display")"

export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "== fresh Wine prefix on display $DISPLAY"
wineboot -i >/dev/null 2>&1
# Wine's own fonts (the prefix has none of its own), and windows that Wine
# manages itself: with no window manager, closing a managed window waits.
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
"$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# The screen at 144 dots per inch, as a high-resolution desktop sets it.
"$wine64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1

# The proof runs xdotool and import through this script, which says when
# the program is through.
cat >"$work/run.sh" <<'SH'
#!/bin/sh
"$@"
touch "$(dirname "$0")/run.done"
SH

failed=0

# A library that stands alone: the machine type, the four entry points and DllInstall,
# imports of system DLLs only, and its resources (type library, toolbox
# bitmap 30000, version record).
check_library() {
  local file=$1 format=$2 objdump=$3
  local headers imports exports problems=()
  headers=$("$objdump" -p "$file")
  grep -q "file format $format" <<<"$("$objdump" -f "$file")" || problems+=("not $format")
  exports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(Dll[A-Za-z]*\)$/\1/p' | sort | tr '\n' ' ')
  [ "$exports" = "DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer " ] ||
    problems+=("exports: $exports")
  imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
  for dll in $imports; do
    case "$dll" in
      KERNEL32.DLL|USER32.DLL|GDI32.DLL|ADVAPI32.DLL|OLE32.DLL|OLEAUT32.DLL|MSVCRT.DLL) ;;
      *) problems+=("imports $dll") ;;
    esac
  done
  grep -q 'name: .*TYPELIB' <<<"$headers" || problems+=("no type library")
  grep -q 'Entry: ID: 0x007530' <<<"$headers" || problems+=("no toolbox bitmap")
  grep -q 'Entry: ID: 0x000010' <<<"$headers" || problems+=("no version record")
  if [ ${#problems[@]} -eq 0 ]; then
    echo "   ok   $format, the entry points, imports $imports"
  else
    echo "!! $file: ${problems[*]}"
    failed=1
  fi
}

# Which interfaces a container asked for: the control's debugger lines
# between the container's markers, without the proof's own requests.
queried() {
  awk -v who="$2" '
    /proof: container / && index($0, who) { inside = 1 }
    /proof: .* done/ { inside = 0 }
    /proof: the proof.s own requests begin/ { own = 1 }
    /proof: the proof.s own requests end/ { own = 0 }
    inside && !own && /QueryInterface/ {
      sub(/.*QueryInterface /, ""); sub(/\\n.*/, ""); sub(/".*/, "")
      if (!seen[$0]++) printf "%s%s", (n++ ? ", " : ""), $0
    }
    END { print "" }' "$1"
}

# Runs the proof in one container: LOADER EXE MODE TITLE LETTER
run_container() {
  local loader=$1 exe=$2 mode=$3 title=$4 letter=$5 bits=$6
  local log="$work/$mode-$bits"
  echo "== $title"
  local rc=0
  # The control writes each interface request to the debugger only when asked.
  WRENFIELD515UK_TRACE=1 WINEDEBUG=-all,+debugstr "$loader" "$exe" "$mode" "$work" "$dpi" >"$log.out" 2>"$log.debug" ||
    rc=$?
  tr -d '\r' <"$log.out" | sed 's/^/   /'
  if [ $rc -ne 0 ] || ! grep -Eq '^proof: [0-9]+ checks passed, 0 failed$' <<<"$(tr -d '\r' <"$log.out")"; then
    echo "!! $title: exit code $rc"
    { grep -v debugstr "$log.debug" || true; } | tail -5 | sed 's/^/   /'
    failed=1
  fi
  echo "   interfaces container $letter asked for: $(queried "$log.debug" "container $letter")"
}

# Runs both containers with one build: BITS BUILD_DIR LOADER INSTALL_FOLDER
prove_build() {
  local bits=$1 build=$2 loader=$3 folder=$4
  local install_dir="$WINEPREFIX/drive_c/$folder/Wrenfield515UK"
  mkdir -p "$install_dir"
  cp "$build/Wrenfield515UK.ocx" "$build/control_proof.exe" "$install_dir/"
  local ocx="C:\\$folder\\Wrenfield515UK\\Wrenfield515UK.ocx"
  local exe="C:\\$folder\\Wrenfield515UK\\control_proof.exe"
  "$loader" regsvr32 /s "$ocx" || { echo "!! $bits-bit regsvr32 failed"; failed=1; }
  run_container "$loader" "$exe" ole "$bits-bit, container B: our own OLE container (OleCreate, in-place site, frame)" B "$bits"
  run_container "$loader" "$exe" atl "$bits-bit, container A: Wine's ATL host (AtlAxWin)" A "$bits"
  "$loader" regsvr32 /s /u "$ocx" || true
}

echo "== the libraries"
check_library "$dir/Wrenfield515UK.ocx" pei-x86-64 x86_64-w64-mingw32-objdump
check_library "$dir/x86/Wrenfield515UK.ocx" pei-i386 i686-w64-mingw32-objdump

prove_build 64 "$dir" "$wine64" "Program Files"

# The layout at the other resolutions screens use: the control in our
# container, every control where the table puts it, a font to match.
for other in 96 120 192; do
  "$wine64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $other /f >/dev/null 2>&1
  "$wine64" regsvr32 /s "C:\\Program Files\\Wrenfield515UK\\Wrenfield515UK.ocx"
  echo "== 64-bit, the layout at $other dpi"
  rc=0
  out=$("$wine64" "C:\\Program Files\\Wrenfield515UK\\control_proof.exe" layout "$work" $other 2>/dev/null | tr -d '\r') || rc=$?
  printf '%s\n' "$out" | grep -v '^ok ' | sed 's/^/   /'
  printf '%s\n' "$out" | grep 'every control is where' | sed 's/^/   /'
  if [ $rc -ne 0 ] || ! grep -Eq '^proof: [0-9]+ checks passed, 0 failed$' <<<"$out"; then
    echo "!! the layout at $other dpi: exit code $rc"
    failed=1
  fi
  "$wine64" regsvr32 /s /u "C:\\Program Files\\Wrenfield515UK\\Wrenfield515UK.ocx"
done
"$wine64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
# The 32-bit library in a 32-bit process, where 32-bit Wine is installed
# (wine32); elsewhere only the checks of the file above.
if [ -d /usr/lib/i386-linux-gnu/wine/i386-windows ]; then
  prove_build 32 "$dir/x86" "$(command -v wine)" "Program Files (x86)"
else
  echo "== 32-bit: no 32-bit Wine (package wine32) here; the 32-bit library was checked as a file only"
fi

keep_picture() {  # NAME DESTINATION
  [ -n "$2" ] || return 0
  if [ -f "$work/$1" ]; then
    cp "$work/$1" "$2" && echo "== picture of the form ($dpi dpi): $2"
  else
    echo "!! no picture $1"
    failed=1
  fi
}
keep_picture form.png "$screenshot"
keep_picture form-design.png "$design_screenshot"
if [ -n "$pictures" ]; then
  mkdir -p "$pictures" && cp "$work"/*.png "$pictures"/ && echo "== every picture: $pictures"
fi

wineserver -w
if [ $failed -ne 0 ]; then
  echo "PROOF FAILED ($((SECONDS - start)) s)"
  exit 1
fi
echo "PROOF PASSED: the control sited at $dpi dpi, driven by mouse and keyboard with its events counted, its properties written, drawn, saved, its ambient properties and design mode followed, and torn down in both containers ($((SECONDS - start)) s)"
