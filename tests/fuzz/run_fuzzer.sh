#!/usr/bin/env bash
# Runs one libFuzzer harness over its corpora.
#
#   run_fuzzer.sh HARNESS WORKCORPUS runs|SECONDS DICTIONARY CORPUS...
#
# WORKCORPUS (made if missing) receives the inputs that find new paths; the
# other corpora (regression inputs, seeds, the BMP suite) are only read.
# "runs" stops after a fixed number of inputs (CORVANE_FUZZ_RUNS, else the
# harness's default); a number of seconds runs that long instead. Findings
# are written beside WORKCORPUS as crash-*, leak-*, timeout-* files, and
# make the run fail.
set -euo pipefail
harness="$1" work="$2" length="$3" dictionary="$4"
shift 4
name="$(basename "$harness")"
name="${name%_fuzz}"
mkdir -p "$work" "$work.artifacts"
# Absolute paths: the viewer's harness works in a directory of its own.
work="$(realpath "$work")"
dictionary="$(realpath "$dictionary")"

corpora=()
for c in "$@"; do [ -d "$c" ] && corpora+=("$(realpath "$c")"); done

case "$name" in
  viewer) max_len=256 default_runs=2000 ;;
  bmp_blit) max_len=65536 default_runs=20000 ;;
  *) max_len=65536 default_runs=200000 ;;
esac
if [ "$length" = runs ]; then
  limit="-runs=${CORVANE_FUZZ_RUNS:-$default_runs}"
else
  limit="-max_total_time=$length"
fi
# The dictionary holds BMP header fields; the viewer's steps are plain bytes.
dict=()
[ "$name" != viewer ] && dict=("-dict=$dictionary")

export LSAN_OPTIONS="suppressions=$(dirname "$(realpath "$0")")/../robustness/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
exec "$harness" "$limit" -seed=1 -max_len="$max_len" -timeout=30 -rss_limit_mb=2560 \
  -print_final_stats=1 "${dict[@]}" -artifact_prefix="$work.artifacts/" "$work" "${corpora[@]}"
