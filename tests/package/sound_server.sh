# A private PulseAudio server with one null sink, as a desktop's sound
# server but headless, and a recording of what reaches that sink. Sourced,
# not run; the package test and bench/soak.sh share it.
#
#   sound_server_start DIR    the server's runtime directory and log in DIR;
#                             exports XDG_RUNTIME_DIR; the null sink
#                             "show" is the only and so the default sink
#   sound_record_start FILE   raw 16-bit mono 44100 Hz from the sink's monitor
#   sound_record_stop
#   sound_server_stop
#   sound_server_dropouts     how often the server found the client's stream
#                             run dry and then refilled (needs
#                             SOUND_SERVER_VERBOSE=1 at the start)

sound_server_start() {
  local dir=$1
  mkdir -p "$dir/runtime" && chmod 700 "$dir/runtime" || return 1
  export XDG_RUNTIME_DIR=$dir/runtime
  # No per-user configuration, daemon.conf or autospawn: only what is named.
  export PULSE_CONFIG_PATH=$dir/runtime PULSE_STATE_PATH=$dir/runtime
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target="file:$dir/pulseaudio.log" \
    ${SOUND_SERVER_VERBOSE:+--log-level=debug --log-time=1} --load=module-native-protocol-unix --load="module-null-sink sink_name=show" || {
    echo "pulseaudio did not start: $(tail -n 5 "$dir/pulseaudio.log" 2>/dev/null)" >&2
    return 1
  }
  local _
  for _ in $(seq 50); do
    pactl list short sinks 2>/dev/null | grep -q '^[0-9]*[[:space:]]show[[:space:]]' && return 0
    sleep 0.1
  done
  echo "pulseaudio has no sink named show" >&2
  return 1
}

# Returns once the recording stream is connected, so nothing played after
# it is missed.
sound_record_start() {
  parec -d show.monitor --format=s16le --channels=1 --rate=44100 --raw >"$1" &
  sound_record_pid=$!
  local _
  for _ in $(seq 100); do
    [ -n "$(pactl list short source-outputs 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  echo "parec did not connect to the sink's monitor" >&2
  return 1
}

sound_record_stop() {
  [ -n "${sound_record_pid:-}" ] || return 0
  kill "$sound_record_pid" 2>/dev/null
  wait "$sound_record_pid" 2>/dev/null
  sound_record_pid=
}

sound_server_stop() {
  sound_record_stop
  pulseaudio --kill 2>/dev/null
  local _
  for _ in $(seq 50); do
    pulseaudio --check 2>/dev/null || return 0
    sleep 0.1
  done
}

# An underrun followed by the end of that underrun: the stream ran dry while
# playing and went on. The stream's start (an end without an underrun) and
# its last underrun when the client stops feeding it are not counted.
sound_server_dropouts() {
  awk '/Implicit underrun of/ { pending = 1 } /end of underrun/ && pending { n++; pending = 0 }
       END { print n + 0 }' "$1/pulseaudio.log"
}
