#!/usr/bin/env bash
# Start-up against its floor: starts the viewer and sdl_start_floor in turns
# under one Xvfb (640x480 at 24 bits) and prints each start's time to its
# first presented frame, both medians and their ratio. The viewer reports
# its time with CORVANE_SDL_STATS=1 when Esc ends it.
#
#   bench/start_time.sh [BUILD_DIR] [ROUNDS]     (default build, 5)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath "${1:-$root/build}")"
rounds="${2:-5}"
viewer="$build/viewer/corvane"
floor="$build/bench/sdl_start_floor"
for program in "$viewer" "$floor"; do
  if [ ! -x "$program" ]; then
    echo "start_time: no $program (cmake --build $build --target corvane sdl_start_floor)" >&2
    exit 2
  fi
done
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null 2>&1 || { echo "start_time: $tool is missing" >&2; exit 2; }
done

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=../tools/virtual-display.sh
. "$root/tools/virtual-display.sh"
start_virtual_display "$work" start_time || exit 1

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

: >"$work/viewer" >"$work/floor"
for round in $(seq "$rounds"); do
  "$floor" | grep -o '[0-9]* ms' | cut -d' ' -f1 >>"$work/floor"
  (cd "$root/assets" && CORVANE_SDL_STATS=1 exec "$viewer" 2>"$work/stats") &
  pid=$!
  sleep 1
  xdotool key Escape
  wait "$pid"
  grep -o 'first frame [0-9]* ms' "$work/stats" | grep -o '[0-9]*' >>"$work/viewer"
  echo "round $round: viewer $(tail -n 1 "$work/viewer") ms, floor $(tail -n 1 "$work/floor") ms"
done
viewer_median="$(median <"$work/viewer")"
floor_median="$(median <"$work/floor")"
echo "median of $rounds: viewer $viewer_median ms, floor $floor_median ms," \
  "ratio $(awk -v v="$viewer_median" -v f="$floor_median" 'BEGIN {printf "%.2f", v / f}')"
