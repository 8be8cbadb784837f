#!/usr/bin/env bash
# The package as a desktop user meets it: installed with apt-get, started
# exactly as its desktop entry's Exec line says (desktop full screen, here
# on a small X screen under a window manager, standard input /dev/null),
# heard through a private sound server with a null sink
# (tests/package/sound_server.sh). The show must play to its end and exit
# 0, and the sink must have received drmorvel-modrender's rendering of the
# installed module, from the first sound to the show's end: exactly, sample
# for sample, where the server runs at the show's 44100 Hz; where a
# PipeWire graph at 48000 Hz resamples it, with no gap, repeat or skip and
# at the rendering's level (audio_windows.py). The package is removed and
# the server stopped afterwards. Where the server reports that the show's
# stream ran dry (a busy machine that did not run the show's audio thread
# in time), the play is tried again, three times in all; when every attempt
# ran dry the test is skipped, saying so.
#
#   play_installed.sh DEB_DIR BINDIR WORK [SERVER [DRIVER]]
#
# DEB_DIR holds the one package to install; BINDIR drmorvel-modrender.
# SERVER: pulseaudio (default), pipewire (its graph at 48000 Hz, as on a
# desktop) or pipewire-44100 (allowed to run at 44100 Hz). DRIVER: the SDL
# audio driver, pulseaudio or pipewire, checked against the protocol the
# stream came through; desktop (default): none named, SDL picks as on a
# desktop.
# Exit status 77: skipped (not root, drmorvel already installed here, or a
# machine too busy to feed the sound server in time).
set -uo pipefail
debdir=$1 bin=$2 work=$3 server=${4:-pulseaudio} driver=${5:-desktop}
here=$(cd "$(dirname "$0")" && pwd)
entry=/usr/share/applications/drmorvel.desktop
module=/usr/share/drmorvel-by-quenlo/data/zurivovariv.mod
last_position=1920  # the show ends once the song has passed it
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [ "${PLAY_INNER:-}" = 1 ]; then  # inside the X server
  source "$here/../shell/window_manager.sh"
  start_window_manager
  # Field codes (%f, %u, ...) stand for what a launcher passes: nothing here.
  exec_line=$(sed -n 's/^Exec=//p' "$entry" | sed 's/%[a-zA-Z]//g')
  read -r -a command <<<"$exec_line"
  status=0
  [ "$driver" = desktop ] || export SDL_AUDIODRIVER=$driver
  timeout 400 "${command[@]}" </dev/null >"$work/show.out" 2>"$work/show.err" || status=$?
  echo "$status" >"$work/status"
  kill "$wm_pid" 2>/dev/null
  exit 0
fi

[ "$(id -u)" -eq 0 ] || { echo "skipped: installing the package needs root"; exit 77; }
if dpkg-query -W -f='${Status}' drmorvel 2>/dev/null | grep -q 'install ok installed'; then
  echo "skipped: drmorvel is installed here, and this test installs and removes its own"
  exit 77
fi
case $server in
  pulseaudio) tools=(pulseaudio) ;;
  pipewire|pipewire-44100) tools=(pipewire pipewire-pulse wireplumber dbus-run-session pw-cli pw-dump) ;;
  *) fail "unknown sound server $server" ;;
esac
case $driver in
  pulseaudio|desktop) ;;
  pipewire) [ "$server" != pulseaudio ] || fail "SDL's pipewire driver needs a PipeWire server" ;;
  *) fail "unknown SDL audio driver $driver" ;;
esac
for tool in xvfb-run openbox xprop pactl parec python3 "${tools[@]}"; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/test installs it)"
done
export SOUND_SERVER=$server
source "$here/sound_server.sh"
if [ "$(sound_record_rate)" != 44100 ]; then
  /usr/bin/python3 -c 'import numpy' 2>/dev/null || fail "python3-numpy is not installed (scripts/test installs it)"
