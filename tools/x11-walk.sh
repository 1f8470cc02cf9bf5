# Window steps for the scripted sessions with the desktop program on an X display (sourced by
# desktop-session.sh and windows-session.sh, which define fail). Needs xdotool.

# The newest top-level window whose title matches, waiting up to 30 seconds for it.
find_window() {
  local id=""
  for _ in $(seq 150); do
    id=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | tail -1 || true)
    [ -n "$id" ] && break
    sleep 0.2
  done
  echo "$id"
}
# Keys for one window; without a window manager it takes the input focus from us.
send_keys() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window" 2> /dev/null || true
  sleep 0.3
  xdotool key --clearmodifiers "$@"
}
# Return for a modal box, again until it has gone: a box may not have its focus at once.
close_box() {
  for _ in 1 2 3 4 5; do
    send_keys "$1" Return
    for _ in $(seq 15); do
      xdotool getwindowname "$1" > /dev/null 2>&1 || return 0
      sleep 0.2
    done
  done
  fail "the box $(xdotool getwindowname "$1" 2> /dev/null) does not close"
}
