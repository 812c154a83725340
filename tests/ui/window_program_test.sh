#!/usr/bin/env bash
# Runs the window program (wrenfield-calculator, or custcent with its gui
# command) end to end: a picture saved on the offscreen platform, a plain
# message and status 1 without a display, status 1 for a picture that cannot
# be written.
#   window_program_test.sh OUTPUT_DIR PROGRAM [COMMAND...]
set -uo pipefail
outdir=$1
shift
program=("$@")
fail=0
err=$(mktemp)
trap 'rm -f "$err"' EXIT

picture="$outdir/$(basename "$1")${2:+-$2}.png"
rm -f "$picture"
QT_QPA_PLATFORM=offscreen "${program[@]}" --screenshot "$picture" 2>"$err"
status=$?
if [ "$status" -ne 0 ]; then echo "screenshot: exit status $status"; cat "$err"; fail=1; fi
if [ "$(head -c 8 "$picture" 2>/dev/null | od -An -tx1 | tr -d ' \n')" != "89504e470d0a1a0a" ]; then
  echo "screenshot: $picture is not a PNG file"; fail=1
fi

env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${program[@]}" 2>"$err"
status=$?
if [ "$status" -ne 1 ] || ! grep -q "no display to open the calculator window on" "$err"; then
  echo "without a display: exit status $status"; cat "$err"; fail=1
fi

QT_QPA_PLATFORM=offscreen "${program[@]}" --screenshot /nonexistent-folder/picture.png 2>"$err"
status=$?
if [ "$status" -ne 1 ] || ! grep -q "cannot write /nonexistent-folder/picture.png" "$err"; then
  echo "unwritable picture: exit status $status"; cat "$err"; fail=1
fi
exit $fail
