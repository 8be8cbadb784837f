#!/usr/bin/env bash
# Renders the same long module with drmorvel-modrender and with openmpt123
# (mono, 44100 Hz, 16-bit, no interpolation, no volume ramping) side by side
# in one run, and prints how many times faster than real time each one is
# and the ratio, by wall-clock time and by CPU time (user + system, the fairer
# measure on a busy machine). Each renderer runs RUNS times (default 3),
# alternating; the fastest run of each counts. Both write their WAV files to
# memory (/dev/shm when there is one), so that the disk is not measured.
#
# Usage: bench/compare-openmpt.sh [-s SECONDS] [-r RUNS] [MODULE...]
# Without modules it renders generated 4- and 32-channel songs.
# Needs a build in build/ (./scripts/test) and Debian's openmpt123.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=${BIN:-$ROOT/build/bin}
SECONDS_OF_AUDIO=1800
RUNS=3
while getopts "s:r:" opt; do
  case $opt in
    s) SECONDS_OF_AUDIO=$OPTARG ;;
    r) RUNS=$OPTARG ;;
    *) echo "usage: $0 [-s SECONDS] [-r RUNS] [MODULE...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

command -v openmpt123 >/dev/null || { echo "openmpt123 is missing: apt-get install openmpt123" >&2; exit 1; }
[ -x "$BIN/drmorvel-modrender" ] || { echo "build first: $BIN/drmorvel-modrender is missing" >&2; exit 1; }

work=$(mktemp -d -p "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp)")
trap 'rm -rf "$work"' EXIT

modules=("$@")
if [ ${#modules[@]} -eq 0 ]; then
  for ch in 4 32; do
    "$BIN/make-bench-module" "$ch" "$work/busy-${ch}ch.mod"
    modules+=("$work/busy-${ch}ch.mod")
  done
fi

# "wall cpu" seconds that a command takes.
measure() {
  local TIMEFORMAT='%R %U %S' t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
  awk '{ printf "%.4f %.4f\n", $1, $2 + $3 }' <<<"$t"
}

# The smallest value of column $1 in the lines given.
best() { local col=$1; shift; printf '%s\n' "$@" | awk -v c="$col" 'NR == 1 || $c < m { m = $c } END { print m }'; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

printf '%-24s %7s | %10s %10s %6s | %10s %10s %6s\n' module seconds \
  wall:ours openmpt ratio cpu:ours openmpt ratio
for mod in "${modules[@]}"; do
  ours=() theirs=()
  for ((i = 0; i < RUNS; i++)); do
    ours+=("$(measure "$BIN/drmorvel-modrender" --seconds "$SECONDS_OF_AUDIO" "$mod" "$work/ours.wav")")
    theirs+=("$(measure openmpt123 --batch -q --force -o "$work/openmpt.wav" --samplerate 44100 \
      --channels 1 --no-float --filter 1 --ramping 0 --repeat -1 --end-time "$SECONDS_OF_AUDIO" "$mod")")
  done
  line=$(basename "$mod")
  printf '%-24s %7s |' "${line:0:24}" "$SECONDS_OF_AUDIO"
  for col in 1 2; do
    t_ours=$(best "$col" "${ours[@]}")
    t_theirs=$(best "$col" "${theirs[@]}")
    printf ' %9sx %9sx %6s |' "$(ratio "$SECONDS_OF_AUDIO" "$t_ours" | cut -d. -f1)" \
      "$(ratio "$SECONDS_OF_AUDIO" "$t_theirs" | cut -d. -f1)" "$(ratio "$t_theirs" "$t_ours")"
  done
  echo
done
