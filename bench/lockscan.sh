#!/usr/bin/env bash
# Lock scan benchmark under Wine: bench/lockscan.sh [P] [H] [more lockscan.exe options]
# P processes (default 8) each hold H files open (default 500); P and H may also come from the
# environment. Builds first, then prints the figures; the last line is "ratio call/floor: X.XX".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
P=${1:-${P:-8}}
H=${2:-${H:-500}}
shift $(( $# > 2 ? 2 : $# ))

. "$root/scripts/build-and-wine-env"
wine64 "$build/bin/lockscan.exe" -p "$P" -h "$H" "$@"
