#!/usr/bin/env bash
# The real program under Wine, switched on, with a quiet desktop of 100 and of
# 10,000 items:
#   - its CPU per hour (the process plus the wineserver, from /proc/<pid>/stat
#     over a measured window) beside the floor, an empty window with a 1 s
#     timer that does nothing (bench/idle_floor.gui.cpp), measured in the same
#     run, the same way;
#   - the latency from a file created on either desktop to the broadcast
#     (SHChangeNotify in Wine's shell trace), p50 and p95.
# A benchmark, not a test: it prints figures and takes about six minutes.
#   BENCH_WINDOW  seconds of each CPU window (default 60)
#   BENCH_FILES   files created per desktop size for the latency (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
window=${BENCH_WINDOW:-60}
files=${BENCH_FILES:-20}
exe=$PWD/build/mingw/dist/GlanceRefresher.exe
floor=$PWD/build/mingw/bench/bench_idle_floor.exe
[ -f "$exe" ] && [ -f "$floor" ] || { echo "build GlanceRefresher and bench_idle_floor first (bench/run.sh)"; exit 1; }

export GLANCE_WINE_ROOT=${GLANCE_WINE_ROOT:-$PWD/build/wine-bench}
# shellcheck source=../scripts/wine-env.sh
source scripts/wine-env.sh
# process_cpu_ticks, wineserver_pid, kill_pid, wait_for
# shellcheck source=../tests/e2e/lib.sh
source tests/e2e/lib.sh
E2E_NAME=bench
logs=$GLANCE_WINE_ROOT/bench-logs
mkdir -p "$logs"

settings='HKCU\Software\VB and VBA Program Settings\Quillhaven\Lumenfold Live Shell Glance Refresher Utility'
wine reg add "$settings" /v StartStopState /d On /f >/dev/null 2>&1
wine reg delete "$settings" /v Minimized /f >/dev/null 2>&1 || true
user_desktop=$HOME/Desktop
public_desktop=$WINEPREFIX/drive_c/users/Public/Desktop
mkdir -p "$user_desktop" "$public_desktop"
ticks_per_second=$(getconf CLK_TCK)

running=
cleanup() { [ -n "$running" ] && kill_pid "$running"; true; }
trap cleanup EXIT

# A desktop of n items: nine in ten on the user's desktop (a tenth of them
# folders), the rest on the shared one.
populate() {
    local n=$1 user=$(($1 - $1 / 10))
    find "$user_desktop" "$public_desktop" -mindepth 1 -delete
    (cd "$user_desktop" && seq 1 $((user - user / 10)) | sed 's/.*/download-&.pdf/' | xargs -r touch)
    (cd "$user_desktop" && seq 1 $((user / 10)) | sed 's/.*/folder-&/' | xargs -r mkdir)
    (cd "$public_desktop" && seq 1 $((n / 10)) | sed 's/.*/shared-&.lnk/' | xargs -r touch)
}

# start <log> <command...>: starts a Windows program, leaves its pid in $running,
# and lets it settle with the pointer in a corner of the screen, off its
# window. (Xvfb puts the pointer back in the middle of the screen whenever its
# last client leaves, which is where the program's window opens; and under
# Wine a pointer resting on a push button polls the pointer a hundred times a
# second, which is no part of what is measured here.)
start() {
    local log=$1
    shift
    "$@" >"$log" 2>&1 </dev/null &
    running=$!
    sleep 3
    xdotool mousemove 1270 1010
    sleep 5
}
stop() {
    kill_pid "$running"
    running=
}

# cpu <label>: CPU of $running and of the wineserver over the window, printed
# as seconds per hour; the total is left in $cpu_total.
cpu() {
    local server p0 s0 p1 s1 t0 t1
    server=$(wineserver_pid)
    t0=$(date +%s.%N) p0=$(process_cpu_ticks "$running") s0=$(process_cpu_ticks "$server")
    sleep "$window"
    t1=$(date +%s.%N) p1=$(process_cpu_ticks "$running") s1=$(process_cpu_ticks "$server")
    read -r process serverh cpu_total < <(awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v hz="$ticks_per_second" \
        -v t0="$t0" -v t1="$t1" 'BEGIN { f = 3600 / hz / (t1 - t0); printf "%.1f %.1f %.1f\n", p * f, s * f, (p + s) * f }')
    printf '%-38s %8s %11s %10s' "$1" "$process" "$serverh" "$cpu_total"
}

echo "== idle: CPU seconds per hour, process + wineserver, ${window} s windows"
printf '%-38s %8s %11s %10s\n' "" process wineserver total
# The floor before and after the program, and their mean as the floor: the
# wineserver's own background drifts over a run.
floor_run() {
    populate 100
    start "$logs/floor.log" wine "$floor"
    cpu "floor: empty window, 1 s timer"
    echo
    stop
}
floor_run
floor_before=$cpu_total
declare -A program
for n in 100 10000; do
    populate "$n"
    start "$logs/idle-$n.log" wine "$exe"
    cpu "GlanceRefresher, On, $n items"
    echo
    program[$n]=$cpu_total
    stop
done
floor_run
floor_mean=$(awk -v a="$floor_before" -v b="$cpu_total" 'BEGIN { printf "%.1f", (a + b) / 2 }')
for n in 100 10000; do
    awk -v p="${program[$n]}" -v f="$floor_mean" -v n="$n" \
        'BEGIN { printf "%6s items: %5.1f s/h against a floor of %.1f s/h: %.2fx\n", n, p, f, p / f }'
done

echo "== latency: a file created on a desktop -> the broadcast, $files files per size"
for n in 100 10000; do
    populate "$n"
    log=$logs/latency-$n.log
    WINEDEBUG=trace+shell start "$log" wine "$exe"
    python3 - "$log" "$user_desktop" "$public_desktop" "$files" "$n" <<'EOF'
import math, os, sys, time

log, user, public, count, items = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
token = b"SHChangeNotify (0x08000000,0x00000000,00000000,00000000)"
trace = open(log, "rb")
seen = b""

def broadcasts():
    global seen
    seen += trace.read()
    return seen.count(token)

latencies = {"user": [], "shared": []}
for i in range(count):
    where = "user" if i % 2 == 0 else "shared"
    # Well over a second after the last broadcast: the one-a-second rule
    # must not be what is measured.
    time.sleep(1.3)
    before = broadcasts()
    path = os.path.join(user if where == "user" else public, "latency-%d.pdf" % i)
    start = time.monotonic()
    open(path, "wb").close()
    while broadcasts() == before:
        if time.monotonic() - start > 5:
            break
        time.sleep(0.001)
    latencies[where].append(time.monotonic() - start)

def rank(values, p):
    values = sorted(values)
    return values[max(0, math.ceil(p * len(values)) - 1)]

everything = latencies["user"] + latencies["shared"]
row = "%6s items: p50 %.3f s  p95 %.3f s  max %.3f s" % (
    items, rank(everything, 0.5), rank(everything, 0.95), max(everything))
row += "   (user p50 %.3f p95 %.3f; shared p50 %.3f p95 %.3f)" % (
    rank(latencies["user"], 0.5), rank(latencies["user"], 0.95),
    rank(latencies["shared"], 0.5), rank(latencies["shared"], 0.95))
print(row)
EOF
    stop
done
populate 0
