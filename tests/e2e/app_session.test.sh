#!/usr/bin/env bash
# GlanceRefresher.exe at the end of the Windows session, with the messages a
# log-off sends: the question is answered yes and the program runs on (window,
# icon, ticks); an end that another program cancelled changes nothing; the
# real end closes it as the close box does (icon gone, process ended, settings
# as they were). So do the pair Restart Manager sends before an installer
# replaces the program's files, and an installer's close request.
#   bash app_session.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/app.sh"
app_setup session "$@"

stored_settings() { wine reg query "$SETTINGS_KEY" 2>/dev/null | tr -d '\r' | sort; }

app_start
click_control "Turn On"
wait_for 5 control_shown "Turn Off" || e2e_fail "the switch did not turn on"
wait_for 5 setting_is StartStopState On || e2e_fail "StartStopState is $(setting StartStopState), not On"
wait_for 20 icon_found || e2e_fail "no tray icon"
settings=$(stored_settings)

answer=$(probe session "$APP_CAPTION" query)
[ "$answer" = "query answer=1" ] || e2e_fail "the session's question got: $answer"
sleep 1
app_running || e2e_fail "the program ended on the session's question"
window_shown || e2e_fail "the window went away on the session's question"
icon_found || e2e_fail "the icon left the tray on the session's question"

# Another program refused: the session goes on, and so does the refreshing.
probe session "$APP_CAPTION" cancel >/dev/null
touch "$USER_DESKTOP/after-cancel.txt"
wait_for 3 broadcasts_at_least 1 || e2e_fail "no broadcast after a cancelled end of the session"
app_running || e2e_fail "the program ended on a cancelled end of the session"
e2e_log "after a cancelled end: $(screenshot cancelled)"

probe session "$APP_CAPTION" end >/dev/null
wait_for 10 app_ended || e2e_fail "the session's end did not end the program"
wait_for 10 icon_gone || e2e_fail "the icon stayed after the session's end"
[ "$(stored_settings)" = "$settings" ] || e2e_fail "the settings changed: $(stored_settings)"

for step in closeapp installer; do
    app_start
    wait_for 20 icon_found || e2e_fail "no tray icon before $step"
    answer=$(probe session "$APP_CAPTION" $step)
    [ "$answer" = "closeapp answer=1" ] || [ "$answer" = "installer set" ] || e2e_fail "$step got: $answer"
    wait_for 10 app_ended || e2e_fail "$step did not end the program"
    wait_for 10 icon_gone || e2e_fail "the icon stayed after $step"
    [ "$(stored_settings)" = "$settings" ] || e2e_fail "$step changed the settings: $(stored_settings)"
done
e2e_pass
