#!/usr/bin/env bash
# The show as a desktop user meets it, heard through a private sound server
# with a null sink (tests/package/sound_server.sh): the package installed
# with apt-get and started exactly as its desktop entry's Exec line says
# (desktop full screen, here on a small X screen under a window manager,
# standard input /dev/null), or the short test show started the same way.
# The show must play to its end and exit 0, and the sink must have received
# drmorvel-modrender's rendering of the show's module from the first sound
# on: exactly, sample for sample, where the server runs at the show's 44100
# Hz; where a PipeWire graph at 48000 Hz resamples it, with no gap, repeat or
# skip and at the rendering's level (audio_windows.py).
#
# The show closes its sound at once when it ends, so what was in flight then
# never reaches the sink: up to one SDL buffer of 2048 frames that the show
# had mixed but not yet handed over, and what the server held of the stream
# (stream_watch.py: what the server reports of it while it played). The
# sound must reach that close to the start of the tick that ended the show,
# and no closer is asked, wherever in a buffer the end fell.
#
# Where the server logs that the show's stream ran dry (a busy machine that
# did not run the show's audio thread in time), the test show is played once
# more (at 44100 Hz only: see below); when that too runs dry the test is
# skipped, saying so. The package
# is removed and the server stopped afterwards.
#
#   play_installed.sh DEB_DIR BINDIR WORK [SERVER [DRIVER]]
#   play_installed.sh --test-show MODULE BINDIR WORK [SERVER [DRIVER]]
#
# DEB_DIR holds the one package to install; BINDIR drmorvel-modrender and
# drmorvel-testdata, whose module is MODULE. SERVER: pulseaudio (default),
# pipewire (its graph at 48000 Hz, as on a desktop) or pipewire-44100
# (allowed to run at 44100 Hz). DRIVER: the SDL audio driver, pulseaudio or
# pipewire, checked against the protocol the stream came through; desktop
# (default): none named, SDL picks as on a desktop.
# Exit status 77: skipped (not root or drmorvel already installed here, for
# the package; a machine too busy to feed the sound server in time).
set -uo pipefail
if [ "$1" = --test-show ]; then
  debdir= test_module=$2
  shift 2
else
  debdir=$1
  shift
fi
bin=$1 work=$2 server=${3:-pulseaudio} driver=${4:-desktop}
here=$(cd "$(dirname "$0")" && pwd)
entry=/usr/share/applications/drmorvel.desktop
installed_module=/usr/share/drmorvel-by-quenlo/data/zurivovariv.mod
last_position=1920  # the show ends once the song has passed it
sdl_buffer=2048     # frames the show asks SDL to mix at a time
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [ "${PLAY_INNER:-}" = 1 ]; then  # inside the X server
  source "$here/../shell/window_manager.sh"
  start_window_manager
  # The installed desktop entry's Exec line; field codes (%f, %u, ...)
  # stand for what a launcher passes: nothing here. The test show with no
  # arguments, as that line starts the installed one.
  if [ -n "${PLAY_PROGRAM:-}" ]; then
    command=("$PLAY_PROGRAM")
  else
    exec_line=$(sed -n 's/^Exec=//p' "$entry" | sed 's/%[a-zA-Z]//g')
    read -r -a command <<<"$exec_line"
  fi
  status=0
  [ "$driver" = desktop ] || export SDL_AUDIODRIVER=$driver
  # A desktop's GPU draws the frames; here Mesa's software renderer does,
  # as fast as it can (Xvfb has no vertical sync), with a thread for every
  # core: the show took 150 % of the two cores, and the sound server and
  # SDL's audio thread, at normal priority, were now and then too late for
  # a server buffer of 35 ms (PipeWire at 48000 Hz). One rendering thread
  # leaves them a core (the show took 94 %).
  export LP_NUM_THREADS=1
  timeout 400 "${command[@]}" </dev/null >"$work/show.out" 2>"$work/show.err" || status=$?
  echo "$status" >"$work/status"
  kill "$wm_pid" 2>/dev/null
  exit 0
fi

if [ -n "$debdir" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "skipped: installing the package needs root"; exit 77; }
  if dpkg-query -W -f='${Status}' drmorvel 2>/dev/null | grep -q 'install ok installed'; then
    echo "skipped: drmorvel is installed here, and this test installs and removes its own"
    exit 77
  fi
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
for tool in Xvfb openbox xprop pactl parec python3 "${tools[@]}"; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/test installs it)"
done
export SOUND_SERVER=$server
source "$here/sound_server.sh"
source "$here/../shell/x_server.sh"
rate=$(sound_record_rate)
if [ "$rate" != 44100 ]; then
  /usr/bin/python3 -c 'import numpy' 2>/dev/null || fail "python3-numpy is not installed (scripts/test installs it)"
