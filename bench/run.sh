#!/usr/bin/env bash
# Builds and runs the benchmarks and prints their figures: the logic alone
# (native, fake platform), a desktop count on the real platform (under Wine),
# and the real program's idle cost and change latency (bench/idle_latency.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset host >/dev/null && cmake --build --preset host --target counter_bench >/dev/null
cmake --preset mingw >/dev/null &&
  cmake --build --preset mingw --target bench_desktop_count bench_idle_floor GlanceRefresher >/dev/null
echo "== logic alone (native, fake platform)"
build/host/counter_bench
echo "== real platform (Wine)"
export GLANCE_WINE_ROOT=${GLANCE_WINE_ROOT:-$PWD/build/wine-bench}
source scripts/wine-env.sh
wine build/mingw/bench/bench_desktop_count.exe </dev/null 2>/dev/null | tr -d '\r'
wineserver -k >/dev/null 2>&1 || true
echo "== the real program, idle and after a change (Wine)"
bash bench/idle_latency.sh
wineserver -k >/dev/null 2>&1 || true
