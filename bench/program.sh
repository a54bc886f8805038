#!/usr/bin/env bash
# The real program under Wine beside the floor, an empty window with a 1 s
# timer that does nothing (bench/idle_floor.gui.cpp), measured in the same run
# the same way:
#   - start to visible (launch to the window mapped) and resident memory;
#   - idle CPU per hour (the process plus the wineserver, from /proc/<pid>/stat
#     over a measured window), switched on with a quiet desktop of 100, 10,000
#     and 100,000 items, the window visible and hidden in the tray (the floor
#     shown and hidden);
#   - the latency from a file created on either desktop to the broadcast
#     (SHChangeNotify in Wine's shell trace), p50 and p95, at 100 and 10,000;
#   - a storm: one file renamed back and forth every 10 ms for a minute at
#     10,000 items: broadcasts, listings (opens of a desktop folder, seen with
#     inotify), CPU, and the time from a real change after the storm to its
#     broadcast.
# A benchmark, not a test: it prints figures and takes about 14 minutes.
#   BENCH_EXE     the program to measure (default: this tree's build)
#   BENCH_WINDOW  seconds of each idle window (default 60)
#   BENCH_FILES   files created per desktop size for the latency (default 20)
#   BENCH_STORM   seconds of the storm (default 60; figures are per storm)
set -euo pipefail
cd "$(dirname "$0")/.."
window=${BENCH_WINDOW:-60}
files=${BENCH_FILES:-20}
export BENCH_STORM=${BENCH_STORM:-60}
exe=${BENCH_EXE:-$PWD/build/mingw/dist/GlanceRefresher.exe}
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
began=$SECONDS

settings='HKCU\Software\VB and VBA Program Settings\Quillhaven\Lumenfold Live Shell Glance Refresher Utility'
wine reg add "$settings" /v StartStopState /d On /f >/dev/null 2>&1
user_desktop=$HOME/Desktop
public_desktop=$WINEPREFIX/drive_c/users/Public/Desktop
mkdir -p "$user_desktop" "$public_desktop"
ticks_per_second=$(getconf CLK_TCK)

running=
helper=
cleanup() {
    [ -n "$running" ] && kill_pid "$running"
    [ -n "$helper" ] && kill_pid "$helper"
    true
}
trap cleanup EXIT

# hidden <yes|no>: the program starts in the tray, or shows its window.
hidden() {
    if [ "$1" = yes ]; then
        wine reg add "$settings" /v Minimized /d On /f >/dev/null 2>&1
    else
        wine reg delete "$settings" /v Minimized /f >/dev/null 2>&1 || true
    fi
}

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

# cpu_begin / cpu_end: CPU of $running and of the wineserver between the two,
# as seconds per hour in $cpu_total (and $cpu_seconds, the raw seconds).
cpu_begin() {
    server=$(wineserver_pid)
    t0=$(date +%s.%N) p0=$(process_cpu_ticks "$running") s0=$(process_cpu_ticks "$server")
}
cpu_end() {
    local t1 p1 s1
    t1=$(date +%s.%N) p1=$(process_cpu_ticks "$running") s1=$(process_cpu_ticks "$server")
    read -r cpu_total cpu_seconds < <(awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v hz="$ticks_per_second" \
        -v t0="$t0" -v t1="$t1" 'BEGIN { printf "%.1f %.2f\n", (p + s) * 3600 / hz / (t1 - t0), (p + s) / hz }')
}
rss_kib() { awk '/^VmRSS/ { print $2 }' "/proc/$running/status"; }

row() { # row <label> <product> <floor> <unit>
    awk -v l="$1" -v p="$2" -v f="$3" -v u="$4" \
        'BEGIN { printf "  %-34s %9.1f %s  floor %9.1f %s  %5.2fx\n", l, p, u, f, u, (f > 0 ? p / f : 0) }'
}

