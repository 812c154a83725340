#!/usr/bin/env bash
# Registers the control library with wfregsvr into a fresh registry, lets the
# C host use it, registers it from two processes at once, unregisters it and
# checks that nothing of it is left and that creation then fails; then the
# tool's failures, each with its exit status: a damaged registry, a lock
# held by another process, a full disk, a registration killed outright.
#   register_cycle.sh WFREGSVR LIBRARY CALC_HOST WORKDIR
set -uo pipefail
regsvr=$1 lib=$2 host=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
export WRENFIELD_REGISTRY=$work/registry
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }
expect_status() {  # expected-status description command...
  local want=$1 what=$2; shift 2
  "$@" >"$work/out" 2>&1
  local got=$?
  [ "$got" -eq "$want" ] || { fail "$what: exit status $got, expected $want"; cat "$work/out" >&2; }
}
ours='187A1494-A7E4-46E6-B1C8-1885659AB446|739DC2BA-688E-4D50-AEFA-62D66F055A60|C5DD6964-C996-44FD-AECF-C2652D21C9A5|6A377DCC-2856-4013-AB27-CFC405A0ECEC|52869A77-3AC4-495D-A9BB-F39DEB3148B6|7B7DFD3D-27B0-4316-9367-499DBBEA0068|Wrenfield515UK'

expect_status 0 "creation fails before registration" "$host" unregistered
expect_status 0 "register" "$regsvr" "$lib"
grep -q "succeeded" "$work/out" || fail "register: no success message"
expect_status 0 "the C host" "$host" registered

# The entries of the registration record.
clsid='CLSID\{187A1494-A7E4-46E6-B1C8-1885659AB446}'
libdir=$(cd "$(dirname "$lib")" && pwd)/$(basename "$lib")
expect_status 0 "list the registry" "$regsvr" --list
for entry in \
    "[$clsid\\InprocServer32]" "@=\"$libdir\"" '"ThreadingModel"="Apartment"' \
    "[$clsid\\Control]" "[$clsid\\MiscStatus\\1]" '@="131473"' \
    "[$clsid\\ToolboxBitmap32]" "@=\"$libdir, 30000\"" \
    "[$clsid\\ProgID]" '@="Wrenfield515UK.Calc"' \
    '[Wrenfield515UK.Calc\CLSID]' '@="{187A1494-A7E4-46E6-B1C8-1885659AB446}"' \
    '[Interface\{C5DD6964-C996-44FD-AECF-C2652D21C9A5}]' '@="_Calc"' \
    '[Interface\{6A377DCC-2856-4013-AB27-CFC405A0ECEC}]' '@="__Calc"' \
    '[Interface\{52869A77-3AC4-495D-A9BB-F39DEB3148B6}]' '@="_Calc2"' \
    '[Interface\{7B7DFD3D-27B0-4316-9367-499DBBEA0068}]' '@="__Calc2"' \
    "[$clsid\\VERSION]" '@="1.1"' \
    '[TypeLib\{739DC2BA-688E-4D50-AEFA-62D66F055A60}\1.1]' '@="Wrenfield515UK"' \
    '[TypeLib\{739DC2BA-688E-4D50-AEFA-62D66F055A60}\1.1\409\win64]' '"Version"="1.1"'; do
  grep -qxF -- "$entry" "$work/out" || fail "registry lacks the line: $entry"
done

# Two registrations at once, several times over: each must succeed and the
# registry must stay whole and usable.
for round in 1 2 3 4 5 6 7 8; do
  "$regsvr" /s "$lib" & a=$!
  "$regsvr" /s "$lib" & b=$!
  wait $a || fail "round $round: first registration failed"
  wait $b || fail "round $round: second registration failed"
  expect_status 0 "round $round: registry readable" "$regsvr" --list
  grep -q '^WRENFIELD-REGISTRY 1$' "$work/out" || fail "round $round: registry header"
done
ls "$work" | grep -v -e '^registry$' -e '^registry.lock$' -e '^out$' && fail "temporary files left beside the registry"
expect_status 0 "the C host after concurrent registrations" "$host" registered