fi
debs=("$debdir"/drmorvel_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in $debdir, got: ${debs[*]}"
deb=$(readlink -f "${debs[0]}")

rm -rf "$work" && mkdir -p "$work" || exit 1
cleanup() {
  sound_server_stop 2>/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 purge -y -q drmorvel \
    >"$work/remove.log" 2>&1 || echo "could not remove drmorvel: $(tail -n 5 "$work/remove.log")" >&2
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends \
  "$deb" >"$work/install.log" 2>&1 || fail "apt-get install failed: $(tail -n 20 "$work/install.log")"
[ -f "$entry" ] || fail "no desktop entry at $entry"

# The song's sound until the tick that takes it past its last position:
# what the show must have played before it ended.
"$bin/drmorvel-modrender" --seconds 200 --timeline "$work/timeline" "$module" "$work/ref.wav" ||
  fail "modrender failed"
end_tick=$(awk -v last=$last_position '$2 > last { print $1; exit }' "$work/timeline")
[ -n "$end_tick" ] || fail "the rendered song never passes $last_position"
until=$(( (end_tick - 1) * 882 ))

# One play through a fresh server. Returns 0 when the show played to its
# end and the sink heard exactly the rendering, 1 on a fault of the show,
# 2 when the server reports that the show's stream ran dry: the machine
# did not run the show's audio thread in time (the stall probe says how
# late it woke a real-time thread), which says nothing of the show.
play_once() {
  local attempt=$1 status faults underruns protocol=
  rm -rf "$work/play" && mkdir -p "$work/play"
  SOUND_SERVER_VERBOSE=1 sound_server_start "$work/play" || fail "no sound server"
  sound_record_start "$work/play/heard.raw" || fail "no recording"
  python3 "$here/stall_probe.py" 600 >"$work/play/stalls" &
  local probe=$! watch=
  if [ "$server" != pulseaudio ]; then
    sound_stream_protocol drmorvel 60 >"$work/play/protocol" &
    watch=$!
  fi
  # A small screen: the show fills it, and software rendering keeps up.
  PLAY_INNER=1 xvfb-run -a -s "-screen 0 320x240x24" "$0" "$debdir" "$bin" "$work/play" "$server" "$driver" ||
    fail "xvfb-run failed"
  sleep 1  # the last sound the server took reaches the recording
  kill -TERM "$probe" && wait "$probe"
  if [ -n "$watch" ]; then
    wait "$watch"
    protocol=$(cat "$work/play/protocol")
    heard_protocol=$protocol
  fi
  sound_server_stop

  status=$(cat "$work/play/status")
  [ "$status" = 0 ] || fail "exit status $status: $(tail -n 20 "$work/play/show.err")"
  grep -q -F 'Select your sound device:' "$work/play/show.out" || fail "the show did not print its menu"
  case $driver:$protocol in
    pulseaudio:pulseaudio|pipewire:pipewire|desktop:*|*:) ;;
    *) fail "SDL's $driver driver was asked for, but the stream came through the $protocol protocol" ;;
  esac
  if [ "$(sound_record_rate)" = 44100 ]; then
    faults=$(python3 "$here/audio_gaps.py" --until "$until" "$work/play/heard.raw" "$work/ref.wav" 2>"$work/play/faults")
  else
    faults=$(/usr/bin/python3 "$here/audio_windows.py" --rate "$(sound_record_rate)" --until "$until" \
      "$work/play/heard.raw" "$work/ref.wav" 2>"$work/play/faults")
  fi || fail "the comparison failed: $(cat "$work/play/faults")"
  [ "$faults" = 0 ] && return 0
  underruns=$(sound_server_dropouts "$work/play")
  echo "attempt $attempt: the sound heard differs from the rendering ($faults faults):" >&2
  cat "$work/play/faults" >&2
  echo "the server found the show's stream run dry $underruns times; machine: $(cat "$work/play/stalls")" >&2
  [ "$underruns" -gt 0 ] && return 2
  return 1
}

for attempt in 1 2 3; do
  play_once $attempt
  case $? in
    0) if [ "$(sound_record_rate)" = 44100 ]; then
         heard="exactly as rendered"
       else
         heard="without a gap, repeat or skip at $(sound_record_rate) Hz ($(tail -n 1 "$work/play/faults"))"
       fi
       echo "ok: $(basename "$deb") played to its end through $server" \
         "(stream through the ${heard_protocol:-pulseaudio} protocol, SDL driver: $driver);" \
         "$(( until / 44100 )) s of sound heard $heard (attempt $attempt; machine: $(cat "$work/play/stalls"))"
       exit 0 ;;
    1) fail "the show's sound is wrong" ;;
  esac
done
# Every fault was a dropout the server saw, and the show exited 0 each time:
# the machine, not the show, kept the sound from being checked.
echo "skipped: the server found the show's stream run dry in every attempt (its buffer holds 46 ms);" \
  "this machine is too busy to check the sound sample for sample"
exit 77
