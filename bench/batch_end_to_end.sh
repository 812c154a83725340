#!/usr/bin/env bash
# Times `custcent batch` end to end on large made-up files of births and
# prints rows per second and peak resident memory.
#
#   bash bench/batch_end_to_end.sh [ROWS] [BIG_ROWS]
#
# ROWS (default 1,000,000) rows are written to a CSV file and run with one
# thread and with every core, to an output file; the outputs must be
# byte-identical. BIG_ROWS (default 10,000,000) rows are then streamed through
# a pipe, to check that memory stays bounded whatever the input's size.
# Builds the release tree build/ first if needed. Needs GNU time (/usr/bin/time).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rows=${1:-1000000}
big_rows=${2:-10000000}
build=${BUILD_DIR:-"$top/build"}

"$top/scripts/build.sh" "$build" >/dev/null
custcent="$build/cli/custcent"
make_births="$build/bench/make_births"
[ -x /usr/bin/time ] || { echo "GNU time is missing: apt-get install time" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs custcent under GNU time; prints "<seconds> <peak KiB>" and leaves the
# command's own status in $status.
timed() {
  local report="$work/time.txt"
  set +e
  /usr/bin/time -f '%e %M' -o "$report" "$@"
  status=$?
  set -e
  cat "$report" | tail -1
}

report() {  # label rows seconds kib
  awk -v label="$1" -v rows="$2" -v s="$3" -v kib="$4" 'BEGIN {
    rate = s > 0 ? rows / s : 0
    printf "%-34s %10d rows %7.2f s %12.0f rows/s   peak RSS %6.1f MiB\n", label, rows, s, rate, kib / 1024 }'
}

echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores"
echo "making $rows rows..."
"$make_births" "$rows" > "$work/births.csv"
echo "input: $(du -h "$work/births.csv" | cut -f1)"

cores=$(nproc)
for threads in 1 "$cores"; do
  read -r seconds kib < <(timed "$custcent" batch --quiet --threads "$threads" -o "$work/out-$threads.csv" \
                              "$work/births.csv" 2>"$work/stderr-$threads.txt")
  [ "$status" -le 1 ] || { cat "$work/stderr-$threads.txt" >&2; exit 1; }
  report "batch, file to file, $threads thread(s)" "$rows" "$seconds" "$kib"
done
if cmp -s "$work/out-1.csv" "$work/out-$cores.csv"; then
  echo "outputs with 1 and $cores threads: byte-identical"
else
  echo "outputs with 1 and $cores threads DIFFER" >&2
  exit 1
fi
rm -f "$work"/out-*.csv "$work/births.csv"

if [ "$big_rows" -gt 0 ]; then
  echo "streaming $big_rows rows through a pipe..."
  "$make_births" "$big_rows" > "$work/big.csv"
  read -r seconds kib < <(timed "$custcent" batch --quiet "$work/big.csv" 2>"$work/stderr-big.txt" >/dev/null)
  [ "$status" -le 1 ] || { cat "$work/stderr-big.txt" >&2; exit 1; }
  report "batch, $big_rows rows, $cores threads" "$big_rows" "$seconds" "$kib"
fi
