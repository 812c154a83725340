#!/usr/bin/env bash
# custcent chart and custcent batch --summary end to end, with no display:
# each format from its extension, the size asked for, the summary's numbers on
# stderr, and the exit statuses of unusable options and files.
#   chart_command_test.sh OUTPUT_DIR CUSTCENT
set -uo pipefail
outdir=$1
custcent=$2
fail=0
err=$(mktemp)
trap 'rm -f "$err"' EXIT
birth=(--bwt 3400 --gest 39+4 --wt 64 --ht 163 --sex Male --eth European --par 0)

chart() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$custcent" chart "${birth[@]}" "$@" 2>"$err"; }
expect_status() {  # expected-status what...
  local want=$1 got=$2; shift 2
  if [ "$got" -ne "$want" ]; then echo "$*: exit status $got, expected $want"; cat "$err"; fail=1; fi
}
starts_with() {  # file hex-prefix
  [ "$(head -c $((${#2} / 2)) "$1" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = "$2" ]
}

for picture in chart.png chart.svg chart.pdf; do
  rm -f "$outdir/$picture"
  chart -o "$outdir/$picture" --size 640x480
  expect_status 0 $? "$picture"
  if [ -s "$err" ]; then echo "$picture: unexpected messages:"; cat "$err"; fail=1; fi
done
starts_with "$outdir/chart.png" 89504e470d0a1a0a || { echo "chart.png is not a PNG"; fail=1; }
# The PNG header's width and height, 640 and 480.
[ "$(od -An -tx1 -j16 -N8 "$outdir/chart.png" | tr -d ' \n')" = "00000280000001e0" ] || { echo "chart.png is not 640x480"; fail=1; }
grep -q '<svg' "$outdir/chart.svg" || { echo "chart.svg is not SVG"; fail=1; }
starts_with "$outdir/chart.pdf" 25504446 || { echo "chart.pdf is not a PDF"; fail=1; }

chart -o "$outdir/chart.gif"
expect_status 2 $? "a .gif file"
grep -q "format follows the extension" "$err" || { echo "no message for .gif"; fail=1; }
chart -o "$outdir/chart.png" --size 90x60000
expect_status 2 $? "an unusable size"
chart -o /nonexistent-folder/chart.png
expect_status 1 $? "an unwritable file"
grep -q "cannot write /nonexistent-folder/chart.png" "$err" || { echo "no message for the unwritable file"; cat "$err"; fail=1; }
env -u DISPLAY "$custcent" chart --bwt 3.4kgx --gest 280 --wt 64 --ht 163 --sex 1 --eth 1 --par 0 -o "$outdir/x.png" 2>"$err"
expect_status 2 $? "an unusable birthweight"
grep -q "custcent chart: bwt: " "$err" || { echo "no message naming bwt"; cat "$err"; fail=1; }
births="$outdir/births.csv"
printf 'bwt,gest,wt,ht,sex,eth,par\n3400,280,64,163,1,1,0\n2500,280,64,163,1,1,0\n,280,64,163,1,1,0\n' > "$births"
rm -f "$outdir/summary.svg"
env -u DISPLAY -u QT_QPA_PLATFORM "$custcent" batch -q "$births" -o "$outdir/centiles.csv" --summary "$outdir/summary.svg" 2>"$err"
expect_status 0 $? "batch --summary"
grep -q "centiles of 2 computed rows" "$err" || { echo "no cohort numbers on stderr"; cat "$err"; fail=1; }
grep -q "rows without a centile: 1 missing, 0 failed; 0 flagged" "$err" || { echo "no row counts on stderr"; cat "$err"; fail=1; }
grep -q '<svg' "$outdir/summary.svg" || { echo "summary.svg is not SVG"; fail=1; }
env -u DISPLAY "$custcent" batch -q "$births" -o "$outdir/centiles.csv" --summary "$outdir/summary.gif" 2>"$err"
expect_status 2 $? "batch --summary to a .gif"
exit $fail
