#!/usr/bin/env bash
# Task button cost under Wine on a virtual display: bench/taskbutton.sh [repeats] (default 5).
# Prints the icon conversion and one process row in microseconds, and a window of 20 rows in
# milliseconds from creation to painted, in classic and themed drawing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/build-and-wine-env"
xvfb-run -a -s "-screen 0 1280x1024x24" wine64 "$build/bin/taskbutton_bench.exe" "${1:-5}" 2>&1 | grep -v '^X connection'
