#!/usr/bin/env bash
# Runs one fuzz target for a bounded time over its seed corpus.
#   run_target.sh BINARY SEED_DIR WORK_DIR SECONDS
# New inputs the fuzzer finds go to WORK_DIR/corpus (the seeds in the
# repository are only read); a crash is saved in WORK_DIR/artifacts and the
# run fails. WRENFIELD_FUZZ_SECONDS in the environment overrides SECONDS.
set -euo pipefail
binary=$1 seeds=$2 work=$3
seconds=${WRENFIELD_FUZZ_SECONDS:-$4}
mkdir -p "$work/corpus" "$work/artifacts"
# Leaks are checked, but at exit only; a single input may take at most 10 s.
exec "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds"
