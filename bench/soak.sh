#!/usr/bin/env bash
# The HTTP service under attack for a while (60 s unless told): wrk sends
# single births on 64 keep-alive connections while hostile clients
# (bench/hostile_clients.py: 32 stalled 4 MiB bodies that reconnect when cut
# off, 4 oversized bodies sent whole, 64 slowloris headers) attack. Prints the
# service's resident memory before and after (and its peak), wrk's latency
# percentiles and errors for the honest clients, and what the attackers saw.
#   bench/soak.sh [BUILD_DIR] [SECONDS] [THREADS]
set -euo pipefail
default_seconds=60
source "$(dirname "${BASH_SOURCE[0]}")/start_service.sh"
port=$(echo "$url" | sed -n 's/.*:\([0-9]*\)\/$/\1/p')
memory() { awk -v f="$1" '$1 == f ":" {print $2 / 1024 " MiB"}' "/proc/$server/status"; }

echo "custcent serve --threads $threads at $url; $(nproc) cores: $(lscpu | sed -n 's/^Model name: *//p')"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
# A few seconds of ordinary load first, so that "before" is the memory of a
# service that has already served (its threads' arenas, its buffers).
wrk -t2 -c64 -d3s -s "$top/bench/wrk/one_birth.lua" "$url" >/dev/null
echo "service RSS before: $(memory VmRSS)"
echo
/usr/bin/python3 "$top/bench/hostile_clients.py" 127.0.0.1 "$port" "$((seconds + 2))" >"$log.attack" &
attack=$!
sleep 2  # the attackers in place before the measurement starts
echo "== honest clients: one birth a request, 64 connections, ${seconds} s, under attack =="
wrk -t2 -c64 -d"${seconds}s" --timeout 10s --latency -s "$top/bench/wrk/one_birth.lua" "$url" 2>&1 |
  sed '/unexpected status/d'
wait "$attack"
echo
echo "== what the attackers saw =="
cat "$log.attack"
rm -f "$log.attack"
sleep 3  # the last cut-off connections close
echo
echo "service RSS after: $(memory VmRSS) (peak $(memory VmHWM))"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "requests answered 503 (all clients): $(grep -c '" 503 ' "$log" || true)"