echo "== start to visible and resident memory (window shown, switched on, 100 items)"
populate 100
hidden no
# launch_ms <window name regexp> <command...>: launch to the window mapped,
# in ms, left in $launched; the program stays running ($running).
launch_ms() {
    local name=$1 t0 t1
    shift
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 </dev/null &
    running=$!
    until xdotool search --onlyvisible --name "$name" >/dev/null 2>&1; do
        [ $(($(date +%s%N) - t0)) -lt 20000000000 ] || break
        # Not faster: each search walks every window, and a tighter poll
        # takes the CPU that the program needs to start.
        sleep 0.02
    done
    t1=$(date +%s%N)
    launched=$(((t1 - t0) / 1000000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Interleaved, each launch two seconds after the last one ended (Wine is
# still tidying up after a killed process), so both meet the same machine.
floor_starts=() program_starts=()
for _ in 1 2 3 4 5; do
    sleep 2
    launch_ms '^Idle floor$' wine "$floor"
    floor_starts+=("$launched")
    stop
    sleep 2
    launch_ms '^Lumenfold' wine "$exe"
    program_starts+=("$launched")
    stop
done
floor_start=$(printf '%s\n' "${floor_starts[@]}" | median)
program_start=$(printf '%s\n' "${program_starts[@]}" | median)
row "start to visible (median of 5)" "$program_start" "$floor_start" ms

echo "== idle: CPU seconds per hour, process + wineserver, ${window} s windows"
declare -A idle rss
# measure <key> <log> <command...>
measure() {
    local key=$1
    shift
    start "$@"
    cpu_begin
    sleep "$window"
    cpu_end
    idle[$key]=$cpu_total
    rss[$key]=$(rss_kib)
    stop
}
# The floor before and after the program, and their mean as the floor: the
# wineserver's own background drifts over a run.
populate 100
measure floor-shown-1 "$logs/floor.log" wine "$floor"
measure floor-hidden-1 "$logs/floor.log" wine "$floor" hidden
for n in 100 10000 100000; do
    populate "$n"
    hidden no
    measure "$n-shown" "$logs/idle-$n.log" wine "$exe"
    hidden yes
    measure "$n-hidden" "$logs/idle-$n-hidden.log" wine "$exe"
done
hidden no
populate 100
measure floor-shown-2 "$logs/floor.log" wine "$floor"
measure floor-hidden-2 "$logs/floor.log" wine "$floor" hidden
mean() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (a + b) / 2 }'; }
floor_shown=$(mean "${idle[floor-shown-1]}" "${idle[floor-shown-2]}")
floor_hidden=$(mean "${idle[floor-hidden-1]}" "${idle[floor-hidden-2]}")
echo "  floor runs (s/h): shown ${idle[floor-shown-1]} / ${idle[floor-shown-2]}," \
    "hidden ${idle[floor-hidden-1]} / ${idle[floor-hidden-2]}"
for n in 100 10000 100000; do
    row "$n items, window shown" "${idle[$n-shown]}" "$floor_shown" s/h
    row "$n items, in the tray" "${idle[$n-hidden]}" "$floor_hidden" s/h
done
echo "== resident memory (the process; 100 items)"
row "window shown" "${rss[100-shown]}" "$(mean "${rss[floor-shown-1]}" "${rss[floor-shown-2]}")" KiB
row "in the tray" "${rss[100-hidden]}" "$(mean "${rss[floor-hidden-1]}" "${rss[floor-hidden-2]}")" KiB

echo "== exe size"
row "GlanceRefresher.exe" "$(($(stat -c %s "$exe") / 1024))" "$(($(stat -c %s "$floor") / 1024))" KiB

# broadcasts_after <log> <since> <timeout>: seconds from <since> (monotonic)
# to one more broadcast in the trace than there were at <since>.
latency_py='
import math, os, sys, time
token = b"SHChangeNotify (0x08000000,0x00000000,00000000,00000000)"
class Trace:
    def __init__(self, path):
        self.f, self.seen = open(path, "rb"), b""
    def count(self):
        self.seen += self.f.read()
        return self.seen.count(token)
def wait_broadcast(trace, before, start, limit=5):
    while trace.count() == before:
        if time.monotonic() - start > limit:
            break
        time.sleep(0.001)
    return time.monotonic() - start
def rank(values, p):
    values = sorted(values)
    return values[max(0, math.ceil(p * len(values)) - 1)]
'

echo "== latency: a file created on a desktop -> the broadcast, $files files per size"
for n in 100 10000; do
    populate "$n"
    log=$logs/latency-$n.log
    WINEDEBUG=trace+shell start "$log" wine "$exe"
    python3 - "$log" "$user_desktop" "$public_desktop" "$files" "$n" <<EOF
$latency_py
log, user, public, count, items = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
trace = Trace(log)
times = []
for i in range(count):
    # Well over a second after the last broadcast: the one-a-second rule
    # must not be what is measured.
    time.sleep(1.3)
    before = trace.count()
    path = os.path.join(user if i % 2 == 0 else public, "latency-%d.pdf" % i)
    start = time.monotonic()
    open(path, "wb").close()
    times.append(wait_broadcast(trace, before, start))
print("  %6s items: p50 %.3f s  p95 %.3f s  max %.3f s" % (items, rank(times, 0.5), rank(times, 0.95), max(times)))
EOF
    stop
done

echo "== storm: a file renamed back and forth every 10 ms for a minute, 10,000 items"
# storm <label>: renames while $running runs; prints the broadcasts (in the
# trace $1), the opens of the desktop folders, and the CPU, per minute; then
# a real change and the time to its broadcast.
storm() {
    local log=$1 label=$2
    touch "$user_desktop/saved-by-rename.txt"
    sleep 2
    python3 - "$log" "$user_desktop" "$public_desktop" "$label" <<EOF
$latency_py
import ctypes, select, struct
log, user, public, label = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
libc = ctypes.CDLL(None, use_errno=True)
IN_OPEN, IN_ISDIR = 0x20, 0x40000000
fd = libc.inotify_init1(0o4000)
for d in (user, public):
    libc.inotify_add_watch(fd, d.encode(), IN_OPEN)
opens = 0
def drain():
    global opens
    while select.select([fd], [], [], 0)[0]:
        data = os.read(fd, 65536)
        at = 0
        while at < len(data):
            wd, mask, cookie, length = struct.unpack_from("iIII", data, at)
            # An open of the folder itself, not of an entry in it.
            if mask & IN_OPEN and mask & IN_ISDIR and length == 0:
                opens += 1
            at += 16 + length
trace = Trace(log)
before = trace.count()
a, b = os.path.join(user, "saved-by-rename.txt"), os.path.join(user, "saved-by-rename.tmp")
end = time.monotonic() + float(os.environ.get("BENCH_STORM", "60"))
while time.monotonic() < end:
    os.rename(a, b)
    time.sleep(0.005)
    os.rename(b, a)
    time.sleep(0.005)
    drain()
drain()
if label == "floor":
    print("  floor: %d listings a minute (nobody lists)" % opens)
    sys.exit(0)
print("  %s: %d broadcasts, %d listings a minute" % (label, trace.count() - before, opens))
time.sleep(0.2)
before = trace.count()
start = time.monotonic()
open(os.path.join(user, "after-the-storm.pdf"), "wb").close()
print("  %s: a file created after the storm broadcast after %.2f s" % (label, wait_broadcast(trace, before, start)))
EOF
    rm -f "$user_desktop/after-the-storm.pdf"
}
populate 10000
WINEDEBUG=trace+shell start "$logs/storm.log" wine "$exe"
cpu_begin
storm "$logs/storm.log" GlanceRefresher
cpu_end
storm_program=$cpu_seconds
stop
start "$logs/storm-floor.log" wine "$floor"
cpu_begin
storm "$logs/storm-floor.log" floor
cpu_end
storm_floor=$cpu_seconds
stop
row "CPU during the storm minute" "$storm_program" "$storm_floor" s
populate 0
echo "== took $((SECONDS - began)) s"
