#!/usr/bin/env bash
# The long fuzz run: builds the fuzz preset and runs every target of
# tests/fuzz (or those named) for the given seconds each, two at a time,
# each keeping what it found in build/fuzz/fuzz-work/<target>/corpus for the
# next run. Prints per target the executions, coverage and findings; a
# finding leaves its input in build/fuzz/fuzz-work/<target>/ (add it to
# tests/fuzz/corpus/<target>/ once fixed).
#   scripts/fuzz.sh [seconds per target, default 600] [target...]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
if [ ${#targets[@]} = 0 ]; then
  for f in tests/fuzz/*.fuzz.cpp; do targets+=("$(basename "$f" .fuzz.cpp)"); done
fi

cmake --preset fuzz >/dev/null && nice -n 5 cmake --build --preset fuzz -j2 >/dev/null || exit 1
failed=0
run() {
  bash tests/fuzz/run.sh "build/fuzz/tests/fuzz/fuzz_$1" "tests/fuzz/corpus/$1" "build/fuzz/fuzz-work/$1" \
    "$seconds" || return 1
}
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  run "${targets[i]}" &
  first=$!
  second=""
  if [ $((i + 1)) -lt ${#targets[@]} ]; then run "${targets[i + 1]}" & second=$!; fi
  wait $first || failed=1
  [ -z "$second" ] || wait $second || failed=1
done
exit $failed
