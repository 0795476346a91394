#!/usr/bin/env bash
# Window layer benchmark under Wine on a virtual display: bench/form.sh [-r repetitions]
# Builds first, then prints build/change/paint medians for a 20-row form, unbatched and batched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
case "$build" in /*) ;; *) build=$root/$build ;; esac
export BUILD_DIR=$build

"$root/scripts/build" >/dev/null
. "$root/scripts/wine-env"
xvfb-run -a -s "-screen 0 1280x1024x24" wine64 "$build/bin/formbench.exe" "$@"
