#!/usr/bin/env bash
# The counting engine on the real program under Wine, switched on, beside
# floors measured in the same run: at each desktop size (BENCH_SIZES, default
# "100 10000"; 1000000 takes a few minutes more, its million files made once in
# $GLANCE_WINE_ROOT/stash-1000000 and moved into place), start to visible
# (launch to the window mapped; floor: an empty window, bench_idle_floor), the
# longest time the window did not answer during its first count, a full
# listing (WM_NULL sent every 10 ms by bench_answer_probe; floor: the empty
# window for 3 s), the latency from a saved file to the broadcast
# (SHChangeNotify in Wine's shell trace) at random phases of the tick, p50 and
# p95 (floor: the quick check's own 0.1 s), and the CPU per change (the program
# plus the wineserver over those 20 changes, less what they cost idle over as
# long a time once the first count has ended; floor: the empty window, measured
# the same way); the resident and private memory at their peak from the end
# of the first count to the last change (floor: the first size's); idle CPU a
# minute, with the hourly listing's share (its CPU spread over its interval),
# beside the empty window's; the full listings that BENCH_SAVES saved files
# set off (half a second of CPU within a second of a save), and the CPU of an
# overflow (3000 files at once) beside one listing's. Then the diagnostic
# lines a minute with the user's desktop missing, the time from a redirect of
# a missing desktop to the broadcast, and the time to the broadcast of a file
# saved during a rename storm that never pauses.
#   BENCH_EXE    the program to measure (default: this tree's build)
#   BENCH_SIZES  desktop sizes (default "100 10000")
#   BENCH_REST   0: the desktop sizes only
#   BENCH_SAVES  files saved at each size (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${BENCH_EXE:-$PWD/build/mingw/dist/GlanceRefresher.exe}
floor=$PWD/build/mingw/bench/bench_idle_floor.exe
probe=$PWD/build/mingw/bench/bench_answer_probe.exe
export GLANCE_WINE_ROOT=${GLANCE_WINE_ROOT:-$PWD/build/wine-bench}
# shellcheck source=../scripts/wine-env.sh
source scripts/wine-env.sh
# shellcheck source=../tests/e2e/lib.sh
source tests/e2e/lib.sh
E2E_NAME=bench
logs=$GLANCE_WINE_ROOT/bench-logs
mkdir -p "$logs"
settings='HKCU\Software\VB and VBA Program Settings\Quillhaven\Lumenfold Live Shell Glance Refresher Utility'
wine reg add "$settings" /v StartStopState /d On /f >/dev/null 2>&1
wine reg delete "$settings" /v Minimized /f >/dev/null 2>&1 || true
user=$HOME/Desktop public=$WINEPREFIX/drive_c/users/Public/Desktop
stash=$GLANCE_WINE_ROOT/stash-1000000 stashed=
mkdir -p "$user" "$public"
hz=$(getconf CLK_TCK)
running=
unstash() {
    [ -n "$stashed" ] || return 0
    rm -f "$user"/saved-*.txt
    mv "$user" "$stash/user" && mv "$public" "$stash/public" && mkdir -p "$user" "$public"
    stashed=
}
trap '[ -n "$running" ] && kill_pid "$running"; unstash; mkdir -p "$user"' EXIT
populate() {
    unstash
    find "$user" "$public" -mindepth 1 -delete
    if [ "$1" = 1000000 ]; then
        [ -f "$stash/done" ] || python3 - "$stash" <<'PY'
import os, sys
for d, name, n in (("user", "download-%d.pdf", 900000), ("public", "shared-%d.lnk", 100000)):
    os.makedirs(os.path.join(sys.argv[1], d), exist_ok=True)
    for i in range(1, n + 1):
        os.close(os.open(os.path.join(sys.argv[1], d, name % i), os.O_CREAT | os.O_WRONLY, 0o644))
open(os.path.join(sys.argv[1], "done"), "w").close()
PY
        rmdir "$user" "$public" && mv "$stash/user" "$user" && mv "$stash/public" "$public"
        stashed=1
        return
    fi
    (cd "$user" && seq 1 $(($1 - $1 / 10)) | sed 's/.*/download-&.pdf/' | xargs -r touch)
    (cd "$public" && seq 1 $(($1 / 10)) | sed 's/.*/shared-&.lnk/' | xargs -r touch)
}
launch() { # launch <exe> <window name> <log> <winedebug>: start to visible in ms, in $launched
    local t0
    t0=$(date +%s%N)
    WINEDEBUG=$4 wine "$1" >"$3" 2>&1 </dev/null &
    running=$!
    until xdotool search --onlyvisible --name "$2" >/dev/null 2>&1; do
        kill -0 "$running" 2>/dev/null || { echo "$1 did not start" >&2; exit 1; }
        sleep 0.01
    done
    launched=$((($(date +%s%N) - t0) / 1000000))
    # Wine polls a standard control under a resting pointer: idling is measured with it away.
    xdotool mousemove 0 0
}
stop() { kill_pid "$running"; running=; sleep 2; }
cpu() { echo $(($(process_cpu_ticks "$running") + $(process_cpu_ticks "$(wineserver_pid)"))); }
settle() { # until the program and the wineserver use less than a tenth of a CPU (at most 2 minutes)
    local c i
    for i in $(seq 60); do
        c=$(cpu)
        sleep 2
        [ $(($(cpu) - c)) -lt $((hz / 5)) ] && return
    done
}
saves=${BENCH_SAVES:-20}
per_change() { # per_change <log> <tag>: the saves' CPU less idling's, ms a change, in $per_change; idling in $idle (ms a minute)
    local c0 c1 c2 t0 t1 t2 sampler
    (while sleep 0.5; do awk '/^VmRSS/ { r = $2 } /^RssAnon/ { a = $2 } END { print r, a }' "/proc/$running/status"; done) \
        >"$logs/$2.memory" 2>/dev/null &
    sampler=$!
    c0=$(cpu) t0=$(date +%s.%N)
    sleep 20
    c1=$(cpu) t1=$(date +%s.%N)
    changes "$1" "$2"
    c2=$(cpu) t2=$(date +%s.%N)
    kill "$sampler"
    per_change=$(awk -v i=$((c1 - c0)) -v c=$((c2 - c1)) -v t0="$t0" -v t1="$t1" -v t2="$t2" -v hz="$hz" -v n="$saves" \
        'BEGIN { printf "%.1f", (c - i * (t2 - t1) / (t1 - t0)) * 1000 / hz / n }')
    idle=$(awk -v i=$((c1 - c0)) -v t0="$t0" -v t1="$t1" -v hz="$hz" 'BEGIN { printf "%.0f", i * 1000 / hz / (t1 - t0) * 60 }')
}
peak_memory() { awk '$1 > r { r = $1 } $2 > a { a = $2 } END { printf "%.1f %.1f", r / 1024, a / 1024 }' "$1"; }
changes() { # changes <log> <tag>: saves files at random phases of the tick; latencies in $logs/<tag>, listings set off in <tag>.listings
    python3 - "$1" "$user" "$saves" "$running" "$(wineserver_pid)" "$hz" "$logs/$2.listings" >"$logs/$2" <<'PY'
import os, random, sys, time
count = lambda: open(sys.argv[1], "rb").read().count(b"SHChangeNotify (0x08000000")
ticks = lambda: sum(sum(int(v) for v in open("/proc/%s/stat" % p).read().rsplit(")", 1)[1].split()[11:13]) for p in sys.argv[4:6])
listings = 0
for i in range(int(sys.argv[3])):
    time.sleep(1.1 + random.random())
    before, start, cpu = count(), time.monotonic(), ticks()
    open(os.path.join(sys.argv[2], "saved-%d.txt" % i), "wb").close()
    while count() == before and time.monotonic() - start < 5:
        time.sleep(0.002)
    print(time.monotonic() - start)
    time.sleep(1)
    listings += (ticks() - cpu) > int(sys.argv[6]) // 2
open(sys.argv[7], "w").write("%d\n" % listings)
PY
}
percentile() { sort -n "$1" | awk -v p="$2" '{ v[NR] = $1 } END { i = int(p * NR + 0.999); print v[i < 1 ? 1 : i] }'; }

