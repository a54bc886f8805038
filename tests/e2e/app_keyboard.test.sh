#!/usr/bin/env bash
# GlanceRefresher.exe with the keyboard alone, through the program's own
# message loop: Tab and Shift+Tab go round the controls in their order, the
# push buttons keep their own look however often the focus passes (still
# owner-drawn, the focus cue on the focused one only, in its own colour and
# not hover's), and Enter and Space press the focused button.
#   bash app_keyboard.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/app.sh"
app_setup keyboard "$@"

readonly CYCLE=("Load this software on Windows startup" "Start in system tray" "Turn On"
    "Update Icons On Desktop Now (Test)" "Help")
BUTTONS=("Help" "Turn On" "Update Icons On Desktop Now (Test)")
# The focus cue's colour, a darker blue than the hover frame's #07A2FE.
readonly FOCUS_CUE='#067ABF'

# focused_control: the text of the control that has the keyboard focus.
focused_control() { probe focus | sed -n 's/^keyfocus .* text=//p'; }
focus_is() { [ "$(focused_control)" = "$1" ]; }
# child_field <caption> <field>: a field of the child window with exactly that text.
child_field() {
    window_info | awk -v t="text=$1" -v f="$2" '$1 == "child" && substr($0, index($0, " text=") + 1) == t {
        for (i = 2; i <= NF; i++) { split($i, kv, "="); if (kv[1] == f) { print kv[2]; exit 0 } }
    }' | grep .
}
# button_region <caption>: WxH+X+Y of the button on the screen.
button_region() {
    echo "$(child_field "$1" w)x$(child_field "$1" h)+$(child_field "$1" x)+$(child_field "$1" y)"
}

# check_buttons <step> <focused control>: every button is still owner-drawn
# (style type 0xB), and the focus cue shows on the focused button and on no other.
check_buttons() {
    local step=$1 focus=$2 shot caption style accent
    shot=$(screenshot "$step")
    for caption in "${BUTTONS[@]}"; do
        style=$(child_field "$caption" style) || e2e_fail "$step: no button \"$caption\""
        [ $((style & 0xF)) = 11 ] ||
            e2e_fail "$step: \"$caption\" has style $style, no longer owner-drawn"
        accent=$(colour_count "$shot" "$FOCUS_CUE" "$(button_region "$caption")")
        if [ "$caption" = "$focus" ]; then
            [ "$accent" -ge 500 ] || e2e_fail "$step: the focused \"$caption\" shows no focus cue ($accent px)"
        else
            [ "$accent" = 0 ] || e2e_fail "$step: \"$caption\" shows a focus cue without the focus ($accent px)"
        fi
    done
    rm -f "$shot"
}

app_start
wait_for 10 focused || e2e_fail "the window has no focus"
# The pointer away from the window: a button under it shows its hover frame.
xdotool mousemove 1010 10
wait_for 5 focus_is "${CYCLE[0]}" || e2e_fail "the focus starts on \"$(focused_control)\", not on the first control"
e2e_log "before: $(screenshot before-tabbing)"

# Twice round forwards, then twice round backwards.
n=${#CYCLE[@]}
for ((i = 1; i <= 2 * n; i++)); do
    xdotool key Tab
    expected=${CYCLE[i % n]}
    wait_for 5 focus_is "$expected" || e2e_fail "Tab $i: the focus is on \"$(focused_control)\", not \"$expected\""
    check_buttons "tab$i" "$expected"
done
e2e_log "after tabbing: $(screenshot after-tabbing)"
for ((i = 2 * n - 1; i >= 0; i--)); do
    xdotool key shift+Tab
    expected=${CYCLE[i % n]}
    wait_for 5 focus_is "$expected" ||
        e2e_fail "Shift+Tab to $i: the focus is on \"$(focused_control)\", not \"$expected\""
done
check_buttons shift-tab "${CYCLE[0]}"

# Enter and Space press the focused button: the switch turns on, then off.
xdotool key Tab Tab
wait_for 5 focus_is "Turn On" || e2e_fail "the focus is on \"$(focused_control)\", not the switch"
xdotool key Return
wait_for 5 control_shown "Turn Off" || e2e_fail "Enter did not press the switch"
wait_for 5 setting_is StartStopState On || e2e_fail "StartStopState is $(setting StartStopState), not On"
BUTTONS=("Help" "Turn Off" "Update Icons On Desktop Now (Test)")
check_buttons enter "Turn Off"
e2e_log "a button with the focus: $(screenshot button-focused)"
xdotool key space
wait_for 5 control_shown "Turn On" || e2e_fail "Space did not press the switch"
wait_for 5 setting_is StartStopState Off || e2e_fail "StartStopState is $(setting StartStopState), not Off"
# Enter on a check box presses no button.
xdotool key shift+Tab shift+Tab
wait_for 5 focus_is "${CYCLE[0]}" || e2e_fail "the focus is on \"$(focused_control)\", not the first box"
xdotool key Return
sleep 1
control_shown "Turn On" || e2e_fail "Enter on a check box pressed the switch"
box_gone "$APP_TITLE" || e2e_fail "Enter on a check box opened a box"
BUTTONS=("Help" "Turn On" "Update Icons On Desktop Now (Test)")
check_buttons end "${CYCLE[0]}"
e2e_log "after the keys: $(screenshot after-keys)"
e2e_pass