expect_status 0 "unregister" "$regsvr" /u "$lib"
if grep -Eiq "$ours" "$WRENFIELD_REGISTRY"; then
  fail "entries left after unregistering:"
  grep -Ei "$ours" "$WRENFIELD_REGISTRY" >&2
fi
expect_status 0 "creation fails after unregistering" "$host" unregistered
expect_status 0 "unregistering twice" "$regsvr" /u "$lib"

# The tool's failures.
expect_status 3 "a missing library" "$regsvr" "$work/missing.so"
grep -q "cannot load" "$work/out" || fail "no message for a missing library"
expect_status 1 "no library named" "$regsvr"
expect_status 1 "an unknown option" "$regsvr" --frobnicate "$lib"
printf 'not a registry\n' >"$WRENFIELD_REGISTRY"
expect_status 6 "a damaged registry" "$regsvr" "$lib"
grep -q "0x80040150" "$work/out" || fail "no code for a damaged registry"
grep -q "is damaged: line 1: not a registry" "$work/out" || fail "no reason for a damaged registry"
grep -q "not a registry" "$WRENFIELD_REGISTRY" || fail "a damaged registry must be left as it was"

# A registry that two readers could read two ways is refused whole, the
# line at fault named; --list says so too (never a listing cut short).
printf 'WRENFIELD-REGISTRY 1\n\n[CLSID\\{A}]\n@="one\0two"\n' >"$WRENFIELD_REGISTRY"
expect_status 6 "--list of a registry holding a NUL byte" "$regsvr" --list
grep -q "line 4: a NUL byte" "$work/out" || fail "no line named for a NUL byte"
printf 'WRENFIELD-REGISTRY 1\n\n[CLSID\\{A}]\n@="a"\n\n[clsid\\{a}]\n"Name"="b"\n' >"$WRENFIELD_REGISTRY"
expect_status 6 "--list of a registry naming one key in two cases" "$regsvr" --list
grep -qF 'line 6: the key [clsid\{a}] is the key of line 3 again' "$work/out" ||
  fail "keys differing only in case are not reported"
expect_status 6 "registering over a registry naming one key in two cases" "$regsvr" "$lib"
grep -c '^\[' "$WRENFIELD_REGISTRY" | grep -qx 2 || fail "the two keys must be left as they were"

# A registration while another process holds the lock waits, saying so, and
# gives up after --lock-wait seconds.
rm -f "$WRENFIELD_REGISTRY"
flock "$WRENFIELD_REGISTRY.lock" sleep 10 & holder=$!
sleep 0.3
started=$(date +%s%N)
expect_status 7 "a registration while the lock is held" timeout 20 "$regsvr" --lock-wait 1 "$lib"
waited=$(( ($(date +%s%N) - started) / 1000000 ))
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null
grep -q "is locked by" "$work/out" || fail "no word while waiting for the lock"
grep -q "stayed locked by another process" "$work/out" || fail "no reason after waiting for the lock"
[ "$waited" -ge 900 ] && [ "$waited" -lt 5000 ] || fail "waited ${waited} ms for a lock wait of 1 s"

# A full disk (here the file size limit, as `ulimit -f` sets it): the old
# registry stays, and the tool says why.
printf 'WRENFIELD-REGISTRY 1\n' >"$WRENFIELD_REGISTRY"
expect_status 8 "a registration that cannot be written" bash -c 'ulimit -f 1; exec "$0" "$1"' "$regsvr" "$lib"
grep -q "File too large" "$work/out" || fail "no reason for a registry that cannot be written"
[ "$(cat "$WRENFIELD_REGISTRY")" = "WRENFIELD-REGISTRY 1" ] || fail "the old registry must stay"

# A registration killed outright left its temporary file: the next one
# removes it (its process is gone), never one of a live process.
dead=$(sh -c 'echo $$')
printf 'partial\n' >"$work/.registry.tmp-$dead-0"
printf 'live\n' >"$work/.registry.tmp-$$-0"
expect_status 0 "a registration after one was killed" "$regsvr" /s "$lib"
[ -e "$work/.registry.tmp-$dead-0" ] && fail "a dead process's temporary file was left"
[ -e "$work/.registry.tmp-$$-0" ] || fail "a live process's temporary file was removed"
rm -f "$work/.registry.tmp-$$-0"

exit $failed
