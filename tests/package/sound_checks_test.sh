#!/usr/bin/env bash
# The comparisons that judge a live recording of the show against the
# offline rendering, given recordings made from the rendering with one
# known fault each: audio_gaps.py on the rendering itself (a server at
# 44100 Hz), audio_windows.py on the rendering resampled to 48000 Hz by
# ffmpeg's resampler (a PipeWire graph's rate, through another resampler
# than the check's own). A clean recording has no fault, nor one that falls
# silent for good as late before the end as the checks allow (the sound in
# flight when the show closed it, wherever the end fell); a 10 ms hole cut
# out, 10 ms of silence put in (a dropout), 10 ms played twice, the same in
# the last second, a recording 3 dB too loud (PipeWire's mono downmix), one
# that ends early or falls silent 100 ms sooner than allowed have exactly
# one.
#
#   sound_checks_test.sh BINDIR MODULE WORK
#
# Exit status 77: no ffmpeg or numpy (scripts/test installs both).
set -uo pipefail
bin=$1 module=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
command -v ffmpeg >/dev/null || { echo "skipped: no ffmpeg"; exit 77; }
/usr/bin/python3 -c 'import numpy' 2>/dev/null || { echo "skipped: no python3-numpy"; exit 77; }
rm -rf "$work" && mkdir -p "$work" || exit 1

seconds=12
"$bin/drmorvel-modrender" --seconds "$seconds" "$module" "$work/ref.wav" >/dev/null || fail "modrender failed"
tail -c +45 "$work/ref.wav" >"$work/44100.raw"
ffmpeg -v error -i "$work/ref.wav" -ar 48000 -f s16le -c:a pcm_s16le "$work/48000.raw" || fail "ffmpeg failed"

# The end the checks are given (the tick that ended the show) and the sound
# they allow lost before it: one 2048-frame buffer and 50 ms of the
# server's, about what a null sink reports.
until=$((11 * 44100))
slack=$((2048 + 2205))

# Writes the recording of case NAME at RATE to FILE: a second of silence
# (the server's start), then the rendering with the case's fault at 5 s, or
# in the last second before the end, then a second of silence (the show's
# sound closed).
make_recording() {
  python3 - "$1" "$2" "$3" "$work/$2.raw" "$until" "$slack" <<'EOF'
import array, math, sys
name, rate, out, source = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
until, slack = int(sys.argv[5]) / 44100, int(sys.argv[6]) / 44100
data = open(source, "rb").read()
at, n = int(5.0 * rate) * 2, int(0.010 * rate) * 2
if name.startswith("late-"):
    name, at = name[5:], int((until - 0.5) * rate) * 2
if name == "hole":
    data = data[:at] + data[at + n :]
elif name == "silence":
    data = data[:at] + bytes(n) + data[at:]
elif name == "repeat":
    data = data[: at + n] + data[at:]
elif name == "louder":
    samples = array.array("h", data)
    data = array.array("h", (max(-32768, min(32767, round(s * 2**0.5))) for s in samples)).tobytes()
elif name == "early":
    data = data[: int(9.0 * rate) * 2]
elif name == "cut-at-end":
    data = data[: int(until * rate) * 2]
elif name == "cut-at-slack":
    data = data[: math.ceil((until - slack) * rate) * 2]
elif name == "cut-too-soon":
    data = data[: int((until - slack - 0.100) * rate) * 2]
open(out, "wb").write(bytes(2 * rate) + data + bytes(2 * rate))
EOF
}

status=0
while read -r name expected; do
  for rate in 44100 48000; do
    make_recording "$name" "$rate" "$work/$name-$rate.raw" || fail "could not make the $name recording"
    if [ "$rate" = 44100 ]; then
      faults=$(python3 "$here/audio_gaps.py" --until "$until" --slack "$slack" "$work/$name-$rate.raw" \
        "$work/ref.wav" 2>"$work/$name-$rate.log")
    else
      faults=$(/usr/bin/python3 "$here/audio_windows.py" --rate "$rate" --until "$until" --slack "$slack" \
        "$work/$name-$rate.raw" \
        "$work/ref.wav" 2>"$work/$name-$rate.log")
    fi || fail "$name at $rate Hz: the check failed: $(cat "$work/$name-$rate.log")"
    # Sample for sample, a louder recording differs everywhere: a fault per
    # stretch, however many.
    if [ "$name:$rate" = louder:44100 ]; then
      [ "$faults" -ge 1 ] && continue
    elif [ "$faults" = "$expected" ]; then
      continue
    fi
    echo "$name at $rate Hz: $faults faults, expected $expected:" >&2
    cat "$work/$name-$rate.log" >&2
    status=1
  done
done <<'EOF'
clean 0
hole 1
silence 1
repeat 1
louder 1
early 1
cut-at-end 0
cut-at-slack 0
cut-too-soon 1
late-hole 1
late-silence 1
late-repeat 1
EOF
[ "$status" = 0 ] || fail "a check missed a fault or saw one too many"
echo "ok: each check finds the one fault cut into a recording, and none in a clean one"
