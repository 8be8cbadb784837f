# Sourced by the end-to-end tests and the installed-package test: an X
# server of the test's own (Xvfb), on a display that no other server on the
# machine holds, in this root or any other.
#
#   x_server_start SCREEN DIR   starts Xvfb with one SCREEN (320x240x24),
#                               its log in DIR/xvfb.err; sets x_server_pid and
#                               x_server_display (":N") once clients can
#                               connect, or says why not on standard error
#                               and returns 1 (within 30 s)
#   x_server_stop               ends it, if one was started, and waits for it
#
# The server picks its display itself (-displayfd): the first one whose
# sockets it can take. What makes that choice safe is Linux's abstract
# socket of the display's name, which the server listens on beside its
# socket file in /tmp: the kernel gives a name to one server at a time,
# across every root on the machine, so a second server moves on to the next
# display. The socket file is no guard: a starting server removes the file
# it finds, and -displayfd writes no lock file, so two servers without
# abstract sockets both took :0 and the first one's clients could not
# connect to it any more. Nor are the lock files that xvfb-run -a goes by:
# they are in this root's /tmp alone.
#
# No reset (-noreset): by default the server resets once its last client
# has left, and a client that connects meanwhile is dropped. The keys test
# starts its second show the moment the first one has left; that show could
# not open the display (2 runs in 28 beside the capture tests), and SDL, with
# no driver named, went on without a window on its offscreen driver.
#
# No cookie to hand around (-ac): the server takes local connections only.

x_server_start() {
  local screen=$1 dir=$2 deadline=$((SECONDS + 30))
  x_server_display=
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset -ac 3>"$dir/display" 2>"$dir/xvfb.err" &
  x_server_pid=$!
  until x_server_display=$(head -n 1 "$dir/display") && [ -n "$x_server_display" ]; do
    if ! kill -0 "$x_server_pid" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
      x_server_stop
      echo "the X server did not start: $(tail -n 3 "$dir/xvfb.err")" >&2
      return 1
    fi
    sleep 0.1
  done
  x_server_display=:$x_server_display
}

x_server_stop() {
  [ -n "${x_server_pid:-}" ] || return 0
  kill "$x_server_pid" 2>/dev/null
  wait "$x_server_pid" 2>/dev/null
  x_server_pid=
}
