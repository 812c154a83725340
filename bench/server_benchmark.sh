#!/usr/bin/env bash
# The HTTP service under load from wrk, on 127.0.0.1, 10 seconds a run:
#   1. one birth per request, 16 keep-alive connections: requests per second;
#   2. one birth per request, 64 connections: latency percentiles (p99);
#   3. 10,000 births per request, 2 connections: births per second.
# Prints the load average before and after: on a shared machine the figures
# count other people's work too.
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
  awk -v t=$((after - before)) -v hz="$ticks" -v n="$requests" -v b="$births" 'BEGIN {
    s = t / hz; printf "service processor time: %.2f s for %d requests: %.1f us a request, %.2f us a birth\n",
      s, n, n ? s / n * 1e6 : 0, n ? s / (n * b) * 1e6 : 0 }'
}

echo "custcent serve --threads $threads at $url; $(nproc) cores: $(lscpu | sed -n 's/^Model name: *//p')"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "== 1. one birth a request, 16 connections, ${seconds} s =="
run 1 -t2 -c16 -d"${seconds}s" --latency -s "$top/bench/wrk/one_birth.lua" "$url"
echo
echo "== 2. one birth a request, 64 connections, ${seconds} s =="
run 1 -t2 -c64 -d"${seconds}s" --latency -s "$top/bench/wrk/one_birth.lua" "$url"
echo
echo "== 3. 10,000 births a request, 2 connections, ${seconds} s (births/s = requests/s x 10,000) =="
run 10000 -t1 -c2 -d"${seconds}s" --timeout 10s --latency -s "$top/bench/wrk/ten_thousand_births.lua" "$url"
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "access-log lines written: $(grep -c '"POST /v1/centile' "$log" || true)"
