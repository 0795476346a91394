#!/usr/bin/env bash
# Window layer benchmark under Wine on a virtual display: bench/form.sh [-r repetitions]
# Builds first, then prints build/change/paint medians for a 20-row form, unbatched and batched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/build-and-wine-env"
xvfb-run -a -s "-screen 0 1280x1024x24" wine64 "$build/bin/formbench.exe" "$@"