fi
[ -x "$bin/drmorvel-testdata" ] && [ -f "${test_module:-$bin/../testdata/zurivovariv.mod}" ] ||
  fail "no test show in $bin"
test_module=${test_module:-$bin/../testdata/zurivovariv.mod}

rm -rf "$work" && mkdir -p "$work" || exit 1
if [ -n "$debdir" ]; then
  debs=("$debdir"/drmorvel_*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in $debdir, got: ${debs[*]}"
  deb=$(readlink -f "${debs[0]}")
  cleanup() {
    x_server_stop
    sound_server_stop 2>/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 purge -y -q drmorvel \
      >"$work/remove.log" 2>&1 || echo "could not remove drmorvel: $(tail -n 5 "$work/remove.log")" >&2
  }
  trap cleanup EXIT
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends \
    "$deb" >"$work/install.log" 2>&1 || fail "apt-get install failed: $(tail -n 20 "$work/install.log")"
  [ -f "$entry" ] || fail "no desktop entry at $entry"
  show=$(basename "$deb")
else
  trap 'x_server_stop; sound_server_stop 2>/dev/null' EXIT
  show="the test show"
fi

# The song's sound until the start of the tick that takes it past its last
# position, the tick that ends the show: what the show must have played by
# then. Sets until (a sample of ref.wav) for the module, rendered to DIR.
render() {
  local module=$1 dir=$2 end_tick
  mkdir -p "$dir"
  "$bin/drmorvel-modrender" --seconds 200 --timeline "$dir/timeline" "$module" "$dir/ref.wav" >/dev/null ||
    fail "modrender failed"
  end_tick=$(awk -v last=$last_position '$2 > last { print $1; exit }' "$dir/timeline")
  [ -n "$end_tick" ] || fail "the rendered song never passes $last_position"
  echo $(((end_tick - 1) * 882))
}

# One play of PROGRAM (none: the installed package as its desktop entry
# starts it; its module rendered in REFDIR, to sample UNTIL) through a fresh
# server. Returns 0 when the show played to its end and the
# sink heard the rendering, 1 on a fault of the show, 2 when the server
# reports that the show's stream ran dry: the machine did not run the
# show's audio thread in time (the stall probe says how late it woke a
# real-time thread), which says nothing of the show; 3 when the sink heard
# the rendering but SDL 3 ended the show with 1 as it closed the window
# (below). Leaves in $verdict what was heard and what the stream reported.
play_once() {
  local program=$1 refdir=$2 until=$3 status faults underruns protocol latency slack sdl sdl_close_fault
  local play=$work/play
  rm -rf "$play" && mkdir -p "$play"
  SOUND_SERVER_VERBOSE=1 sound_server_start "$play" || fail "no sound server"
  sound_record_start "$play/heard.raw" || fail "no recording"
  python3 "$here/stall_probe.py" 600 >"$play/stalls" &
  local probe=$!
  sound_stream_watch "$(basename "${program:-drmorvel}")" 120 >"$play/stream" &
  local watch=$!
  # A small screen: the show fills it, and software rendering keeps up.
  x_server_start 320x240x24 "$play" 2>"$play/x_server.err" || fail "$(cat "$play/x_server.err")"
  DISPLAY=$x_server_display PLAY_INNER=1 PLAY_PROGRAM=$program "$0" "$debdir" "$bin" "$play" "$server" "$driver" ||
    fail "the play inside the X server failed"
  x_server_stop
  sleep 1  # the last sound the server took reaches the recording
  kill -TERM "$probe" && wait "$probe"
  wait "$watch"
  sound_server_stop

  status=$(cat "$play/status")
  sdl=$(sed -n 's/.* sdl=\([0-9?]*\) .*/\1/p' "$play/stream")
  # SDL 3 before its fix of September 2026 (Debian 13 has 3.2.10) may end
  # the program as it closes a full-screen window under a window manager:
  # it asks for the coordinates of the window's frame, which the window
  # manager may have destroyed already, and Xlib's default handler exits
  # with 1 on the error (SDL issue 16240). Seen in 1 of the first 3 whole
  # shows on sdl2-compat, after the show had played to its end. The sound is
  # still checked; the test is then skipped, naming SDL's fault.
  sdl_close_fault=no
  if [ "$status" = 1 ] && [ "$sdl" = 3 ] &&
    grep -q -F 'BadWindow (invalid Window parameter)' "$play/show.err" &&
    grep -q -F '40 (X_TranslateCoords)' "$play/show.err"; then
    sdl_close_fault=yes
  else
    [ "$status" = 0 ] || fail "exit status $status: $(tail -n 20 "$play/show.err")"
  fi
  grep -q -F 'Select your sound device:' "$play/show.out" || fail "the show did not print its menu"
  protocol=$(sed -n 's/^protocol=\([a-z]*\) .*/\1/p' "$play/stream")
  latency=$(sed -n 's/.* latency_frames=\([0-9]*\) .*/\1/p' "$play/stream")
  [ -n "$latency" ] && [ "$protocol" != none ] ||
    fail "the server never showed the show's stream: $(cat "$play/stream")"
  case $driver:$protocol in
    pulseaudio:pulseaudio|pipewire:pipewire|desktop:*) ;;
    *) fail "SDL's $driver driver was asked for, but the stream came through the $protocol protocol" ;;
  esac
  # What may be lost at the end: the buffer the show had not handed over,
  # and what the server held of the stream (frames at the show's rate). On
  # SDL 3 (sdl2-compat) the show's buffers pass through an audio stream of
  # SDL 3's on their way to the device, which holds up to one more.
  buffers=1
  [ "$sdl" = 3 ] && buffers=2
  slack=$((buffers * sdl_buffer + latency))
  if [ "$rate" = 44100 ]; then
    faults=$(python3 "$here/audio_gaps.py" --until "$until" --slack "$slack" "$play/heard.raw" "$refdir/ref.wav" \
      2>"$play/faults")
  else
    faults=$(/usr/bin/python3 "$here/audio_windows.py" --rate "$rate" --until "$until" --slack "$slack" \
      "$play/heard.raw" "$refdir/ref.wav" 2>"$play/faults")
  fi || fail "the comparison failed: $(cat "$play/faults")"
  underruns=$(sound_server_dropouts "$play")
  verdict="SDL $sdl, stream through the $protocol protocol ($(sed -n 's/.* format="\(.*\)"$/\1/p' "$play/stream"))"
  verdict+=", SDL driver: $driver; $(tail -n 1 "$play/faults"):"
  verdict+=" $buffers SDL buffer(s) of $sdl_buffer frames + the server's $latency"
  verdict+=" ($(sed -n 's/.* latency="\([^"]*\)".*/\1/p' "$play/stream")); machine: $(cat "$play/stalls")"
  if [ "$faults" = 0 ]; then
    [ "$sdl_close_fault" = yes ] && return 3
    return 0
  fi
  echo "the sound heard differs from the rendering ($faults faults):" >&2
  cat "$play/faults" >&2
  echo "the server found the show's stream run dry $underruns times; $verdict" >&2
  [ "$underruns" -gt 0 ] && return 2
  return 1
}

# After play_once returned 3: SHOW's sound was right, SDL 3's exit was not.
skip_sdl_close_fault() {
  echo "skipped: $1 played to its end through $server and its sound was heard $heard, but SDL 3" \
    "then ended it with 1 (X error BadWindow in X_TranslateCoords as it closed the full-screen window:" \
    "SDL issue 16240, mended after SDL 3.2) ($verdict)"
  exit 77
}

if [ "$rate" = 44100 ]; then
  heard="exactly as rendered"
else
  heard="without a gap, repeat or skip at $rate Hz"
fi
if [ -n "$debdir" ]; then
  until=$(render "$installed_module" "$work/installed") || exit 1
  play_once "" "$work/installed" "$until"
  case $? in
    0) echo "ok: $show played to its end through $server; $((until / 44100)) s of sound heard $heard ($verdict)"
       exit 0 ;;
    1) fail "the show's sound is wrong" ;;
    3) skip_sdl_close_fault "$show" ;;
  esac
  if [ "$rate" != 44100 ]; then
    # The test song starts at full loudness at once, which a graph at
    # another rate does not resample faithfully at first (docs/testing.md):
    # no short play can stand in for the whole show there.
    echo "skipped: the server found the show's stream run dry (its buffer holds 46 ms);" \
      "this machine is too busy to check the sound window by window"
    exit 77
  fi
  echo "the whole show ran dry on a busy machine: the test show is played once more" >&2
fi
until=$(render "$test_module" "$work/test-show") || exit 1
for attempt in 1 2; do
  [ -n "$debdir" ] && [ "$attempt" = 2 ] && break
  play_once "$(readlink -f "$bin/drmorvel-testdata")" "$work/test-show" "$until"
  case $? in
    0) [ -n "$debdir" ] && echo "ok: $show played to its end through $server, but its stream ran dry on" \
         "a busy machine; its sound was checked on the test show:"
       echo "ok: the test show played to its end through $server; $((until / 44100)) s of sound heard $heard" \
         "($verdict)"
       exit 0 ;;
    1) fail "the show's sound is wrong" ;;
    3) skip_sdl_close_fault "the test show" ;;
  esac
  [ "$attempt" = 1 ] && [ -z "$debdir" ] && echo "the test show ran dry on a busy machine: it is played once more" >&2
done
# Every fault was a dropout the server saw, and the show exited 0 each time:
# the machine, not the show, kept the sound from being checked.
echo "skipped: the server found the show's stream run dry in both plays (the show's buffer holds 46 ms);" \
  "this machine is too busy to check the sound sample for sample"
exit 77
