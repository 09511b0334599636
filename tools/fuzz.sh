#!/usr/bin/env bash
# The longer fuzz run: builds the libFuzzer tree (clang, every source
# instrumented, AddressSanitizer and UndefinedBehaviorSanitizer) and runs each
# harness for a while over its corpus: the regression inputs, seeds made by
# our own tools and the shared BMP suite where it lies.
#
#   tools/fuzz.sh [SECONDS [HARNESS...]]     default: 600 seconds each, all harnesses
#
# Harnesses: bmp_decode, bmp_blit, viewer. Inputs that find new paths stay in
# build-fuzz/fuzz-corpus/HARNESS for the next run; findings land in
# build-fuzz/fuzz-corpus/HARNESS.artifacts/ (crash-*, leak-*, timeout-*).
# A finding, once fixed, belongs in tests/fuzz/regressions/HARNESS/, which
# the test command replays on every run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -eq 0 ] && harnesses=(bmp_decode bmp_blit viewer)

build="$root/build-fuzz"
jobs="${CORVANE_JOBS:-2}"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_FUZZ=ON \
  -DCORVANE_BENCH=OFF -DCORVANE_SDL_HOST=OFF >/dev/null
cmake --build "$build" --target corvane_fuzzers -j "$jobs"
"$build/tests/fuzz_seeds" "$build/fuzz-seeds" "$root/../shared/bmpsuite/g" "$root/../shared/bmpsuite/q" \
  "$root/../shared/bmpsuite/b" >/dev/null

status=0
for h in "${harnesses[@]}"; do
  corpora=("$root/tests/fuzz/regressions/$h" "$build/fuzz-seeds/$h")
  [ "$h" = bmp_decode ] && corpora+=("$root/../shared/bmpsuite/g" "$root/../shared/bmpsuite/q" "$root/../shared/bmpsuite/b")
  log="$build/fuzz-corpus/$h.log"
  mkdir -p "$build/fuzz-corpus"
  echo "fuzz: $h for $seconds seconds (log: $log)"
  if "$root/tests/fuzz/run_fuzzer.sh" "$build/tests/${h}_fuzz" "$build/fuzz-corpus/$h" "$seconds" \
      "$root/tests/fuzz/bmp.dict" "${corpora[@]}" >"$log" 2>&1; then
    echo "fuzz: $h: $(grep -h 'stat::number_of_executed_units' "$log" | tail -1 | awk '{print $2}') executions, no finding"
  else
    status=1
    echo "fuzz: $h: FINDING, see $log and $build/fuzz-corpus/$h.artifacts/"
    grep -h -m3 -E "ERROR|check failed|SUMMARY" "$log" || true
  fi
done
exit $status
