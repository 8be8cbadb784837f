#!/usr/bin/env bash
# End-to-end runs of the real show in a real window under Xvfb (software
# OpenGL), with keys, window closing and resizes injected from outside.
#
#   e2e.sh CASE BINDIR TEST_MODULE
#
# BINDIR holds drmorvel-testdata (fast test data set: the song passes 1920
# after 12.6 s; one picture missing, one not a JPEG, one truncated, one
# grayscale), drmorvel-endless (a song that never passes 1920, so only the
# viewer ends the show), drmorvel-nodata (no data directory at all),
# drmorvel-modrender, close-window and cursor-state. TEST_MODULE is the fast test module.
# Exit status 77 means skipped (no Xvfb or xdotool here).
set -uo pipefail

case_name=$1
bin=$2
module=$3
caption="Dr Morvel by Quenlo"
menu=$'Select your sound device:\n0 - None\n1 - 8-bit 22kHz\n2 - 16-bit 44kHz'

fail() {
  echo "FAIL ($case_name): $*" >&2
  [ "${E2E_INNER:-}" = 1 ] && explain >&2
  exit 1
}

# What a failure inside the X server leaves to go on: whether the show still
# runs or how it exited, what it wrote on standard error, the windows the X
# server holds and how busy the machine was.
explain() {
  if [ -n "${show_pid:-}" ]; then
    if kill -0 "$show_pid" 2>/dev/null; then
      echo "the show (process $show_pid, started ${show_started}s into the test) is still running"
    else
      wait "$show_pid"
      echo "the show (started ${show_started}s into the test) exited with status $?"
    fi
  fi
  if [ -n "${show_pid:-}${show_status:-}" ]; then
    echo "its standard error:"
    sed 's/^/  /' "$work/err"
  fi
  echo "after ${SECONDS}s, the windows on $DISPLAY:"
  xwininfo -root -tree 2>&1 | sed 's/^/  /'
  echo "load average: $(cut -d ' ' -f 1-3 /proc/loadavg)"
}

# ---- inside the X server -------------------------------------------------

# The show's window, once it exists: searched again until it is found, for up
# to 30 seconds, since a search fails outright when a window it walks past
# goes away meanwhile (the window manager's own, or one of the show's while
# it starts). A show that has exited has none to find. The last search's
# complaints are kept for a failure to show.
find_window() {
  local wid deadline=$((SECONDS + 30))
  while [ "$SECONDS" -lt "$deadline" ] && kill -0 "$show_pid" 2>/dev/null; do
    wid=$(xdotool search --name "$caption" 2>"$work/search.err" | head -n 1)
    [ -n "$wid" ] && echo "$wid" && return 0
    sleep 0.1
  done
}

# Fails unless the show's window was found.
expect_window() {
  [ -n "$1" ] && return 0
  [ -s "$work/search.err" ] && echo "the last search for the window said: $(cat "$work/search.err")" >&2
  fail "no window named \"$caption\" $((SECONDS - show_started))s after the show started"
}

window_size() {
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(WIDTH|HEIGHT)=')"
  echo "${WIDTH}x${HEIGHT}"
}

# Waits until a command prints the wanted text, for up to 20 seconds by the
# clock rather than a number of tries (a loaded machine makes every try
# slower); fails with what the command printed last.
#   wait_for WHAT WANT COMMAND...
wait_for() {
  local what=$1 want=$2 got deadline=$((SECONDS + 20))
  shift 2
  while :; do
    got=$("$@")
    [ "$got" = "$want" ] && return 0
    [ "$SECONDS" -lt "$deadline" ] || fail "$what is $got, expected $want (line ${BASH_LINENO[1]})"
    sleep 0.1
  done
}

# The X server and the window manager apply changes asynchronously.
expect_size() {
  wait_for window "$2" window_size "$1"
}

# Starts the program in the background: timeout inside the X server, so
# the program never outlives it.
start_show() {
  timeout 60 "$bin/$1" -w >"$work/out" 2>"$work/err" &
  show_pid=$!
  show_started=$SECONDS
  show_status=
}

finish_show() {
  wait "$show_pid"
  status=$?
  show_pid= show_status=$status
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
  [ "$(cat "$work/out")" = "$menu" ] || fail "standard output is not the menu alone: $(cat "$work/out")"
}

# The cursor that the show's window itself shows, once the pointer is over
# it: cursor-state reads "elsewhere" while the window is still being mapped or
# the window manager's frame or another window is in the way.
expect_cursor() {
  wait_for "the cursor" "$2" "$bin/cursor-state" "$1"
}

still_running() {
  kill -0 "$show_pid" 2>/dev/null || fail "the show ended early"
}

