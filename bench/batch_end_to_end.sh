#!/usr/bin/env bash
# Times `custcent batch` end to end on large made-up files of births and
# prints rows per second, processor time and peak resident memory.
#
#   bash bench/batch_end_to_end.sh [ROWS] [BIG_ROWS]
#
# 1. ROWS (default 1,000,000) rows of the seven inputs as plain numbers
#    (make_births --plain) go through `custcent batch` file to file with one
#    thread and with every core (the two outputs must be byte-identical), to
#    standard output, and through `custcent batch --exact` (every row by the
#    population's method, the 1001-slice sum). The numpy peer
#    (bench/numpy_peer.py: the formulas vectorised over the records, a loop
#    over the 1001 slices) computes the same file; its computing time alone
#    is set against custcent's whole run, file to file.
# 2. ROWS rows of a register (an id, the seven inputs, the population by
#    name, one row in a hundred missing an input) go through it once more.
# 3. BIG_ROWS (default 10,000,000) rows go to standard output (thrown away),
#    to check that memory stays bounded whatever the input's size.
#
# Each custcent timing is the median of three runs back to back (one for
# --exact and the memory run, long enough not to need it), after one run
# that is not timed: on this kind of shared virtual machine a processor that
# has idled for a second runs the next tenth of a second markedly slower
# (0.16 against 0.13 s of processor time for the same run), and the peer,
# timed after its own reading, never pays that. "File to file" includes the
# flush of the output to the disk (custcent syncs the file before it
# replaces the target), so it depends on the disk too; nothing is left to
# write back from one run to the next. Each run to a file writes a new file:
# the previous run's output is removed before it, untimed.
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

# Runs a command $repeat times (default 3) under GNU time and keeps the
# median run by wall clock: sets $seconds (wall clock, to the microsecond),
# $cpu (processor seconds, all threads), $kib (peak resident memory) and
# $status (the command's own exit status).
timed() {
  : > "$work/runs.txt"
  sync
  [ "${repeat:-3}" -eq 1 ] || "$@" || true  # the run not timed
  for ((run = 0; run < ${repeat:-3}; run++)); do
    # Each run writes a new file: the previous run's output is removed first,
    # untimed (replacing it would make the file system free its 45 MB of
    # blocks during the rename, 3 to 19 ms here: the old file's deletion, not
    # this run's work).
    [ -z "${fresh:-}" ] || { rm -f "$fresh"; sync; }
    set +e
    local start=$EPOCHREALTIME
    /usr/bin/time -f '%M %U %S' -o "$work/time.txt" "$@"
    status=$?
    local end=$EPOCHREALTIME
    set -e
    [ "$status" -le 1 ] || return 0
    echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }') $(tail -1 "$work/time.txt")" >> "$work/runs.txt"
  done
  read -r seconds kib user system < <(sort -n "$work/runs.txt" | awk '{ line[NR] = $0 } END { print line[int((NR + 1) / 2)] }')
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')
}

# On a shared machine the wall clock also counts other people's work; the
# processor time is the command's own.
report() {  # label rows seconds cpu kib
  awk -v label="$1" -v rows="$2" -v s="$3" -v cpu="$4" -v kib="$5" 'BEGIN {
    rate = s > 0 ? rows / s : 0
    printf "%-40s %9d rows %7.3f s %9.0f rows/s  (cpu %5.2f s)  peak RSS %5.1f MiB\n",
           label, rows, s, rate, cpu, kib / 1024 }'
}

batch() {  # label input threads output [options...]
  local label=$1 input=$2 threads=$3 output=$4
  shift 4
  if [ "$output" = - ]; then
    timed "$custcent" batch --quiet --threads "$threads" "$@" "$input" >/dev/null 2>"$work/stderr.txt"
  else
    fresh=$output timed "$custcent" batch --quiet --threads "$threads" -o "$output" "$@" "$input" 2>"$work/stderr.txt"
  fi
  [ "$status" -le 1 ] || { cat "$work/stderr.txt" >&2; exit 1; }
  report "$label" "$rows_now" "$seconds" "$cpu" "$kib"
}

