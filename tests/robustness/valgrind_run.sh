#!/usr/bin/env bash
# Runs the viewer end to end under valgrind's memcheck, through the scenario
# driver on the headless host: every command key, lost surfaces, focus and
# activation changes, the picture deleted, restored and replaced, then Esc.
# Fails on any memcheck error or definite leak.
#
#   valgrind_run.sh VALGRIND SCENARIO_DRIVER INTRO.bmp WORKDIR SUPPRESSIONS
set -euo pipefail
valgrind="$1" driver="$2" intro="$3" work="$4" suppressions="$5"
rm -rf "$work"
mkdir -p "$work/out"
cp "$intro" "$work/intro.bmp"
cp "$intro" "$work/original.bmp"
cat > "$work/script.txt" <<'SCRIPT'
frame 2
key SPACE; frame
key B; key C; key D; key E; key I; key Q; key R; key T; key U; key Y; frame
key ADD 3; frame; key SUBTRACT 12; frame
key SPACE; key A; key RETURN; key OEM_PLUS; frame
activate 0; key C; activate 1; frame 2
lose; frame 3
key W; frame
delete intro.bmp; key W; frame
lose; frame 2
copy original.bmp intro.bmp; key W; frame 2
key ESCAPE
SCRIPT
cd "$work"
status=0
CORVANE_QUIET_DEBUG=1 "$valgrind" --tool=memcheck --error-exitcode=99 --leak-check=full \
  --show-leak-kinds=definite --errors-for-leak-kinds=definite --track-origins=yes \
  --suppressions="$suppressions" --log-file="$work/valgrind.log" \
  "$driver" "$work/out" "$work/script.txt" || status=$?
grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable" "$work/valgrind.log" || true
if [ "$status" -ne 27 ]; then
  echo "valgrind_run: the viewer ended with $status (27 wanted; 99 means memcheck found errors)" >&2
  cat "$work/valgrind.log" >&2
  exit 1
fi
grep -q "ERROR SUMMARY: 0 errors" "$work/valgrind.log"
