#!/usr/bin/env bash
# The per-band cost of the show's frames: milliseconds per frame on the
# software rasteriser at 1024x768 and 512x384 with the pixels each band
# shades, and the show's own CPU work per frame against the GL that draws
# nothing (goal: at most 0.5 ms in every band). Not a test: numbers vary
# with the machine and its load.
#   bench/bands.sh [build dir]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
cmake --build "$build" --target drmorvel-bench-bands drmorvel-bench-bands-cpu >/dev/null
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
"$build/bin/drmorvel-bench-bands" --size 1024x768
echo
"$build/bin/drmorvel-bench-bands" --size 512x384
echo
"$build/bin/drmorvel-bench-bands-cpu"
