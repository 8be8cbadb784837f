# Sourced by the end-to-end tests, the installed-package test and the soak,
# which need a window manager under Xvfb (full screen on X11 is its work).
#
#   start_window_manager   starts openbox on $DISPLAY, sets wm_pid, and waits
#                          up to 5 s until it has taken the screen

start_window_manager() {
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  local _
  for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
}
