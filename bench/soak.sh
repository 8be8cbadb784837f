#!/usr/bin/env bash
# A long live run: the show with the test song that never ends, in full
# screen on a small Xvfb screen under a window manager, heard through a
# private sound server with a null sink, for N minutes (default 30).
# The show's resident memory is read once a minute and the sink's monitor
# recorded; afterwards the recording is compared with drmorvel-modrender's
# rendering of the same song. The last line is
#
#   rss_growth_kib=N gaps=M
#
# N: resident memory at the end less that after the first minute; M:
# stretches where the recording falls silent, repeats or skips while the
# offline rendering sounds. Goal: N <= 256, M = 0. Also printed: the frame
# rate (from Mesa's heads-up display, not drawn), how often the server
# found the show's stream run dry, and how late the machine woke a
# real-time thread (tests/package/stall_probe.py): a gap with a late
# wake-up of tens of milliseconds is the machine's, not the show's.
#
# The server (tests/package/sound_server.sh): PulseAudio (the default), or
# PipeWire as Debian 12's GNOME desktop runs it, its graph at 48000 Hz
# (pipewire) or allowed to run at the show's 44100 Hz (pipewire-44100). The
# show reaches it through SDL's pulseaudio driver (the default) or, with
# --driver pipewire, SDL's own PipeWire driver. Resampled by a 48000 Hz
# graph, the recording is compared window by window
# (tests/package/audio_windows.py), else sample for sample.
#
#   bench/soak.sh [--minutes N] [--server pulseaudio|pipewire|pipewire-44100]
#                 [--driver pulseaudio|pipewire] [build dir]
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"

minutes=30
build=$BUILD
server=pulseaudio
driver=pulseaudio
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) minutes=${2:?--minutes needs a value}; shift 2 ;;
    --server) server=${2:?--server needs a value}; shift 2 ;;
    --driver) driver=${2:?--driver needs a value}; shift 2 ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) build=$1; shift ;;
  esac
done
[[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "soak: --minutes takes a whole number from 1" >&2; exit 2; }
case $server in pulseaudio|pipewire|pipewire-44100) ;; *) echo "soak: --server pulseaudio, pipewire or pipewire-44100" >&2; exit 2 ;; esac
case $driver in pulseaudio|pipewire) ;; *) echo "soak: --driver pulseaudio or pipewire" >&2; exit 2 ;; esac
[ "$driver" = pulseaudio ] || [ "$server" != pulseaudio ] || { echo "soak: --driver pipewire needs a PipeWire --server" >&2; exit 2; }
export SOUND_SERVER=$server

# A screen of 640x480: the full-screen show fills it, and the software
# rasteriser's fill rate keeps up at that size.
screen=${SOAK_SCREEN:-640x480x24}

