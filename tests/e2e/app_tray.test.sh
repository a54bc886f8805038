#!/usr/bin/env bash
# GlanceRefresher.exe living in the tray, with real input: the minimize box
# hides the window with the balloon the first time only, a click on the icon
# brings the window back with the focus, the Help box, the start-up options
# stored and registered, the close box ending the program with its icon, a
# start in the tray, and a second start bringing the window back.
#   bash app_tray.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/app.sh"
app_setup tray-app "$@"

app_start
wait_for 20 icon_found || e2e_fail "no tray icon"
e2e_log "icon at $icon_x,$icon_y"

click_caption_button min
wait_for 5 window_hidden || e2e_fail "the minimize box did not hide the window"
wait_for 5 balloon_shown || { screenshot no-balloon >/dev/null; e2e_fail "no balloon after the first minimize"; }
e2e_log "balloon: $(screenshot balloon)"

# The balloon wait is still running (5 s): a click on the icon restores at once.
click_at "$icon_x" "$icon_y" 1
wait_for 3 window_shown || e2e_fail "a click on the icon did not bring the window back"
wait_for 3 focused || e2e_fail "the restored window has no focus"
wait_for 8 balloon_absent || e2e_fail "the balloon stayed"

click_caption_button min
wait_for 5 window_hidden || e2e_fail "the second minimize did not hide the window"
sleep 1
balloon_absent || e2e_fail "a balloon on the second minimize"
click_at "$icon_x" "$icon_y" 3
wait_for 3 window_shown || e2e_fail "a right click on the icon did not bring the window back"

# Help: the fixed text under the program title.
click_control "Help"
wait_for 5 box_shows "$APP_TITLE" 'This software will update' ||
    e2e_fail "no Help box titled \"$APP_TITLE\""
help=$(probe box "$APP_TITLE")
e2e_log "help box: $(screenshot help)"
grep -qF "Questions? Please contact Team Quillhaven at " <<<"$help" || e2e_fail "help text: $help"
probe press "$APP_TITLE" OK
wait_for 5 box_gone "$APP_TITLE" || e2e_fail "the Help box did not close"

# Start-up options: ticking stores them and registers the program; unticking undoes it.
click_check "Load this software on Windows startup"
wait_for 5 run_value_present ||
    e2e_fail "ticking did not register the program to start with Windows"
command_line=$(run_value)
[[ $command_line == \"*GlanceRefresher.exe\" ]] || e2e_fail "Run value is $command_line"
[ "$(setting "Windows Startup")" = On ] || e2e_fail "Windows Startup is $(setting "Windows Startup")"
click_check "Load this software on Windows startup"
wait_for 5 run_value_absent ||
    e2e_fail "unticking did not remove the Run value"
[ "$(setting "Windows Startup")" = Off ] || e2e_fail "Windows Startup is $(setting "Windows Startup")"
click_check "Start in system tray"
wait_for 5 setting_is Minimized On || e2e_fail "Minimized is $(setting Minimized), not On"

# The close box ends the program and takes the icon away.
click_caption_button close
wait_for 10 app_ended || e2e_fail "the close box did not end the program"
wait_for 10 icon_gone || e2e_fail "the icon stayed after the program ended"

# "Start in system tray" on: the program starts hidden, with the balloon.
app_start hidden
window_hidden || e2e_fail "the window is shown although Minimized is On"
wait_for 5 balloon_shown || e2e_fail "no balloon at a start in the tray"
e2e_log "started in the tray: $(screenshot start-hidden)"
click_at "$icon_x" "$icon_y" 1
wait_for 5 window_shown || e2e_fail "the icon did not bring back a window started in the tray"

# A second start ends at once, without an icon of its own, and brings the
# running copy's window back from the tray with the focus.
click_caption_button min
wait_for 5 window_hidden || e2e_fail "the minimize box did not hide the window"
timeout 20 wine "$APP_EXE" || e2e_fail "the second start did not end at once"
wait_for 5 window_shown || e2e_fail "a second start did not bring the window back"
wait_for 3 focused || e2e_fail "the window brought back by a second start has no focus"
e2e_log "after a second start: $(screenshot second-start)"
e2e_pass
