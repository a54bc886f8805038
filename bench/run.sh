#!/usr/bin/env bash
# Builds and runs the benchmarks and prints their figures beside floors
# measured in the same run: the logic alone (native, fake platform), a full
# desktop count beside a bare listing (under Wine), and the real program
# beside an empty window (bench/program.sh). About 15 minutes.
#   BENCH_EXE, BENCH_COUNT_EXE  other builds to measure (a base to compare with)
set -euo pipefail
cd "$(dirname "$0")/.."
began=$SECONDS
bash scripts/install-deps.sh
cmake --preset host >/dev/null && cmake --build --preset host --target counter_bench >/dev/null
cmake --preset mingw >/dev/null &&
  cmake --build --preset mingw --target bench_desktop_count bench_idle_floor GlanceRefresher >/dev/null
echo "== logic alone (native, fake platform)"
build/host/counter_bench
echo "== a full count beside a bare listing (Wine)"
export GLANCE_WINE_ROOT=${GLANCE_WINE_ROOT:-$PWD/build/wine-bench}
source scripts/wine-env.sh
# The folders made here, as the bench expects them: far faster than file by
# file through Wine. Nine in ten items on the user's desktop, a tenth of
# those folders; the rest on the shared one.
count_dir=$WINEPREFIX/drive_c/glance-count-bench
for n in 1000 10000 100000; do
  user=$((n - n / 10))
  [ -d "$count_dir/user$n" ] && continue
  mkdir -p "$count_dir/user$n" "$count_dir/common$n"
  (cd "$count_dir/user$n" && seq 0 $((user - user / 10 - 1)) | sed 's/.*/download-&.pdf/' | xargs touch)
  (cd "$count_dir/user$n" && seq 0 $((user / 10 - 1)) | sed 's/.*/folder-&/' | xargs mkdir)
  (cd "$count_dir/common$n" && seq 0 $((n / 10 - 1)) | sed 's/.*/download-&.pdf/' | xargs touch)
done
wine "${BENCH_COUNT_EXE:-build/mingw/bench/bench_desktop_count.exe}" 'C:\glance-count-bench' </dev/null 2>/dev/null |
  tr -d '\r'
wineserver -k >/dev/null 2>&1 || true
bash bench/program.sh
wineserver -k >/dev/null 2>&1 || true
echo "== the whole benchmark took $((SECONDS - began)) s"