if [ -n "${SOAK_WORK:-}" ]; then  # inside the X server
  work=$SOAK_WORK
  source "$ROOT/tests/shell/window_manager.sh"
  start_window_manager
  SDL_AUDIODRIVER=$driver GALLIUM_HUD=fps GALLIUM_HUD_VISIBLE=false GALLIUM_HUD_DUMP_DIR="$work" "$build/bin/drmorvel-endless" </dev/null \
    >"$work/show.out" 2>"$work/show.err" &
  show=$!
  start=$(date +%s)
  for m in $(seq "$minutes"); do
    sleep $((start + 60 * m - $(date +%s)))
    kill -0 "$show" 2>/dev/null || { echo "soak: the show ended after $((m - 1)) minutes" >&2; exit 1; }
    # Resident memory, and its parts: anonymous (the heap), mapped files,
    # shared memory (the sound server's and the X server's pools).
    read -r rss anon file shmem < <(awk '$1 == "VmRSS:" { r = $2 } $1 == "RssAnon:" { a = $2 }
      $1 == "RssFile:" { f = $2 } $1 == "RssShmem:" { s = $2 } END { print r, a, f, s }' "/proc/$show/status")
    echo "$m $rss $anon $file $shmem" >>"$work/rss"
    echo "minute $m: rss $rss KiB (anonymous $anon, files $file, shared $shmem)" >&2
  done
  # What the sink has received so far is all played by the show; what
  # follows its ending is not compared.
  source "$ROOT/tests/package/sound_server.sh"
  sound_record_file=$work/heard.raw sound_record_bytes >"$work/heard_bytes"
  kill -TERM "$show"
  status=0
  wait "$show" || status=$?
  kill "$wm_pid" 2>/dev/null || true
  [ "$status" -eq 0 ] || { echo "soak: the show ended with status $status" >&2; tail -n 20 "$work/show.err" >&2; exit 1; }
  exit 0
fi

ensure_packages "${PACKAGES[@]}" "${SOUND_PACKAGES[@]}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$build" -DDRMORVEL_DATA_DIR="$build/data/" >/dev/null
fi
cmake --build "$build" -j "$JOBS" --target drmorvel-endless drmorvel-modrender >/dev/null

source "$ROOT/tests/package/sound_server.sh"
work=$(mktemp -d)
# SOAK_KEEP=1 keeps the recording, the rendering and the logs for a look.
if [ -n "${SOAK_KEEP:-}" ]; then
  trap 'sound_server_stop; echo "soak: files kept in $work" >&2' EXIT
else
  trap 'sound_server_stop; rm -rf "$work"' EXIT
fi
# The server logs every underrun of the show's stream (its buffer ran dry
# before the show refilled it): PulseAudio at debug level, PipeWire at
# information level.
SOUND_SERVER_VERBOSE=1 sound_server_start "$work"
sound_record_start "$work/heard.raw"
python3 "$ROOT/tests/package/stall_probe.py" $((60 * minutes + 120)) >"$work/stalls" &
probe=$!
SOAK_WORK=$work xvfb-run -a -s "-screen 0 $screen" "$0" --minutes "$minutes" --server "$server" --driver "$driver" "$build"
sound_record_stop
kill -TERM "$probe" && wait "$probe"

"$build/bin/drmorvel-modrender" --seconds $((60 * minutes + 60)) "$build/testdata-endless/zurivovariv.mod" \
  "$work/ref.wav" >/dev/null
# Mesa's heads-up display, not drawn, writes one frame rate per half second.
fps=$(sort -n "$work/fps" 2>/dev/null | awk '
  { v[NR] = $1; s += $1 }
  END { if (NR) printf "%.1f frames per second (half seconds: min %.1f, median %.1f, max %.1f)", s / NR, v[1], v[int((NR + 1) / 2)], v[NR]; else print "not reported" }')
echo "frame rate: $fps"
echo "times the server found the show's stream run dry: $(sound_server_dropouts "$work")"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "resident memory over the minutes: $(awk '{ print $2 }' "$work/rss" | sort -n | sed -n '1p;$p' | paste -sd' ') KiB (lowest, highest)"
echo "a real-time thread's wake-ups on this machine: $(cat "$work/stalls")"
growth=$(awk 'NR == 1 { first = $2 } { last = $2 } END { print last - first }' "$work/rss")
echo "sound server: $server, SDL's $driver driver, recorded at $(sound_record_rate) Hz"
if [ "$(sound_record_rate)" = 44100 ]; then
  gaps=$(python3 "$ROOT/tests/package/audio_gaps.py" --bytes "$(cat "$work/heard_bytes")" "$work/heard.raw" "$work/ref.wav")
else
  gaps=$(/usr/bin/python3 "$ROOT/tests/package/audio_windows.py" --rate "$(sound_record_rate)" \
    --bytes "$(cat "$work/heard_bytes")" "$work/heard.raw" "$work/ref.wav")
fi
echo "rss_growth_kib=$growth gaps=$gaps"
