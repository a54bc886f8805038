#!/usr/bin/env bash
# The real program's footprint beside an empty window (bench/idle_floor.gui.cpp),
# measured the same way in the same run under Wine: the exe's size, the time
# from start to a visible window (median of BENCH_RUNS, default 7), and the
# resident memory (VmRSS, and RssAnon: the process's own pages) with the
# window visible and then minimized (the program hides in the notification
# area). BENCH_EXE measures another build of the exe (an older one, say).
# A benchmark, not a test: it prints figures and takes about three minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${BENCH_RUNS:-7}
exe=${BENCH_EXE:-$PWD/build/mingw/dist/GlanceRefresher.exe}
floor=$PWD/build/mingw/bench/bench_idle_floor.exe
[ -f "$exe" ] && [ -f "$floor" ] || { echo "build GlanceRefresher and bench_idle_floor first"; exit 1; }

export GLANCE_WINE_ROOT=${GLANCE_WINE_ROOT:-$PWD/build/wine-bench}
# shellcheck source=../scripts/wine-env.sh
source scripts/wine-env.sh
# kill_pid, wait_for
# shellcheck source=../tests/e2e/lib.sh
source tests/e2e/lib.sh
settings='HKCU\Software\VB and VBA Program Settings\Quillhaven\Lumenfold Live Shell Glance Refresher Utility'
wine reg add "$settings" /v StartStopState /d On /f >/dev/null 2>&1
wine reg delete "$settings" /v Minimized /f >/dev/null 2>&1 || true

running=
trap '[ -n "$running" ] && kill_pid "$running"; true' EXIT
rss() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status" 2>/dev/null; }

# visible <exe>: prints "<ms to a visible window> <resident KB> <own KB>".
visible() {
    local t0 t1 deadline=$((SECONDS + 60))
    sleep 3  # Wine is still tidying up after the process before
    t0=$(date +%s%N)
    wine "$1" >/dev/null 2>&1 </dev/null &
    running=$!
    until [ -n "$(timeout 5 xdotool search --onlyvisible --pid "$running" 2>/dev/null)" ]; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "no window from $1" >&2; exit 1; }
        sleep 0.005
    done
    t1=$(date +%s%N)
    xdotool mousemove 1270 1010
    sleep 3
    echo "$(((t1 - t0) / 1000000)) $(rss "$running" VmRSS) $(rss "$running" RssAnon)"
    kill_pid "$running"
    running=
}
# hidden <exe>: prints "<resident KB> <own KB>" of a start minimized: the
# program in the notification area (its Minimized setting), the empty
# window iconic (start /min). Without a window manager, Wine cannot minimize
# a shown window from outside.
hidden() {
    wine reg add "$settings" /v Minimized /d On /f >/dev/null 2>&1
    sleep 3
    wine start /min /unix "$1" >/dev/null 2>&1 </dev/null
    sleep 4
    # The process whose command line is the exe's own Windows path.
    running=$(pgrep -af "$(basename "$1")" | grep -F " $(winepath -w "$1")" | awk '{ print $1 }' | tail -1)
    echo "$(rss "$running" VmRSS) $(rss "$running" RssAnon)"
    kill_pid "$running"
    running=
    wine reg delete "$settings" /v Minimized /f >/dev/null 2>&1
}
measure() { echo "$(visible "$1") $(hidden "$1")"; }

# Each program once unmeasured (the prefix and the disk cache warm up), then
# alternately, so that a drift of the machine falls on both.
rm -f "$GLANCE_WINE_ROOT"/size-*.txt
visible "$floor" >/dev/null
visible "$exe" >/dev/null
for _ in $(seq "$runs"); do
    measure "$floor" >>"$GLANCE_WINE_ROOT/size-floor.txt"
    measure "$exe" >>"$GLANCE_WINE_ROOT/size-exe.txt"
done
wineserver -k >/dev/null 2>&1 || true

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf '%-26s %12s %12s %7s\n' "" GlanceRefresher "empty window" ratio
row() {  # row <label> <column> <unit>
    local p f
    p=$(awk -v c="$2" '{ print $c }' "$GLANCE_WINE_ROOT/size-exe.txt" | median)
    f=$(awk -v c="$2" '{ print $c }' "$GLANCE_WINE_ROOT/size-floor.txt" | median)
    printf '%-26s %9s %-2s %9s %-2s %6.2fx\n' "$1" "$p" "$3" "$f" "$3" "$(awk -v p="$p" -v f="$f" 'BEGIN { print p / f }')"
}
size() { echo $(($(stat -c %s "$1") / 1024)); }
printf '%-26s %9s KB %9s KB %6.2fx\n' "exe size" "$(size "$exe")" "$(size "$floor")" \
    "$(awk -v p="$(stat -c %s "$exe")" -v f="$(stat -c %s "$floor")" 'BEGIN { print p / f }')"
row "start to visible" 1 ms
row "resident, visible" 2 KB
row "own pages, visible" 3 KB
row "resident, minimized" 4 KB
row "own pages, minimized" 5 KB
rm -f "$GLANCE_WINE_ROOT"/size-*.txt
