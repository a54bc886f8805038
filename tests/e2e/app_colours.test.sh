#!/usr/bin/env bash
# GlanceRefresher.exe in the colours a user sees: as designed, with the dark
# skin that ships with it, and as designed again under a dark system scheme
# (light text on black), where the design's captions once vanished. Every
# caption stands out at least 4.5:1 from its own background, measured from
# the screen's pixels (figures in colours-contrast.txt, beside the shots).
#   bash app_colours.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/app.sh"
app_setup colours "$@"

# contrast <look> <caption>: "ratio background text" where the control draws
# its caption (inside a button's border, right of a check box's box, the
# frame's top edge). The most common colour is the background; of the colours
# on at least 8 pixels, the one that stands out most from it is the text.
contrast() {
    local region
    region=$(window_info | awk -v t="text=$2" '$1 == "child" && substr($0, index($0, " text=") + 1) == t {
        for (i = 2; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
        if (v["style"] ~ /b$/) print v["w"] - 8 "x" v["h"] - 8 "+" v["x"] + 4 "+" v["y"] + 4
        else if (v["style"] ~ /7$/) print "90x14+" v["x"] + 12 "+" v["y"]
        else print v["w"] - 18 "x" v["h"] "+" v["x"] + 18 "+" v["y"]
    }')
    convert "$E2E_ARTIFACTS/colours-$1.png" -crop "$region" +repage -alpha off -format %c histogram:info:- | awk '
        function lin(c) { c /= 255; return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
        {
            rgb = $0; sub(/^[^(]*\(/, "", rgb); sub(/\).*/, "", rgb); split(rgb, c, ",")
            n++; count[n] = $1 + 0; name[n] = $3
            lum[n] = 0.2126 * lin(c[1]) + 0.7152 * lin(c[2]) + 0.0722 * lin(c[3]) + 0.05
            if (count[n] > count[back]) back = n
        }
        END {
            best = 1
            for (i = 1; i <= n; i++) {
                r = lum[i] > lum[back] ? lum[i] / lum[back] : lum[back] / lum[i]
                if (count[i] >= 8 && r > best) { best = r; text = i }
            }
            printf "%.2f %s %s\n", best, name[back], name[text]
        }'
}

# shows_readably <look>: starts the program, keeps a screenshot, checks every caption and closes.
shows_readably() {
    local caption measured
    app_start
    xdotool mousemove 1010 10
    sleep 0.5
    e2e_log "$1: $(screenshot "$1")"
    for caption in "Help" "Startup Options" "Load this software on Windows startup" "Start in system tray" \
        "Turn On" "Update Icons On Desktop Now (Test)"; do
        measured=$(contrast "$1" "$caption")
        echo "$1: \"$caption\" $measured" >>"$E2E_ARTIFACTS/colours-contrast.txt"
        awk -v r="${measured%% *}" 'BEGIN { exit !(r >= 4.5) }' ||
            e2e_fail "$1: \"$caption\" stands out only $measured from its background"
    done
    click_caption_button close
    wait_for 10 app_ended || e2e_fail "the close box did not end the program"
}

rm -f "$E2E_ARTIFACTS/colours-contrast.txt"
shows_readably design

# The skin beside a copy of the program, as a user adds it.
plain_exe=$APP_EXE
APP_EXE=$WINEPREFIX/drive_c/Skinned/$(basename "$plain_exe")
mkdir -p "$(dirname "$APP_EXE")/x"
cp "$plain_exe" "$APP_EXE"
cp "$E2E_REPO_DIR/packaging/portable/skins/slate.cjs.example" "$(dirname "$APP_EXE")/x/o.cjs"
shows_readably skin
APP_EXE=$plain_exe

# A dark scheme, which every program started afterwards reads; the one before
# it comes back at the end, for the tests that share the prefix.
saved=$(wine_path "$WINEPREFIX/drive_c/saved-scheme.reg")
wine reg export 'HKCU\Control Panel\Colors' "$saved" /y >/dev/null 2>&1 || e2e_fail "the scheme was not saved"
trap 'wine regedit /S "$saved" >/dev/null 2>&1; e2e_cleanup' EXIT
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n"Window"="0 0 0"\r\n"WindowText"="255 255 255"\r\n"ButtonFace"="0 0 0"\r\n"ButtonText"="255 255 255"\r\n"GrayText"="0 255 0"\r\n' \
    >"$WINEPREFIX/drive_c/dark-scheme.reg"
wine regedit /S "$(wine_path "$WINEPREFIX/drive_c/dark-scheme.reg")" >/dev/null 2>&1
[ "$(reg_value 'HKCU\Control Panel\Colors' ButtonText)" = "255 255 255" ] || e2e_fail "the dark scheme was not set"
shows_readably dark-scheme
e2e_pass
