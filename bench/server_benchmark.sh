#!/usr/bin/env bash
# The HTTP service under load from wrk, on 127.0.0.1, 10 seconds a run:
#   1. one birth per request, 16 keep-alive connections: requests per second;
#   2. one birth per request, 64 connections: latency percentiles (p99);
#   3. 10,000 births per request, 4 connections: births per second.
# Then each goal against its figure from this run: at least 1,000,000
# births a second through arrays of 10,000 at 4 connections, and a p99
# under 10 ms for single births at 64 connections. Prints the load average
# before and after: on a shared machine the figures count other people's
# work too, which the service's own processor time per birth does not.
#   bench/server_benchmark.sh [BUILD_DIR] [SECONDS] [THREADS]
set -euo pipefail
default_seconds=10
source "$(dirname "${BASH_SOURCE[0]}")/start_service.sh"

# The service's own processor time (user + system) for each run, from /proc:
# unlike the wall clock it does not count other people's work.
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$server/stat"; }
run() {  # run BIRTHS_PER_REQUEST wrk-arguments...
  local births=$1; shift
  local before out after requests
  before=$(cpu)
  out=$(wrk "$@")
  after=$(cpu)
  echo "$out"
  requests=$(echo "$out" | sed -n 's/^ *\([0-9]*\) requests in.*/\1/p')
  rate=$(echo "$out" | sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p')
  # Every answer must be 200 for the figures to count.
  refused=$(echo "$out" | sed -n 's/^ *Non-2xx or 3xx responses: *\([0-9]*\).*/\1/p')
  [ -z "$refused" ] || echo "NOT ALL ANSWERED 200: $refused answers were not 2xx"
  p99=$(echo "$out" | awk '$1 == "99%" { v = $2; if (v ~ /us$/) m = 0.001; else if (v ~ /ms$/) m = 1; else m = 1000;
                                     sub(/[a-z]+$/, "", v); print v * m }')
  awk -v t=$((after - before)) -v hz="$ticks" -v n="$requests" -v b="$births" 'BEGIN {
    s = t / hz; printf "service processor time: %.2f s for %d requests: %.1f us a request, %.2f us a birth\n",
      s, n, n ? s / n * 1e6 : 0, n ? s / (n * b) * 1e6 : 0 }'
  echo "load average now: $(cut -d' ' -f1-3 /proc/loadavg)"
}

echo "custcent serve --threads $threads at $url; $(nproc) cores: $(lscpu | sed -n 's/^Model name: *//p')"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "== 1. one birth a request, 16 connections, ${seconds} s =="
run 1 -t2 -c16 -d"${seconds}s" --latency -s "$top/bench/wrk/one_birth.lua" "$url"
echo
echo "== 2. one birth a request, 64 connections, ${seconds} s =="
run 1 -t2 -c64 -d"${seconds}s" --latency -s "$top/bench/wrk/one_birth.lua" "$url"
single_p99=$p99
echo
echo "== 3. 10,000 births a request, 4 connections, ${seconds} s (births/s = requests/s x 10,000) =="
run 10000 -t2 -c4 -d"${seconds}s" --timeout 10s --latency -s "$top/bench/wrk/ten_thousand_births.lua" "$url"
array_births=$(awk -v r="$rate" 'BEGIN { printf "%.0f", r * 10000 }')
array_refused=$refused
echo
echo "== goals, from this run =="
awk -v b="$array_births" -v bad="$array_refused" 'BEGIN { printf "arrays of 10,000 at 4 connections: %d births/s, %.2f of the goal of 1,000,000 (%s)\n",
  b, b / 1e6, (b >= 1e6 && bad == "") ? "met" : "NOT met" }'
awk -v p="$single_p99" 'BEGIN { printf "single births at 64 connections: p99 %.2f ms, goal under 10 ms (%s)\n",
  p, (p < 10) ? "met" : "NOT met" }'
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "access-log lines written: $(grep -c '"POST /v1/centile' "$log" || true)"
