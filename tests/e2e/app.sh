# Helpers for driving GlanceRefresher.exe itself in the e2e tests, on top of
# lib.sh: a Wine virtual desktop with a taskbar that every Wine process of the
# test joins, the program started with its shell trace captured, its window
# and controls read through probe.exe, real clicks on them, and the registry.
#
#   source "$(dirname "$0")/app.sh"
#   app_setup mytest "$@"          # <exe> <hosts dir> <artifacts dir>
#   app_start                      # waits for the window (app_start hidden: for the icon)
#   click_control "Turn On"
#   wait_for 5 control_shown "Turn Off"
#   [ "$(setting StartStopState)" = On ]
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

readonly APP_CAPTION="Lumenfold Live Shell Glance Refresher Utility"
readonly APP_TITLE="Lumenfold Live Shell Glance Refresher"
readonly SETTINGS_KEY='HKCU\Software\VB and VBA Program Settings\Quillhaven\Lumenfold Live Shell Glance Refresher Utility'
readonly RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
APP_RUNS=0

# app_setup <test name> <exe> <hosts dir> <artifacts dir>
# Display, Wine, a desktop named after the test as every process's default
# (so probe.exe sees the program's windows), an empty settings store and
# empty desktops.
app_setup() {
    local name=$1
    APP_EXE=$2
    PROBE=$3/probe.exe
    e2e_setup "$name" "$4"
    [ -f "$APP_EXE" ] || e2e_fail "no program at $APP_EXE"
    [ -f "$PROBE" ] || e2e_fail "no probe at $PROBE"
    local desktop="E2E$name"
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d "$desktop" /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v "$desktop" /d 1024x768 /f >/dev/null 2>&1
    wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops\\$desktop" /v EnableShell /t REG_DWORD /d 1 /f \
        >/dev/null 2>&1
    wine reg delete 'HKCU\Software\VB and VBA Program Settings\Quillhaven' /f >/dev/null 2>&1 || true
    wine reg delete "$RUN_KEY" /v "$APP_CAPTION" /f >/dev/null 2>&1 || true
    USER_DESKTOP=$HOME/Desktop
    PUBLIC_DESKTOP=$WINEPREFIX/drive_c/users/Public/Desktop
    mkdir -p "$USER_DESKTOP" "$PUBLIC_DESKTOP"
    find "$USER_DESKTOP" "$PUBLIC_DESKTOP" -mindepth 1 -delete
}

# app_start [hidden]: starts the program with SHChangeNotify traced into
# APP_LOG; waits for its window (or, with "hidden", for its tray icon).
app_start() {
    APP_RUNS=$((APP_RUNS + 1))
    APP_LOG=$E2E_ARTIFACTS/$E2E_NAME-run$APP_RUNS.log
    WINEDEBUG=trace+shell wine "$APP_EXE" >"$APP_LOG" 2>&1 </dev/null &
    APP_PID=$!
    E2E_PIDS+=("$APP_PID")
    if [ "${1:-}" = hidden ]; then
        wait_for 30 icon_found || e2e_fail "the program's tray icon did not appear"
    else
        wait_for 30 window_shown || e2e_fail "the program's window did not appear"
    fi
}

probe() { wine "$PROBE" "$@" 2>/dev/null | tr -d '\r'; }
window_info() { probe window "$APP_CAPTION"; }
window_shown() { window_info | grep -q '^frame .* visible=1 '; }
window_hidden() { window_info | grep -q '^frame .* visible=0 '; }
app_running() { kill -0 "$APP_PID" 2>/dev/null; }
app_ended() { ! app_running; }
process_ended() { ! kill -0 "$1" 2>/dev/null; }
focused() { probe focus | grep -qF "text=$APP_CAPTION"; }

# control_center <caption>: "x y" of the centre of a visible child window
# with exactly that text.
control_center() {
    window_info | awk -v t="text=$1" '$1 == "child" && index($0, t) && substr($0, index($0, t)) == t {
        for (i = 2; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
        if (v["visible"] == 1) { print int(v["x"] + v["w"] / 2), int(v["y"] + v["h"] / 2); exit 0 }
    }' | grep .
}
control_shown() { control_center "$1" >/dev/null; }
click_control() {
    local xy
    xy=$(control_center "$1") || e2e_fail "no control \"$1\" on the window"
    click_at ${xy% *} ${xy#* } 1
}
# The left part of a check box is its box.
click_check() {
    local line x y
    line=$(window_info | grep -F "text=$1") || e2e_fail "no check box \"$1\""
    x=$(sed -E 's/.* x=(-?[0-9]+) .*/\1/' <<<"$line")
    y=$(sed -E 's/.* y=(-?[0-9]+) w=[0-9]+ h=([0-9]+) .*/\1 \2/' <<<"$line")
    click_at $((x + 7)) $((${y% *} + ${y#* } / 2)) 1
}
click_caption_button() {  # close | min
    local xy
    xy=$(probe hit "$APP_CAPTION" "$1") || e2e_fail "no $1 box on the window"
    click_at ${xy% *} ${xy#* } 1
}

# broadcasts: how many SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, 0, 0)
# the current run has sent.
broadcasts() { grep -c 'trace:shell:SHChangeNotify (0x08000000,0x00000000,00000000,00000000)' "$APP_LOG" || true; }
broadcasts_at_least() { [ "$(broadcasts)" -ge "$1" ]; }

# setting <key>: the stored value, or <none>.
setting() { reg_value "$SETTINGS_KEY" "$1"; }
reg_value() {
    local out
    out=$(wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | grep -E "^\s+$2\s+REG_") || { echo "<none>"; return; }
    sed -E "s/^\s+$2\s+REG_[A-Z_]+\s*//" <<<"$out"
}
setting_is() { [ "$(setting "$1")" = "$2" ]; }
# The Run value that starts the program with Windows.
run_value() { reg_value "$RUN_KEY" "$APP_CAPTION"; }
run_value_absent() { [ "$(run_value)" = "<none>" ]; }
run_value_present() { ! run_value_absent; }
# A message box with this title whose text contains the given words.
box_shows() { probe box "$1" | grep -qF "$2"; }
box_gone() { ! probe box "$1" >/dev/null; }