vector="SSE2, 2 doubles a vector"
grep -qw avx2 /proc/cpuinfo && grep -qw fma /proc/cpuinfo && vector="AVX2, 4 doubles a vector"
grep -qw avx512f /proc/cpuinfo && vector="AVX-512, 8 doubles a vector"
cores=$(nproc)
echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $cores cores, widest vector unit $vector (the kernel's choice)"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== $rows rows of seven plain numbers =="
"$make_births" --plain "$rows" > "$work/plain.csv"
echo "input: $(du -h "$work/plain.csv" | cut -f1)"
rows_now=$rows
batch "batch, file to file, 1 thread" "$work/plain.csv" 1 "$work/out-1.csv"
batch "batch, file to file, $cores threads" "$work/plain.csv" "$cores" "$work/out-$cores.csv"
fast_seconds=$seconds
fast_cpu=$cpu
if cmp -s "$work/out-1.csv" "$work/out-$cores.csv"; then
  echo "outputs with 1 and $cores threads: byte-identical"
else
  echo "outputs with 1 and $cores threads DIFFER" >&2
  exit 1
fi
batch "batch, to standard output, $cores threads" "$work/plain.csv" "$cores" -
stdout_rate=$(awk -v rows="$rows" -v s="$seconds" 'BEGIN { print rows / s }')
awk -v r="$stdout_rate" 'BEGIN { printf "goal: at least 12,000,000 rows/s to standard output: %.0f rows/s (%s)\n", r, (r >= 12e6) ? "met" : "NOT met" }'
echo "load average now: $(cut -d' ' -f1-3 /proc/loadavg)"
repeat=1 batch "batch --exact, file to file, $cores threads" "$work/plain.csv" "$cores" "$work/out-exact.csv" --exact
fast_rate=$(awk -v rows="$rows" -v s="$fast_seconds" 'BEGIN { print rows / s }')

# The numpy peer needs the Python package's module (built with the tree).
if [ -d "$build/python/wrenfield" ] && /usr/bin/python3 -c 'import numpy' 2>/dev/null; then
  PYTHONPATH="$build/python" /usr/bin/python3 "$top/bench/numpy_peer.py" "$work/plain.csv" \
    --check "$work/out-$cores.csv" | tee "$work/peer.txt"
  peer_rate=$(sed -n 's/.*(\([0-9]*\) rows\/s computing.*/\1/p' "$work/peer.txt")
  peer_cpu=$(sed -n 's/.*computing; cpu \([0-9.]*\) s).*/\1/p' "$work/peer.txt")
  awk -v fast="$fast_rate" -v peer="$peer_rate" -v cores="$cores" \
    'BEGIN { printf "custcent batch (%d threads, file to file) / numpy peer (computing alone), wall clock: %.1f times\n", cores, fast / peer }'
  awk -v fast="$stdout_rate" -v peer="$peer_rate" -v cores="$cores" \
    'BEGIN { printf "custcent batch (%d threads, to standard output) / numpy peer (computing alone), wall clock: %.1f times\n", cores, fast / peer }'
  awk -v fast="$fast_rate" -v peer="$peer_rate" \
    'BEGIN { r = fast / peer; printf "goal: file to file at least 100 times the numpy peer: %.1f times (%s)\n", r, (r >= 100) ? "met" : "NOT met" }'
  # On a busy machine the wall clock counts other people's work: the
  # processor times are each program's own.
  awk -v fast="$fast_cpu" -v peer="$peer_cpu" \
    'BEGIN { printf "the same by processor time (custcent %.2f s, peer %.2f s): %.1f times\n", fast, peer, peer / fast }'
else
  echo "numpy peer skipped: no Python package in $build/python or no numpy for /usr/bin/python3"
fi
rm -f "$work"/out-*.csv "$work/plain.csv"

echo "== $rows rows of a register (id, seven inputs, population names, 1 in 100 rows missing an input) =="
"$make_births" "$rows" > "$work/register.csv"
echo "input: $(du -h "$work/register.csv" | cut -f1)"
batch "batch, file to file, $cores threads" "$work/register.csv" "$cores" "$work/out-register.csv"
rm -f "$work/out-register.csv" "$work/register.csv"

if [ "$big_rows" -gt 0 ]; then
  echo "== memory: $big_rows rows =="
  "$make_births" "$big_rows" > "$work/big.csv"
  rows_now=$big_rows
  repeat=1 batch "batch, to standard output, $cores threads" "$work/big.csv" "$cores" -
  awk -v kib="$kib" 'BEGIN { printf "goal: memory under 64 MiB: peak RSS %.1f MiB (%s)\n", kib / 1024, (kib < 65536) ? "met" : "NOT met" }'
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
