#!/usr/bin/env bash
# GlanceRefresher.exe in the colours a user sees: as designed, with the dark
# skin that ships with it, and as designed again under a dark system colour
# scheme (light text on black, as high-contrast themes set it), where the
# design's captions once vanished. Every caption must stand out at least
# 4.5:1 from its own background, measured from the screen's pixels; the
# three screenshots are kept.
#   bash app_colours.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/app.sh"
app_setup colours "$@"

readonly CAPTIONS=("Help" "Startup Options" "Load this software on Windows startup" "Start in system tray"
    "Turn On" "Update Icons On Desktop Now (Test)")
readonly SKIN=$E2E_REPO_DIR/packaging/portable/skins/slate.cjs.example

# text_region <caption>: WxH+X+Y of where the control draws its caption: a
# button inside its border, a check box right of its box, the frame's caption
# on its top edge.
text_region() {
    window_info | awk -v t="text=$1" '$1 == "child" && substr($0, index($0, " text=") + 1) == t {
        for (i = 2; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
        if (v["style"] ~ /b$/) { print v["w"] - 8 "x" v["h"] - 8 "+" v["x"] + 4 "+" v["y"] + 4 }
        else if (v["style"] ~ /7$/) { print "90x14+" v["x"] + 12 "+" v["y"] }
        else { print v["w"] - 18 "x" v["h"] "+" v["x"] + 18 "+" v["y"] }
        exit 0
    }' | grep .
}

# caption_contrast <png> <region>: "ratio background text": the region's most
# common colour is the background, and of the colours that cover at least 8
# pixels, the one that stands out most from it is the text.
caption_contrast() {
    convert "$1" -crop "$2" +repage -alpha off -format %c histogram:info:- | awk '
        function lin(c) { c /= 255; return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
        function ratio(a, b) { return a > b ? (a + 0.05) / (b + 0.05) : (b + 0.05) / (a + 0.05) }
        {
            count = $1 + 0
            rgb = $0; sub(/^[^(]*\(/, "", rgb); sub(/\).*/, "", rgb); split(rgb, c, ",")
            n++; counts[n] = count; names[n] = $3
            lum[n] = 0.2126 * lin(c[1]) + 0.7152 * lin(c[2]) + 0.0722 * lin(c[3])
            if (count > counts[back]) back = n
        }
        END {
            best = 1
            for (i = 1; i <= n; i++)
                if (counts[i] >= 8 && ratio(lum[i], lum[back]) > best) { best = ratio(lum[i], lum[back]); text = i }
            printf "%.2f %s %s\n", best, names[back], names[text]
        }'
}

# check_captions <look>: a screenshot of the window; every caption reads.
check_captions() {
    local shot caption measured
    xdotool mousemove 1010 10
    sleep 0.5
    shot=$(screenshot "$1")
    e2e_log "$1: $shot"
    for caption in "${CAPTIONS[@]}"; do
        measured=$(caption_contrast "$shot" "$(text_region "$caption")")
        echo "$1: \"$caption\" $measured" >>"$E2E_ARTIFACTS/colours-contrast.txt"
        awk -v r="${measured%% *}" 'BEGIN { exit !(r >= 4.5) }' ||
            e2e_fail "$1: \"$caption\" stands out only $measured from its background"
    done
}

close_app() {
    click_caption_button close
    wait_for 10 app_ended || e2e_fail "the close box did not end the program"
}

rm -f "$E2E_ARTIFACTS/colours-contrast.txt"
app_start
check_captions design
close_app

# The skin beside a copy of the program, as a user adds it.
skinned=$WINEPREFIX/drive_c/Skinned
mkdir -p "$skinned/x"
cp "$APP_EXE" "$skinned/"
cp "$SKIN" "$skinned/x/o.cjs"
plain_exe=$APP_EXE
APP_EXE=$skinned/$(basename "$plain_exe")
app_start
check_captions skin
close_app
APP_EXE=$plain_exe

# A dark scheme, read by every program started after it is set; the user's
# own comes back at the end, for the tests that share the prefix.
scheme=$WINEPREFIX/drive_c/dark-scheme.reg
saved=$WINEPREFIX/drive_c/saved-scheme.reg
wine reg export 'HKCU\Control Panel\Colors' "$(wine_path "$saved")" /y >/dev/null 2>&1 ||
    e2e_fail "the colour scheme could not be saved"
restore_scheme() { wine regedit /S "$(wine_path "$saved")" >/dev/null 2>&1 || true; }
trap 'restore_scheme; e2e_cleanup' EXIT
{
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n'
    for entry in Window=0,0,0 WindowText=255,255,255 ButtonFace=0,0,0 ButtonText=255,255,255 GrayText=0,255,0 \
        Highlight=26,235,255 HighlightText=0,0,0 HotTrackingColor=255,255,0 Menu=0,0,0 MenuText=255,255,255; do
        printf '"%s"="%s"\r\n' "${entry%%=*}" "$(tr , ' ' <<<"${entry#*=}")"
    done
} >"$scheme"
wine regedit /S "$(wine_path "$scheme")" >/dev/null 2>&1
[ "$(reg_value 'HKCU\Control Panel\Colors' ButtonText)" = "255 255 255" ] || e2e_fail "the dark scheme was not set"
app_start
check_captions dark-scheme
close_app
e2e_pass
