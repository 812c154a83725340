#!/usr/bin/env bash
# Installs the Debian packages the project needs that are not installed yet.
# The lists live in scripts/packages.d/*.txt, one package a line ('#' starts a
# comment). Quiet when everything is there; apt-get runs only for what is missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

wanted=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$here"/packages.d/*.txt | tr -s ' \t' '\n' | sort -u)
missing=()
for pkg in $wanted; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing Debian packages: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# A package of another architecture (wine32:i386) needs that architecture
# enabled and its package lists fetched.
for arch in $(printf '%s\n' "${missing[@]}" | sed -n 's/^[^:]*:\(.*\)$/\1/p' | sort -u); do
  if ! grep -qx "$arch" <<<"$(dpkg --print-foreign-architectures)" && [ "$arch" != "$(dpkg --print-architecture)" ]; then
    $sudo dpkg --add-architecture "$arch"
    $sudo apt-get update -q >>/tmp/wrenfield-apt.log 2>&1
  fi
done
apt_opts=(-q -y -o DPkg::Lock::Timeout=600 --no-install-recommends)
if ! $sudo apt-get install "${apt_opts[@]}" "${missing[@]}" >/tmp/wrenfield-apt.log 2>&1; then
  # The package lists may be missing or stale on a fresh machine.
  $sudo apt-get update -q >>/tmp/wrenfield-apt.log 2>&1
  $sudo apt-get install "${apt_opts[@]}" "${missing[@]}" >>/tmp/wrenfield-apt.log 2>&1 || {
    echo "apt-get failed; see /tmp/wrenfield-apt.log" >&2
    tail -20 /tmp/wrenfield-apt.log >&2
    exit 1
  }
fi
