#!/usr/bin/env bash
# Lock scan benchmark under Wine: bench/lockscan.sh [P [H]] [more lockscan.exe options]
# P processes (default 8) each hold H files open (default 500); P and H may also come from the
# environment. Builds first, then prints the figures (with the steady scan's cost curve unless
# --no-curve is given); the last line is "ratio call/floor: X.XX".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# P and H are the leading numbers only, so that "bench/lockscan.sh --targets 20" keeps its option.
P=${P:-8}
H=${H:-500}
if [[ ${1:-} =~ ^[0-9]+$ ]]; then
  P=$1
  shift
  if [[ ${1:-} =~ ^[0-9]+$ ]]; then
    H=$1
    shift
  fi
fi

. "$root/scripts/build-and-wine-env"
wine64 "$build/bin/lockscan.exe" -p "$P" -h "$H" "$@"
