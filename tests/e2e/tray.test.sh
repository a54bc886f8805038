#!/usr/bin/env bash
# The tray control on a Wine virtual desktop, hosted by tests/e2e/tray.host.cpp:
# its icon appears in the notification area, its balloon shows the title and
# text it was given, real left and right clicks on the icon reach the
# program as clicks (also during the balloon wait), the
# icon leaves with the program, and the balloon wait sleeps between messages
# (its CPU time is measured against a wait that polls).
#   bash tray.test.sh <program exe (unused)> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/lib.sh"

host=$2/tray.exe
e2e_setup tray "$3"
[ -f "$host" ] || e2e_fail "no host program at $host"

log=$E2E_ARTIFACTS/tray-events.log
rm -f "$log" "$log.stop"

e2e_start_desktop Tray 1024x768 "$host" "$(wine_path "$log")" --balloon-seconds 8
wait_for 30 log_has "$log" '^balloon shown$' || e2e_fail "host did not start: $(cat "$log" 2>/dev/null)"

wait_for 20 icon_found || e2e_fail "tray icon not found on screen"
icon_found
e2e_log "tray icon at $icon_x,$icon_y"
wait_for 6 balloon_shown || { screenshot no-balloon >/dev/null; e2e_fail "no balloon above the icon"; }
e2e_log "balloon: $(screenshot balloon)"

# A click while the balloon wait runs is handled at once.
click_at "$icon_x" "$icon_y" 1
wait_for 5 log_has "$log" '^clicked$' || e2e_fail "left click raised no click"
wait_for 15 log_has "$log" '^balloon done' || e2e_fail "balloon wait did not end"
[ "$(grep -n '^clicked' "$log" | head -1 | cut -d: -f1)" -lt "$(grep -n '^balloon done' "$log" | cut -d: -f1)" ] ||
    e2e_fail "the click waited for the balloon wait to end"

click_at "$icon_x" "$icon_y" 3
clicks() { [ "$(grep -c '^clicked$' "$log")" -ge 2 ]; }
wait_for 5 clicks || e2e_fail "right click raised no click"

touch "$log.stop"
wait_for 10 log_has "$log" '^exit$' || e2e_fail "host did not end"
wait_for 10 icon_gone || e2e_fail "icon still in the tray after the program ended"
screenshot after-exit >/dev/null

# CPU time of a 5 s balloon wait: the host's own (GetProcessTimes) and the
# wineserver's, which serves every queue poll.
measure() {  # measure <block|spin>
    local mode=$1 mlog=$E2E_ARTIFACTS/tray-wait-$1.log server before after
    rm -f "$mlog"
    local flags=(--balloon-seconds 5 --exit-after-balloon)
    [ "$mode" = spin ] && flags+=(--spin)
    server=$(wineserver_pid)
    before=$(process_cpu_ticks "$server")
    e2e_start wine explorer /desktop=Tray,1024x768 "$host" "$(wine_path "$mlog")" "${flags[@]}"
    wait_for 20 log_has "$mlog" '^exit$' || e2e_fail "$mode measurement did not finish"
    after=$(process_cpu_ticks "$server")
    host_cpu=$(sed -nE 's/^balloon done .* cpu=([0-9.]+)$/\1/p' "$mlog")
    server_cpu=$(awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", t / hz }')
    echo "balloon wait 5 s, $mode: host cpu ${host_cpu}s, wineserver cpu ${server_cpu}s" |
        tee -a "$E2E_ARTIFACTS/tray-cpu.txt" >&2
}
rm -f "$E2E_ARTIFACTS/tray-cpu.txt"
measure block
block_cpu=$host_cpu
measure spin
spin_cpu=$host_cpu
awk -v b="$block_cpu" -v s="$spin_cpu" 'BEGIN { exit !(b < 0.5 && b < s) }' ||
    e2e_fail "the blocking wait used ${block_cpu}s of CPU (polling: ${spin_cpu}s)"

e2e_pass