inner() {
  case "$case_name" in
    menu_and_end)
      # No audio output: the show plays silently, paced by its timer, and
      # ends by itself once the song has passed 1920.
      export SDL_AUDIODRIVER=no-such-driver
      start_show drmorvel-testdata
      finish_show 0
      for name in tekstit.jpg 70skugga.jpg morvelite.jpg; do
        [ "$(grep -c "$name" "$work/err")" -eq 1 ] || fail "expected one line about $name"
      done
      for name in funkka.jpg funker.jpg tahti.jpg miehet.jpg; do
        ! grep -q "$name" "$work/err" || fail "unexpected line about $name"
      done
      ;;
    no_module)
      start_show drmorvel-nodata
      wait "$show_pid"
      status=$?
      show_pid= show_status=$status
      [ "$status" -eq 1 ] || fail "exit status $status, expected 1"
      [ ! -s "$work/out" ] || fail "something was printed: $(cat "$work/out")"
      [ "$(grep -c 'zurivovariv.mod' "$work/err")" -eq 1 ] || fail "no single line about the module"
      grep 'zurivovariv.mod' "$work/err" | grep -q 'No such file or directory' || fail "no reason given"
      ;;
    keys_quit)
      export SDL_AUDIODRIVER=dummy
      for key in q Escape; do
        start_show drmorvel-endless
        wid=$(find_window)
        expect_window "$wid"
        # Held down, the key does nothing; released, it ends the show.
        xdotool keydown --window "$wid" "$key"
        sleep 1
        still_running
        xdotool keyup --window "$wid" "$key"
        finish_show 0
      done
      ;;
    close_window)
      export SDL_AUDIODRIVER=dummy
      start_show drmorvel-endless
      wid=$(find_window)
      expect_window "$wid"
      "$bin/close-window" "$wid" || fail "could not ask the window to close"
      finish_show 0
      ;;
    fullscreen_toggle)
      # Full screen on X11 is the window manager's work, so one runs here.
      # The screen is larger than the window: the sizes tell the modes apart.
      export SDL_AUDIODRIVER=dummy
      source "$(dirname "$0")/window_manager.sh"
      start_window_manager
      start_show drmorvel-endless
      wid=$(find_window)
      expect_window "$wid"
      expect_size "$wid" 1024x768
      # Hidden from the start, in a window too; shown only in the window
      # that F brings back.
      expect_cursor "$wid" hidden
      xdotool key --window "$wid" f
      expect_size "$wid" 1280x1024
      expect_cursor "$wid" hidden
      xdotool key --window "$wid" f
      expect_size "$wid" 1024x768
      expect_cursor "$wid" shown
      xdotool key --window "$wid" f
      expect_size "$wid" 1280x1024
      expect_cursor "$wid" hidden
      xdotool key --window "$wid" f
      expect_size "$wid" 1024x768
      # A resize from outside, then the show goes on drawing.
      xdotool windowsize "$wid" 640 360
      expect_size "$wid" 640x360
      sleep 0.5
      still_running
      xdotool key --window "$wid" q
      finish_show 0
      kill "$wm_pid" 2>/dev/null
      ;;
    audio_bytes)
      # The disk driver writes exactly what the audio callback produced
      # (1 ms per buffer instead of real time), after whole buffers of
      # silence written while the output was still paused.
      export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/show.raw" SDL_DISKAUDIODELAY=1
      start_show drmorvel-testdata
      finish_show 0
      ;;
    *) fail "unknown case" ;;
  esac
}

# ---- outside -------------------------------------------------------------

compare_audio() {
  "$bin/drmorvel-modrender" --seconds 40 "$module" "$work/ref.wav" || fail "modrender failed"
  local show_size ref_size=$(($(stat -c %s "$work/ref.wav") - 44)) offset=0 length
  show_size=$(stat -c %s "$work/show.raw")
  # 630 ticks of 882 samples of 2 bytes: the song cannot pass 1920 sooner.
  local at_least=$((630 * 882 * 2))
  while [ $((offset + at_least)) -le "$show_size" ]; do
    length=$((show_size - offset))
    [ "$length" -gt "$ref_size" ] && length=$ref_size
    if cmp -s -n "$length" -i "$offset:44" "$work/show.raw" "$work/ref.wav"; then
      echo "audio: $length bytes after $offset bytes of silence match the offline rendering"
      return 0
    fi
    cmp -s -n 4096 -i "$offset:0" "$work/show.raw" /dev/zero ||
      fail "the sound differs from the offline rendering (after $offset bytes of silence)"
    offset=$((offset + 4096))
  done
  fail "too little sound: $show_size bytes"
}

if [ "${E2E_INNER:-}" = 1 ]; then
  work=$4
  inner
  exit 0
fi

# Runs COMMAND inside an X server of the test's own, on a SCREEN. The server
# picks its display itself (-displayfd), one that no other server holds.
# xvfb-run -a guesses a free display from the lock files in /tmp instead, and
# with another build's suite running its X servers beside this one, a show
# once drew its window on another server than the one the test then searched
# (the show ran on, the test's server held no window at all).
#   run_in_x SCREEN COMMAND...
run_in_x() {
  local screen=$1 display= deadline=$((SECONDS + 30)) xvfb status
  shift
  # Local connections only, and no cookie to hand around.
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -ac 3>"$work/display" 2>"$work/xvfb.err" &
  xvfb=$!
  until display=$(head -n 1 "$work/display") && [ -n "$display" ]; do
    if ! kill -0 "$xvfb" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
      kill "$xvfb" 2>/dev/null
      echo "FAIL ($case_name): the X server did not start: $(tail -n 3 "$work/xvfb.err")" >&2
      return 1
    fi
    sleep 0.1
  done
  DISPLAY=:$display E2E_INNER=1 "$@"
  status=$?
  kill "$xvfb"
  wait "$xvfb"
  return $status
}

for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
screen=1024x768x24
if [ "$case_name" = fullscreen_toggle ]; then
  screen=1280x1024x24
  command -v openbox >/dev/null 2>&1 || { echo "skipped: openbox is not installed"; exit 77; }
fi
run_in_x "$screen" "$0" "$case_name" "$bin" "$module" "$work" || exit $?
[ "$case_name" = audio_bytes ] && compare_audio
exit 0
