#!/usr/bin/env bash
# Builds everything and runs every test tier: unit (native, fake platform),
# win32 (the real platform layer under Wine) and e2e (the real exe on a
# virtual display). Ends with one line "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh || { echo "dependency installation failed"; exit 1; }

jobs=$(nproc 2>/dev/null || echo 2)
export GLANCE_WINE_ROOT=${GLANCE_WINE_ROOT:-$PWD/build/wine-tests}
export GLANCE_ARTIFACTS=$PWD/build/mingw/artifacts
# A fresh, isolated Wine home and prefix for every run.
rm -rf "$GLANCE_WINE_ROOT"

passed=0
failed=0
skipped=0
tally() {  # reads ctest's summary line from its log
  local line
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$1" | tail -1)
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  local f t
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  local s
  s=$(grep -c "(Skipped)" "$1" || true)
  passed=$((passed + t - f - s))
  failed=$((failed + f))
  skipped=$((skipped + s))
}

set -e
# Every #include points down the layers.
bash scripts/check-layers.sh
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"
set +e

ctest --preset host -j "$jobs" 2>&1 | tee build/host-ctest.log
tally build/host-ctest.log

# The unit tier under AddressSanitizer and UndefinedBehaviorSanitizer, then
# every fuzz target for a short fixed time, at a low priority beside the Wine
# tiers (which mostly wait): each in its own build folder and log.
rm -f build/host-sanitize-ctest.log build/fuzz-ctest.log
(
  set -e
  cmake --preset host-sanitize >/dev/null
  nice -n 15 cmake --build --preset host-sanitize -j "$jobs" >build/host-sanitize-build.log 2>&1
  nice -n 15 ctest --preset host-sanitize -j "$jobs" >build/host-sanitize-ctest.log 2>&1
  echo "sanitizer tier: built and run in ${SECONDS}s from the start" >>build/host-sanitize-ctest.log
) &
sanitize_pid=$!
(
  set -e
  cmake --preset fuzz >/dev/null
  nice -n 15 cmake --build --preset fuzz -j "$jobs" >build/fuzz-build.log 2>&1
  nice -n 15 ctest --preset fuzz -V >build/fuzz-ctest.log 2>&1
  echo "fuzz tier: built and run in ${SECONDS}s from the start" >>build/fuzz-ctest.log
) &
fuzz_pid=$!

source scripts/wine-env.sh
# Wine's processes and the Xvfb end with the run, even an interrupted one
# (GLANCE_KEEP_WINE=1 keeps them).
trap glance_wine_end EXIT
ctest --preset mingw 2>&1 | tee build/mingw-ctest.log
tally build/mingw-ctest.log
echo "Wine tiers done ${SECONDS}s from the start"

wait "$sanitize_pid" || tail -30 build/host-sanitize-build.log
grep -hE "tests passed|Failed|runtime error|Sanitizer|sanitizer tier" build/host-sanitize-ctest.log 2>/dev/null
tally build/host-sanitize-ctest.log
wait "$fuzz_pid" || tail -30 build/fuzz-build.log
grep -hE "executions|invariant broken|ERROR|tests passed|fuzz tier" build/fuzz-ctest.log 2>/dev/null
tally build/fuzz-ctest.log

echo "Artifacts (screenshots): $GLANCE_ARTIFACTS"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
