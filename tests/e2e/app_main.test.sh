#!/usr/bin/env bash
# GlanceRefresher.exe doing its main job, driven with real clicks: the window
# as designed, the switch and its stored state, a broadcast for each desktop
# change while on and none for a quiet desktop, the force button, the state
# restored by a restart, and a second instance that ends at once.
#   bash app_main.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/app.sh"
app_setup main "$@"

app_start
info=$(window_info)
echo "$info" >"$E2E_ARTIFACTS/main-window.txt"
grep -q '^window client_w=536 client_h=168 .* maximizebox=0 sizebox=0 minimizebox=1 ' <<<"$info" ||
    e2e_fail "window is not 536 x 168 with a minimize box only: $(head -1 <<<"$info")"
for caption in "Help" "Turn On" "Update Icons On Desktop Now (Test)" "Startup Options" \
    "Load this software on Windows startup" "Start in system tray"; do
    control_shown "$caption" || e2e_fail "no \"$caption\" on the window"
done
wait_for 20 icon_found || e2e_fail "no tray icon"
e2e_log "window: $(screenshot window)"

# Off with an empty store: a new file makes no broadcast.
touch "$USER_DESKTOP/quiet.txt"
sleep 2.5
[ "$(broadcasts)" = 0 ] || e2e_fail "broadcast while switched off"

click_control "Turn On"
wait_for 5 control_shown "Turn Off" || e2e_fail "the switch did not turn on"
wait_for 5 setting_is StartStopState On || e2e_fail "StartStopState is $(setting StartStopState), not On"

# The first tick compares with the count taken at start-up, before quiet.txt.
wait_for 3 broadcasts_at_least 1 || e2e_fail "the first tick did not see the file added while off"
sleep 2.5
[ "$(broadcasts)" = 1 ] || e2e_fail "broadcast for a quiet desktop"
touch "$USER_DESKTOP/download.pdf"
wait_for 3 broadcasts_at_least 2 || e2e_fail "no broadcast within 2 s of a new file on the user's desktop"
mkdir "$PUBLIC_DESKTOP/Shared folder"
wait_for 3 broadcasts_at_least 3 || e2e_fail "no broadcast within 2 s of a new folder on the all-users desktop"
touch "$PUBLIC_DESKTOP/Shared folder/inside.txt"
sleep 2.5
[ "$(broadcasts)" = 3 ] || e2e_fail "$(broadcasts) broadcasts: a file inside a subfolder or a quiet desktop broadcast"

click_control "Update Icons On Desktop Now (Test)"
wait_for 2 broadcasts_at_least 4 || e2e_fail "the force button did not broadcast at once"

# A second instance ends at once, with no second window or icon.
second_log=$E2E_ARTIFACTS/main-second.log
start=$SECONDS
wine "$APP_EXE" >"$second_log" 2>&1 </dev/null &
second=$!
E2E_PIDS+=("$second")
wait_for 15 process_ended "$second" || e2e_fail "the second instance is still running"
e2e_log "second instance ended after $((SECONDS - start)) s"
[ "$(probe window "$APP_CAPTION" | grep -c '^frame ')" = 1 ] || e2e_fail "more than one window"
app_running || e2e_fail "the first instance ended too"

# Closing and starting again restores "Turn Off", and ticks run without a click.
click_caption_button close
wait_for 10 app_ended || e2e_fail "the close box did not end the program"
app_start
control_shown "Turn Off" || e2e_fail "the restart did not restore Turn Off"
sleep 1.5
touch "$USER_DESKTOP/after-restart.txt"
wait_for 3 broadcasts_at_least 1 || e2e_fail "no broadcast after the restart"
e2e_log "restarted: $(screenshot restarted)"

# A file saved at any phase of the one-second tick is broadcast by the quick
# check a tenth of a second later, not by the next tick.
latency=$E2E_ARTIFACTS/main-latency.txt
python3 - "$APP_LOG" "$USER_DESKTOP" >"$latency" <<'PY' || e2e_fail "a file waited for the tick: $(tr '\n' ' ' <"$latency")"
import os, random, sys, time
count = lambda: open(sys.argv[1], "rb").read().count(b"SHChangeNotify (0x08000000")
for i in range(8):
    time.sleep(1.1 + random.random())
    before, start = count(), time.monotonic()
    open(os.path.join(sys.argv[2], "phase-%d.txt" % i), "wb").close()
    while count() == before and time.monotonic() - start < 2:
        time.sleep(0.005)
    print("%.3f s" % (time.monotonic() - start), flush=True)
    if time.monotonic() - start > 0.3: sys.exit(1)
PY
e2e_log "latency: $(tr '\n' ' ' <"$latency")"
e2e_pass
