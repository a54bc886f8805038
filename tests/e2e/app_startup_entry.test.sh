#!/usr/bin/env bash
# The start-up entry of GlanceRefresher.exe when the user moves the program:
# ticked in one folder, the Run value names that copy; started from another
# folder while the first copy is still there, the value is left alone; once
# the first copy is gone, the next start points the value at the copy that
# runs. A value that does not certainly name a gone file is left exactly as it
# is, type and text: an expandable one whose file is there, a bare name, one on
# a drive that is not connected. Unticking removes it.
#   bash app_startup_entry.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/app.sh"
app_setup startup-entry "$@"

readonly BOX="Load this software on Windows startup"
places=$WINEPREFIX/drive_c/glance-places
rm -rf "$places"
mkdir -p "$places/Old place" "$places/New place"
cp "$APP_EXE" "$places/Old place/"
cp "$APP_EXE" "$places/New place/"
readonly OLD='"C:\glance-places\Old place\GlanceRefresher.exe"'
readonly NEW='"C:\glance-places\New place\GlanceRefresher.exe"'
run_value_is() { [ "$(run_value)" = "$1" ]; }
close_app() {
    click_caption_button close
    wait_for 10 app_ended || e2e_fail "the close box did not end the program"
}

APP_EXE="$places/Old place/GlanceRefresher.exe"
app_start
click_check "$BOX"
wait_for 5 run_value_is "$OLD" || e2e_fail "ticking in the old place wrote $(run_value)"
close_app

# Another copy that is still there: its entry is not taken over.
APP_EXE="$places/New place/GlanceRefresher.exe"
app_start
run_value_is "$OLD" || e2e_fail "a start beside a copy still there changed the entry to $(run_value)"
close_app

# The program was moved: the old copy is gone, the entry follows the new one.
rm -rf "$places/Old place"
app_start
wait_for 5 run_value_is "$NEW" || e2e_fail "after the move the entry is $(run_value), not $NEW"
[ "$(setting "Windows Startup")" = On ] || e2e_fail "Windows Startup is $(setting "Windows Startup")"
box_gone "$APP_TITLE" && box_gone "Application Error" || e2e_fail "a box at start"
e2e_log "started after the move: $(screenshot moved)"

close_app

# The Run value as type|text, as the registry holds it.
run_entry() {
    wine reg query "$RUN_KEY" /v "$APP_CAPTION" 2>/dev/null | tr -d '\r' |
        sed -nE "s/^\s+$APP_CAPTION\s+(REG_[A-Z_]+)\s*(.*)$/\1|\2/p"
}
local_app_data=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
installed="$(winepath -u "$local_app_data" 2>/dev/null)/Programs/Quillhaven/GlanceRefresher"
mkdir -p "$installed"
cp "$APP_EXE" "$installed/"
# Each value is put in place and the moved copy started: the value must be
# there unchanged once its window shows and the repair's check has had its
# time. The last copy started stays for the untick.
last='REG_SZ|"Q:\GlanceRefresher.exe"'
for entry in 'REG_EXPAND_SZ|"%LOCALAPPDATA%\Programs\Quillhaven\GlanceRefresher\GlanceRefresher.exe"' \
    'REG_SZ|GlanceRefresher.exe' "$last"; do
    wine reg add "$RUN_KEY" /v "$APP_CAPTION" /t "${entry%%|*}" /d "${entry#*|}" /f >/dev/null 2>&1
    app_start
    [ "$(run_entry)" = "$entry" ] || e2e_fail "$entry became $(run_entry)"
    [ "$entry" = "$last" ] || close_app
done
rm -rf "$installed"

click_check "$BOX"
wait_for 5 run_value_absent || e2e_fail "unticking left the entry $(run_value)"
close_app
rm -rf "$places"
e2e_pass
