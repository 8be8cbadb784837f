# A private sound server with one null sink, as a desktop's sound server
# but headless, and a recording of what reaches that sink. Sourced, not
# run; the package test and bench/soak.sh share it.
#
# SOUND_SERVER picks the server:
#   pulseaudio      PulseAudio (the default)
#   pipewire        PipeWire with its session manager (WirePlumber) and its
#                   PulseAudio service, as Debian 12's GNOME desktop runs
#                   them: the graph runs at 48000 Hz and resamples the
#                   show's 44100 Hz stream
#   pipewire-44100  the same, the graph allowed to run at 44100 Hz too: it
#                   takes the rate of the first stream, so nothing is
#                   resampled
# Both are reached through the PulseAudio protocol (pactl, parec); PipeWire
# also through its own, which SDL's pipewire driver speaks.
#
#   sound_server_start DIR    the server's runtime directory, configuration
#                             and logs in DIR; exports XDG_RUNTIME_DIR; the
#                             null sink "show" is the default sink
#   sound_record_start FILE   raw 16-bit mono from the sink, at
#                             sound_record_rate Hz: PulseAudio's monitor
#                             downmixed (PulseAudio averages the stereo
#                             sink's two channels, which the mono stream
#                             filled alike), PipeWire's left channel (its
#                             channel mixer folds left and right into mono
#                             at -3 dB each: 3 dB louder than the stream)
#   sound_record_bytes        the bytes of it recorded so far
#   sound_record_stop
#   sound_server_stop
#   sound_server_dropouts DIR how often the server found the client's stream
#                             run dry and then refilled (needs
#                             SOUND_SERVER_VERBOSE=1 at the start)
#   sound_stream_watch BINARY SECONDS
#                             what the server reports of BINARY's stream
#                             (showing within SECONDS) once it has gone

sound_server_kind() {
  case ${SOUND_SERVER:-pulseaudio} in
    pulseaudio) echo pulseaudio ;;
    pipewire|pipewire-44100) echo pipewire ;;
    *) echo "unknown SOUND_SERVER ${SOUND_SERVER}: pulseaudio, pipewire or pipewire-44100" >&2; return 1 ;;
  esac
}

# What a recording of the sink carries per second: the graph's rate.
sound_record_rate() {
  [ "${SOUND_SERVER:-pulseaudio}" = pipewire ] && echo 48000 || echo 44100
}

sound_server_start() {
  local dir=$1 kind
  kind=$(sound_server_kind) || return 1
  mkdir -p "$dir/runtime" && chmod 700 "$dir/runtime" || return 1
  export XDG_RUNTIME_DIR=$dir/runtime
  "${kind}_start" "$dir" || return 1
  if ! pactl load-module module-null-sink sink_name=show >/dev/null || ! pactl set-default-sink show; then
    echo "$kind: no null sink" >&2
    return 1
  fi
  local _
  for _ in $(seq 50); do
    pactl list short sinks 2>/dev/null | grep -q '^[0-9]*[[:space:]]show[[:space:]]' &&
      [ "$(pactl get-default-sink 2>/dev/null)" = show ] && return 0
    sleep 0.1
  done
  echo "$kind has no default sink named show" >&2
  return 1
}

pulseaudio_start() {
  local dir=$1
  # No per-user configuration, daemon.conf or autospawn: only what is named.
  export PULSE_CONFIG_PATH=$dir/runtime PULSE_STATE_PATH=$dir/runtime
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target="file:$dir/pulseaudio.log" \
    ${SOUND_SERVER_VERBOSE:+--log-level=debug --log-time=1} --load=module-native-protocol-unix || {
    echo "pulseaudio did not start: $(tail -n 5 "$dir/pulseaudio.log" 2>/dev/null)" >&2
    return 1
  }
}

