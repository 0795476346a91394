#!/usr/bin/env bash
# Updater benchmark under Wine on a virtual display: bench/updater.sh [runs] [background handles]
# Prints the time from the updater's start to its window on screen, the time of one scan pass with
# 20 held entries spread over 5 holder processes, and the longest time the update window's thread
# does not handle messages during such a pass next to one single lock scan ("ratio stall/single"),
# ending with "longest stall ms (pass): N" (any pass after the first) and "longest stall ms (first
# tick): N" (job read and first pass), measured until each pass's scan result has been applied.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
case "$build" in /*) ;; *) build=$root/$build ;; esac
export BUILD_DIR=$build
"$root/scripts/build" >/dev/null
. "$root/scripts/wine-env"
xvfb-run -a -s "-screen 0 1280x1024x24" wine64 "$build/bin/updater_bench.exe" -r "${1:-5}" -l "${2:-4000}"