# The floors, once: an empty window's start to visible, and its CPU (with the
# wineserver's) over 20 saved files.
populate 100
launch "$floor" '^Idle floor' /dev/null -all
floor_visible=$launched
floor_gap=$(wine "$probe" 3 'Idle floor' | tr -d '\r')
per_change /dev/null floor-changes
floor_cpu=$per_change floor_idle=$idle
stop
for n in ${BENCH_SIZES-100 10000}; do
    populate "$n"
    launch "$exe" '^Lumenfold' "$logs/engine-$n.log" trace+shell
    visible=$launched
    gap=$(wine "$probe" "$([ "$n" -ge 100000 ] && echo 15 || echo 3)" | tr -d '\r')
    settle
    listing=$(process_cpu_ticks "$running")  # start and the first count, the program's own CPU
    per_change "$logs/engine-$n.log" "latency-$n"
    read -r rss anon <<<"$(peak_memory "$logs/latency-$n.memory")"
    [ -n "${rss_first:-}" ] || rss_first=$rss anon_first=$anon first_size=$n
    printf '%8s items: start to visible %s ms (floor %s ms); latency p50 %.3f s p95 %.3f s (floor 0.100 s);' \
        "$n" "$visible" "$floor_visible" "$(percentile "$logs/latency-$n" 0.5)" "$(percentile "$logs/latency-$n" 0.95)"
    printf ' CPU per change %s ms (floor %s ms); during the first count: %s (floor, an idle window: %s)\n' \
        "$per_change" "$floor_cpu" "$gap" "$floor_gap"
    # The net lists each folder again after max(1 h, its listing's time / 1e-4).
    awk -v idle="$idle" -v floor="$floor_idle" -v l="$listing" -v hz="$hz" 'BEGIN {
        s = l / hz; every = s / 1e-4 < 3600 ? 3600 : s / 1e-4
        printf "          idle %d ms a minute (floor %d); start and first count %.1f s of CPU, listed again every %.1f h: over an hour %.2fx the floor\n",
            idle, floor, s, every / 3600, (idle * 60 + s * 1000 * 3600 / every) / (floor * 60) }'
    printf '          resident %.1f MB, private %.1f MB at their peak after the first count (%s items: %.1f MB, %.1f MB); full listings set off by %s saved files: %s\n' \
        "$rss" "$anon" "$first_size" "$rss_first" "$anon_first" "$saves" "$(cat "$logs/latency-$n.listings")"
    c0=$(cpu)
    python3 -c 'import os, sys
