#!/usr/bin/env bash
# Runs `custcent form` end to end: checks its exit status and that its output
# holds each expected line.
#   form_command_test.sh CUSTCENT EXPECTED_STATUS STREAM LINE... -- ARGS...
# STREAM is "out" or "err": where the expected lines must appear.
set -uo pipefail
custcent=$1 expected_status=$2 stream=$3
shift 3
expected=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do expected+=("$1"); shift; done
shift

out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$custcent" form "$@" >"$out" 2>"$err"
status=$?
fail=0
if [ "$status" -ne "$expected_status" ]; then
  echo "exit status $status, expected $expected_status" >&2
  fail=1
fi
file=$out
[ "$stream" = err ] && file=$err
for line in "${expected[@]}"; do
  if ! grep -qxF -- "$line" "$file"; then
    echo "missing line: $line" >&2
    fail=1
  fi
done
if [ "$fail" -ne 0 ]; then
  echo "--- stdout"; cat "$out"; echo "--- stderr"; cat "$err"
fi
exit $fail
