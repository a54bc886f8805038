#!/usr/bin/env bash
# The counting engine on the real program under Wine, switched on, in a few
# minutes: the latency from a saved file to the broadcast (SHChangeNotify in
# Wine's shell trace) at random phases of the tick, p50 and p95, at 100 and
# 10,000 items (BENCH_SIZES to choose; 1000000 is slow); start to visible at
# the same sizes; diagnostic lines a minute with the user's desktop missing;
# and the time to the broadcast of a file saved during a rename storm that
# never pauses. The floor of the latency is the quick check's own 0.1 s.
#   BENCH_EXE    the program to measure (default: this tree's build)
#   BENCH_SIZES  desktop sizes (default "100 10000")
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${BENCH_EXE:-$PWD/build/mingw/dist/GlanceRefresher.exe}
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
mkdir -p "$user" "$public"
running=
trap '[ -n "$running" ] && kill_pid "$running"; mkdir -p "$user"' EXIT
populate() {
    find "$user" "$public" -mindepth 1 -delete
    (cd "$user" && seq 1 $(($1 - $1 / 10)) | sed 's/.*/download-&.pdf/' | xargs -r touch)
    (cd "$public" && seq 1 $(($1 / 10)) | sed 's/.*/shared-&.lnk/' | xargs -r touch)
}
launch() { # launch <log> <winedebug>: start to visible in ms, in $launched
    local t0
    t0=$(date +%s%N)
    WINEDEBUG=$2 wine "$exe" >"$1" 2>&1 </dev/null &
    running=$!
    until xdotool search --onlyvisible --name '^Lumenfold' >/dev/null 2>&1; do sleep 0.02; done
    launched=$((($(date +%s%N) - t0) / 1000000))
    sleep 2
}
stop() { kill_pid "$running"; running=; sleep 2; }

for n in ${BENCH_SIZES-100 10000}; do
    populate "$n"
    launch "$logs/engine-$n.log" trace+shell
    python3 - "$logs/engine-$n.log" "$user" "$n" "$launched" <<'PY'
import math, os, random, sys, time
count = lambda: open(sys.argv[1], "rb").read().count(b"SHChangeNotify (0x08000000")
times = []
for i in range(20):
    time.sleep(1.1 + random.random())
    before, start = count(), time.monotonic()
    open(os.path.join(sys.argv[2], "saved-%d.txt" % i), "wb").close()
    while count() == before and time.monotonic() - start < 5:
        time.sleep(0.002)
    times.append(time.monotonic() - start)
times.sort()
rank = lambda p: times[max(0, math.ceil(p * len(times)) - 1)]
print("%8s items: start to visible %s ms, latency p50 %.3f s p95 %.3f s (floor 0.100 s)"
      % (sys.argv[3], sys.argv[4], rank(0.5), rank(0.95)))
PY
    stop
done

populate 100
rmdir "$user" 2>/dev/null || rm -rf "$user"
launch "$logs/engine-missing.log" warn+seh  # OutputDebugString lines
sleep 60
echo "  desktop missing: $(grep -c 'OutputDebugStringA "GlanceRefresher: desktop' "$logs/engine-missing.log") diagnostic lines in a minute"
mkdir -p "$user"
back=$SECONDS
wait_for 40 log_has "$logs/engine-missing.log" 'OutputDebugStringA .*listed again' || true
echo "  desktop back (created behind Wine's link): seen after $((SECONDS - back)) s;" \
    "$(grep -c 'OutputDebugStringA "GlanceRefresher: desktop' "$logs/engine-missing.log") lines in all"
stop

populate 100
launch "$logs/engine-storm.log" trace+shell
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
