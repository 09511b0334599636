# Sourced by the scripts that need an X screen of their own:
#
#   start_virtual_display WORK NAME
#
# starts Xvfb (640x480 at 24 bits) on a display it picks itself, sets
# xvfb_pid and exports DISPLAY. WORK is a folder for its files; NAME
# prefixes the error, which carries Xvfb's log, when it does not start.
start_virtual_display() {
  local work="$1" name="$2"
  # Xvfb picks a free display itself and writes its number to fd 3.
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$work/display" ]; then
    echo "$name: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
}