# The three servers as a desktop session starts them, but by hand: no
# system or user service, no per-user configuration or state (their own
# directories under DIR), and a session bus of their own, which WirePlumber
# asks for. Information-level logs name every dropout.
pipewire_start() {
  local dir=$1
  export XDG_CONFIG_HOME=$dir/config XDG_STATE_HOME=$dir/state
  unset PIPEWIRE_REMOTE PULSE_SERVER
  mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d" "$XDG_STATE_HOME" || return 1
  if [ "$SOUND_SERVER" = pipewire-44100 ]; then
    printf '%s\n' 'context.properties = {' '    default.clock.allowed-rates = [ 44100 48000 ]' '}' \
      >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/rates.conf"
  fi
  local level=${SOUND_SERVER_VERBOSE:+3}
  PIPEWIRE_DEBUG=${level:-2} pipewire >"$dir/pipewire.log" 2>&1 &
  pipewire_pids=($!)
  local _
  for _ in $(seq 50); do
    [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break
    sleep 0.1
  done
  [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] || { echo "pipewire did not start: $(tail -n 5 "$dir/pipewire.log")" >&2; return 1; }
  # The session manager's process id, not the bus runner's: ending it ends
  # the bus too.
  dbus-run-session -- sh -c 'echo $$ >"$1"; exec wireplumber' _ "$dir/wireplumber.pid" >"$dir/wireplumber.log" 2>&1 &
  PIPEWIRE_DEBUG=${level:-2} pipewire-pulse >"$dir/pipewire-pulse.log" 2>&1 &
  pipewire_pids+=($!)
  for _ in $(seq 100); do
    [ -s "$dir/wireplumber.pid" ] && pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  [ -s "$dir/wireplumber.pid" ] && pipewire_pids+=("$(cat "$dir/wireplumber.pid")")
  pactl info 2>/dev/null | grep -q 'on PipeWire' || {
    echo "pipewire-pulse did not start: $(tail -n 5 "$dir/pipewire-pulse.log")" >&2
    return 1
  }
  # WirePlumber links streams to the sink: without it nothing plays.
  for _ in $(seq 50); do
    pw-cli ls Client 2>/dev/null | grep -q 'application.name = "WirePlumber"' && return 0
    sleep 0.1
  done
  echo "wireplumber did not start: $(tail -n 5 "$dir/wireplumber.log")" >&2
  return 1
}

# Returns once the recording stream is connected, so nothing played after
# it is missed. From PipeWire the stereo recording goes to FILE.stereo, and
# its left channel to FILE when the recording stops.
sound_record_start() {
  local rate
  rate=$(sound_record_rate)
  sound_record_file=$1
  if [ "$(sound_server_kind)" = pulseaudio ]; then
    parec -d show.monitor --format=s16le --channels=1 --rate="$rate" --raw >"$1" &
  else
    # PipeWire's PulseAudio service hands a recording stream its data in
    # pieces of 2 s unless asked for less: the last piece would be lost when
    # the recording stops.
    parec -d show.monitor --format=s16le --channels=2 --rate="$rate" --latency-msec=20 --raw >"$1.stereo" &
  fi
  sound_record_pid=$!
  local _
  for _ in $(seq 100); do
    [ -n "$(pactl list short source-outputs 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  echo "parec did not connect to the sink's monitor" >&2
  return 1
}

# The bytes of 16-bit mono recorded so far.
sound_record_bytes() {
  if [ "$(sound_server_kind)" = pulseaudio ]; then
    stat -c %s "$sound_record_file"
  else
    echo $(($(stat -c %s "$sound_record_file.stereo") / 4 * 2))
  fi
}

sound_record_stop() {
  [ -n "${sound_record_pid:-}" ] || return 0
  kill "$sound_record_pid" 2>/dev/null
  wait "$sound_record_pid" 2>/dev/null
  sound_record_pid=
  [ "$(sound_server_kind)" = pulseaudio ] && return 0
  python3 -c '
import sys
stereo = open(sys.argv[1], "rb").read()
# Every other 16-bit sample: a copy, not a list of them (a 30-minute
# soak records 86 million frames).
left = memoryview(stereo[: len(stereo) - len(stereo) % 4]).cast("H")[::2]
open(sys.argv[2], "wb").write(left.tobytes())' \
    "$sound_record_file.stereo" "$sound_record_file" && rm -f "$sound_record_file.stereo"
}

sound_server_stop() {
  sound_record_stop
  if [ "$(sound_server_kind)" = pulseaudio ]; then
    pulseaudio --kill 2>/dev/null
    local _
    for _ in $(seq 50); do
      pulseaudio --check 2>/dev/null || return 0
      sleep 0.1
    done
    return 0
  fi
  local pid
  for pid in $(printf '%s\n' "${pipewire_pids[@]}" | tac); do
    kill "$pid" 2>/dev/null
  done
  local _
  for pid in "${pipewire_pids[@]}"; do
    # The session manager is no child of this shell: wait fails at once.
    wait "$pid" 2>/dev/null
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
  done
  pipewire_pids=()
}

# What the server reports of the playing stream of the program BINARY,
# printed once the stream has gone (tests/package/stream_watch.py): the
# protocol it came through and the most sound the server holds of it.
sound_stream_watch() {
  python3 "$(dirname "${BASH_SOURCE[0]}")/stream_watch.py" "$(sound_server_kind)" "$1" "$2"
}

# An underrun followed by the end of that underrun: the stream ran dry while
# playing and went on. The stream's start (an end without an underrun) and
# its last underrun when the client stops feeding it are not counted.
# PipeWire: a stream through its PulseAudio service ran dry (an underflow
# told to the client), or a client of the graph, the show through SDL's
# pipewire driver, missed its cycle ("client too slow!" from PipeWire 0.3,
# an xrun of the client's node from PipeWire 1.x). Each is counted only
# while the stream plays: not in its first half second (PipeWire 1.x logs
# an xrun as a node starts), nor in the half second before its client went
# away (a stream that is closed or drained may run dry first). A line that
# repeats within a short while PipeWire 1.x logs once, then how many it
# left out ("(N suppressed)"): the count is of dropouts apart in time,
# which is enough to tell a machine that starved the stream.
sound_server_dropouts() {
  if [ "$(sound_server_kind)" = pulseaudio ]; then
    awk '/Implicit underrun of/ { pending = 1 } /end of underrun/ && pending { n++; pending = 0 }
         END { print n + 0 }' "$1/pulseaudio.log"
    return
  fi
  cat "$1/pipewire-pulse.log" "$1/pipewire.log" | awk '
    # Seconds of the line'"'"'s time stamp: [I][00884.672784] (PipeWire 0.3,
    # since the start) or [I][05:13:49.220033] (1.x, the time of day).
    function stamp(  t, n, parts) {
      t = $1
      sub(/^\[[A-Z]\]\[/, "", t)
      sub(/\]$/, "", t)
      n = split(t, parts, ":")
      return n == 3 ? parts[1] * 3600 + parts[2] * 60 + parts[3] : t + 0
    }
    function seen(who) { if (!(who in start)) start[who] = stamp() }
    # A node of the graph: (name-id).
    match($0, /\) [a-z]/) {
      for (i = 1; i <= NF; i++) if ($i ~ /^\(.*\)$/) { seen($i); node = $i; break }
      if ($0 ~ /\) destroy$/) end[node] = stamp()
      if ($0 ~ /client too slow!/ || $0 ~ /\) xrun /) at[++events] = stamp() SUBSEP node
    }
    # A client of the PulseAudio service: [name].
    /mod\.protocol-pulse/ {
      for (i = 1; i <= NF; i++) if ($i ~ /^\[.*\]:?$/ && $i !~ /^\[I\]/) {
        who = $i
        sub(/:$/, "", who)
        seen(who)
        if ($0 ~ /\] disconnected/) end[who] = stamp()
        if ($0 ~ /UNDERFLOW channel:/) at[++events] = stamp() SUBSEP who
        break
      }
    }
    END {
      for (e = 1; e <= events; e++) {
        split(at[e], parts, SUBSEP)
        t = parts[1]
        who = parts[2]
        if (t > start[who] + 0.5 && (!(who in end) || t < end[who] - 0.5)) n++
      }
      print n + 0
    }'
}
