#!/usr/bin/env bash
# Times `custcent batch` end to end on large made-up files of births and
# prints rows per second and peak resident memory.
#
#   bash bench/batch_end_to_end.sh [ROWS] [BIG_ROWS]
#
# ROWS (default 1,000,000) rows are written to a CSV file and run with one
# thread and with every core, to an output file; the outputs must be
# byte-identical. The same file then goes through `custcent batch --exact`
# (every row by the population's method) and through the numpy peer
# (bench/numpy_peer.py: the formulas vectorised over the records, a loop over
# the 1001 slices), whose computing time alone is set against custcent's
# whole run, file to file. BIG_ROWS (default 10,000,000) rows are then run to standard
# output (thrown away), to check that memory stays bounded whatever the
# input's size.
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

# Runs a command under GNU time: sets $seconds (wall clock), $cpu (processor
# seconds, all threads), $kib (peak resident memory) and $status (the
# command's own exit status).
timed() {
  set +e
  /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" "$@"
  status=$?
  set -e
  read -r seconds kib user system < <(tail -1 "$work/time.txt")
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')
}

# On a shared machine the wall clock also counts other people's work; the
# processor time is the command's own.
report() {  # label rows seconds cpu kib
  awk -v label="$1" -v rows="$2" -v s="$3" -v cpu="$4" -v kib="$5" 'BEGIN {
    rate = s > 0 ? rows / s : 0
    printf "%-36s %9d rows %7.2f s %10.0f rows/s  (cpu %6.2f s)  peak RSS %5.1f MiB\n",
           label, rows, s, rate, cpu, kib / 1024 }'
}

echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "making $rows rows..."
"$make_births" "$rows" > "$work/births.csv"
echo "input: $(du -h "$work/births.csv" | cut -f1)"

cores=$(nproc)
for threads in 1 "$cores"; do
  timed "$custcent" batch --quiet --threads "$threads" -o "$work/out-$threads.csv" "$work/births.csv" \
    2>"$work/stderr-$threads.txt"
  [ "$status" -le 1 ] || { cat "$work/stderr-$threads.txt" >&2; exit 1; }
  report "batch, file to file, $threads thread(s)" "$rows" "$seconds" "$cpu" "$kib"
  fast_seconds=$seconds
  fast_cpu=$cpu
done
if cmp -s "$work/out-1.csv" "$work/out-$cores.csv"; then
  echo "outputs with 1 and $cores threads: byte-identical"
else
  echo "outputs with 1 and $cores threads DIFFER" >&2
  exit 1
fi

timed "$custcent" batch --quiet --exact --threads "$cores" -o "$work/out-exact.csv" "$work/births.csv" \
  2>"$work/stderr-exact.txt"
[ "$status" -le 1 ] || { cat "$work/stderr-exact.txt" >&2; exit 1; }
report "batch --exact, file to file, $cores thread(s)" "$rows" "$seconds" "$cpu" "$kib"
fast_rate=$(awk -v rows="$rows" -v s="$fast_seconds" 'BEGIN { print rows / s }')

# The numpy peer needs the Python package's module (built with the tree).
if [ -d "$build/python/wrenfield" ] && /usr/bin/python3 -c 'import numpy' 2>/dev/null; then
  PYTHONPATH="$build/python" /usr/bin/python3 "$top/bench/numpy_peer.py" "$work/births.csv" \
    --check "$work/out-$cores.csv" | tee "$work/peer.txt"
  peer_rate=$(sed -n 's/.*(\([0-9]*\) rows\/s computing.*/\1/p' "$work/peer.txt")
  peer_cpu=$(sed -n 's/.*computing; cpu \([0-9.]*\) s).*/\1/p' "$work/peer.txt")
  awk -v fast="$fast_rate" -v peer="$peer_rate" -v cores="$cores" \
    'BEGIN { printf "custcent batch (%d threads, file to file) / numpy peer (computing alone), wall clock: %.1f times\n", cores, fast / peer }'
  # On a busy machine the wall clock counts other people's work: the
  # processor times are each program's own.
  awk -v fast="$fast_cpu" -v peer="$peer_cpu" \
    'BEGIN { printf "the same by processor time (custcent %.2f s, peer %.2f s): %.1f times\n", fast, peer, peer / fast }'
else
  echo "numpy peer skipped: no Python package in $build/python or no numpy for /usr/bin/python3"
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
rm -f "$work"/out-*.csv "$work/births.csv"

if [ "$big_rows" -gt 0 ]; then
  echo "making $big_rows rows..."
  "$make_births" "$big_rows" > "$work/big.csv"
  timed "$custcent" batch --quiet "$work/big.csv" 2>"$work/stderr-big.txt" >/dev/null
  [ "$status" -le 1 ] || { cat "$work/stderr-big.txt" >&2; exit 1; }
  report "batch, to stdout, $cores threads" "$big_rows" "$seconds" "$cpu" "$kib"
fi