for i in range(3000): open(os.path.join(sys.argv[1], "burst-%d.txt" % i), "wb").close()' "$user"
    sleep 1
    settle
    printf '          an overflow (3000 files at once): %.1f s of CPU (start and one listing: %.1f s)\n' \
        "$(awk -v c=$(($(cpu) - c0)) -v hz="$hz" 'BEGIN { print c / hz }')" "$(awk -v l="$listing" -v hz="$hz" 'BEGIN { print l / hz }')"
    rm -f "$user"/burst-*.txt
    stop
done
unstash
[ "${BENCH_REST:-1}" = 0 ] && exit 0

populate 100
rmdir "$user" 2>/dev/null || rm -rf "$user"
launch "$exe" '^Lumenfold' "$logs/engine-missing.log" warn+seh
sleep 2  # OutputDebugString lines
sleep 60
echo "  desktop missing: $(grep -c 'OutputDebugStringA "GlanceRefresher: desktop' "$logs/engine-missing.log") diagnostic lines in a minute"
mkdir -p "$user"
back=$SECONDS
wait_for 40 log_has "$logs/engine-missing.log" 'OutputDebugStringA .*listed again' || true
echo "  desktop back (created behind Wine's link): seen after $((SECONDS - back)) s;" \
    "$(grep -c 'OutputDebugStringA "GlanceRefresher: desktop' "$logs/engine-missing.log") lines in all"
stop

# A missing desktop redirected (User Shell Folders) to a folder that is there.
populate 100
rm -rf "$user"
redirected=$WINEPREFIX/drive_c/redirected-desktop
mkdir -p "$redirected" && touch "$redirected"/r-{1..7}.txt
folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
launch "$exe" '^Lumenfold' "$logs/engine-redirect.log" trace+shell
sleep 12
broadcasts() { grep -c 'SHChangeNotify (0x08000000' "$logs/engine-redirect.log" || true; }
before=$(broadcasts)
t0=$(date +%s%N)
wine reg add "$folders" /v Desktop /t REG_EXPAND_SZ /d 'C:\redirected-desktop' /f >/dev/null 2>&1
t1=$(date +%s%N)
until [ "$(broadcasts)" -gt "$before" ] || [ $(($(date +%s%N) - t0)) -gt 40000000000 ]; do sleep 0.01; done
t2=$(date +%s%N)
echo "  a missing desktop redirected to a folder that is there: broadcast $(((t2 - t1) / 1000000)) ms after reg.exe wrote it and ended ($(((t2 - t0) / 1000000)) ms after it started)"
wine reg delete "$folders" /v Desktop /f >/dev/null 2>&1 || true
stop
rm -rf "$redirected"
mkdir -p "$user"

populate 100
launch "$exe" '^Lumenfold' "$logs/engine-storm.log" trace+shell
sleep 2
python3 - "$logs/engine-storm.log" "$user" <<'PY'
import os, sys, time, threading
count = lambda: open(sys.argv[1], "rb").read().count(b"SHChangeNotify (0x08000000")
a, b = os.path.join(sys.argv[2], "storm.txt"), os.path.join(sys.argv[2], "storm.tmp")
open(a, "wb").close()
done = False
def storm():
    while not done:
        os.rename(a, b); time.sleep(0.005); os.rename(b, a); time.sleep(0.005)
threading.Thread(target=storm, daemon=True).start()
time.sleep(10)
before = count()
time.sleep(60)
quiet = count() - before
before, start = count(), time.monotonic()
open(os.path.join(sys.argv[2], "saved-in-storm.txt"), "wb").close()
while count() == before and time.monotonic() - start < 90:
    time.sleep(0.01)
print("  endless 10 ms rename storm: %d broadcasts in a quiet minute; a file saved during it broadcast after %.2f s"
      % (quiet, time.monotonic() - start))
done = True
PY
stop
populate 0
