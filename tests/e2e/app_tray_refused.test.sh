#!/usr/bin/env bash
# GlanceRefresher.exe started in the tray while the notification area refuses
# its icon, as a taskbar still busy at logon does (a window of the taskbar's
# class that refuses every request stands in front of Wine's own): the window
# is never hidden behind an icon that is not there. It stays an ordinary
# minimized window with its taskbar button while the program asks again after
# 1, 2 and 4 s; once the refusing tray is gone, the next try puts the icon in
# Wine's tray, and only then the window goes into the tray, with the balloon.
#   bash app_tray_refused.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/app.sh"
app_setup tray-refused "$@"

requests=$E2E_ARTIFACTS/tray-refused-requests.log
rm -f "$requests" "$requests.stop"
e2e_start wine "$2/tray_refusing.exe" "$(wine_path "$requests")"
wait_for 30 log_has "$requests" '^ready$' || e2e_fail "the refusing tray did not start"
wine reg add "$SETTINGS_KEY" /v Minimized /d On /f >/dev/null 2>&1

app_start
minimized_with_button() { window_info | grep -q '^window .* iconic=1' && window_shown; }
refused_adds() { [ "$(grep -c ' add$' "$requests")" -ge "$1" ]; }
wait_for 15 refused_adds 3 || e2e_fail "the icon was not asked for again: $(tr '\n' ' ' <"$requests")"
for _ in $(seq 10); do
    minimized_with_button || { screenshot hidden >/dev/null; e2e_fail "the window is hidden without an icon"; }
    sleep 0.2
done
e2e_log "refused: $(tr '\n' ' ' <"$requests")"
e2e_log "a minimized window meanwhile: $(screenshot refused)"
icon_gone || e2e_fail "an icon is shown although the tray refused it"

touch "$requests.stop"
wait_for 30 icon_found || e2e_fail "no icon once the notification area takes it"
wait_for 5 window_hidden || e2e_fail "the window did not go into the tray once the icon was there"
wait_for 5 balloon_shown || e2e_fail "no balloon when the window went into the tray"
e2e_log "in the tray: $(screenshot in-tray)"
e2e_pass
