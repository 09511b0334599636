#!/usr/bin/env bash
# Shows what the viewer does on a machine without a display: starts a virtual
# X screen (Xvfb, 640x480 at 24 bits), runs the viewer on it in assets/,
# presses a few keys with xdotool and saves a screenshot after each one.
#
#   headless-demo.sh VIEWER [FOLDER]
#
# The screenshots go to FOLDER (default ./screenshots), whose path is printed
# on stdout. The exit code is the viewer's (27 after its Esc).
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 VIEWER [FOLDER]" >&2
  exit 2
fi
viewer="$(realpath "$1")"
shots="$(realpath -m "${2:-./screenshots}")"
root="$(cd "$(dirname "$0")/.." && pwd)"

for tool in Xvfb xdotool xwininfo import; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "headless-demo: $tool is missing (packages xvfb, xdotool, x11-utils, imagemagick)" >&2
    exit 2
  fi
done
if [ ! -x "$viewer" ]; then
  echo "headless-demo: no viewer at $viewer" >&2
  exit 2
fi
mkdir -p "$shots"

work="$(mktemp -d)"
xvfb_pid=""
viewer_pid=""
cleanup() {
  [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=virtual-display.sh
. "$root/tools/virtual-display.sh"
start_virtual_display "$work" headless-demo || exit 1
echo "headless-demo: virtual display $DISPLAY" >&2

(cd "$root/assets" && exec "$viewer") &
viewer_pid=$!

# Keys sent before the window is mapped are lost: wait for it.
window=""
for _ in $(seq 200); do
  window="$(xdotool search --onlyvisible --name '^Corvane$' 2>/dev/null | head -n 1)"
  [ -n "$window" ] && break
  kill -0 "$viewer_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "headless-demo: the viewer's window did not appear" >&2
  wait "$viewer_pid"
  code=$?
  viewer_pid=""
  exit "$code"
fi

shot() {
  sleep 0.5  # a few frames for the key to show
  import -window root "$shots/$1.png" && echo "headless-demo: $shots/$1.png" >&2
}

shot 1-start
step=2
for key in KP_Add b space Escape; do
  xdotool key "$key"
  case "$key" in
    KP_Add) name=zoom-in ;;
    b) name=brighten ;;
    space) name=help ;;
    Escape) name=after-esc ;;
  esac
  shot "$step-$name"
  step=$((step + 1))
done

code=124
for _ in $(seq 100); do
  if ! kill -0 "$viewer_pid" 2>/dev/null; then
    wait "$viewer_pid"
    code=$?
    break
  fi
  sleep 0.1
done
[ "$code" = 124 ] && echo "headless-demo: the viewer did not end after Esc" >&2
viewer_pid=""
echo "$shots"
exit "$code"
