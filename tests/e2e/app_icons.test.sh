#!/usr/bin/env bash
# GlanceRefresher.exe's icons at 96, 144 and 192 DPI: the title bar and the
# notification area show the icons' own images of the small-icon size of that
# DPI (16, 24, 32 px), pixel for pixel over what lies behind their clear
# parts, not another size stretched. The title bar and the notification area
# at each DPI are kept as screenshots.
#   bash app_icons.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/app.sh"
app_setup icons "$@"

readonly DPI_KEY='HKCU\Control Panel\Desktop'
readonly BEZEL_BLUE='#07A2FE'  # the program icon's own colour
# Room for the window at 200 %.
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v "E2Eicons" /d 1280x1000 /f >/dev/null 2>&1

# Wine reads the DPI from LogPixels as each of its processes starts, the
# desktop's taskbar included: every process of the prefix starts again. The
# prefix may be shared with other tests, so the value it had comes back at the
# end.
saved_dpi=$(reg_value "$DPI_KEY" LogPixels)
set_dpi() {
    wine reg add "$DPI_KEY" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
}
restore_dpi() {
    if [ "$saved_dpi" = "<none>" ]; then
        wine reg delete "$DPI_KEY" /v LogPixels /f >/dev/null 2>&1 || true
    else
        wine reg add "$DPI_KEY" /v LogPixels /t REG_DWORD /d "$((saved_dpi))" /f >/dev/null 2>&1 || true
    fi
}
trap 'restore_dpi; e2e_cleanup' EXIT

# colour_origin <png> <#RRGGBB>: "x y", the top left of the bounding box of
# the opaque pixels of exactly that colour.
colour_origin() {
    local box
    box=$(convert "$1" -background black -flatten -fill black +opaque "$2" -format '%@' info: 2>/dev/null) ||
        return 1
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -gt 1 ] || return 1
    echo "${BASH_REMATCH[3]} ${BASH_REMATCH[4]}"
}

# ico_image <ico> <size> <png>: the icon file's image of that size.
ico_image() {
    local i=0 width
    for width in $(identify -format '%w\n' "$1"); do
        if [ "$width" = "$2" ]; then
            convert "$1[$i]" "$3"
            return
        fi
        i=$((i + 1))
    done
    e2e_log "no $2 px image in $1"
    return 1
}

# shows_image <area png> <icon png> <anchor #RRGGBB>: the icon's image appears
# in the area pixel for pixel. Both are aligned on the bounding box of the
# anchor, an opaque colour of the icon's own; the icon is laid over the
# screen's colour beside it, and a pixel may differ by a blending round-off.
# Leaves <area>-found.png and <area>-expected.png, the two pictures compared.
shows_image() {
    local area=$1 icon=$2 anchor=$3 ax ay ix iy x y size back differ
    read -r ax ay < <(colour_origin "$area" "$anchor") || return 1
    read -r ix iy < <(colour_origin "$icon" "$anchor") || return 1
    size=$(identify -format '%w' "$icon")
    x=$((ax - ix)) y=$((ay - iy))
    [ "$x" -ge 1 ] && [ "$y" -ge 0 ] || return 1
    back=$(convert "$area" -format "%[pixel:p{$((x - 1)),$((y + size / 2))}]" info:)
    # Files, not pipes: ImageMagick's policy refuses /dev/fd paths.
    convert "$area" -crop "${size}x${size}+$x+$y" +repage "${area%.png}-found.png"
    convert "$icon" -background "$back" -flatten "${area%.png}-expected.png"
    differ=$(compare -fuzz 2% -metric AE "${area%.png}-found.png" "${area%.png}-expected.png" null: 2>&1) || true
    [ "${differ%% *}" = 0 ]
}

# WxH+X+Y of the window's title bar, and of the end of the taskbar that holds
# the notification area.
title_bar() {
    local info frame
    info=$(window_info) || return 1
    frame=$(grep '^frame ' <<<"$info") || return 1
    local x y w cy
    x=$(sed -E 's/.* x=(-?[0-9]+) .*/\1/' <<<"$frame")
    y=$(sed -E 's/.* y=(-?[0-9]+) .*/\1/' <<<"$frame")
    w=$(sed -E 's/.* w=([0-9]+) .*/\1/' <<<"$frame")
    cy=$(sed -nE 's/.* client_y=(-?[0-9]+) .*/\1/p' <<<"$info")
    echo "${w}x$((cy - y))+$x+$y"
}
notification_area() {
    local bar x y w h
    bar=$(probe tray | grep '^taskbar ') || return 1
    x=$(sed -E 's/.* x=(-?[0-9]+) .*/\1/' <<<"$bar")
    y=$(sed -E 's/.* y=(-?[0-9]+) .*/\1/' <<<"$bar")
    w=$(sed -E 's/.* w=([0-9]+) .*/\1/' <<<"$bar")
    h=$(sed -E 's/.* h=([0-9]+) .*/\1/' <<<"$bar")
    echo "160x$h+$((x + w - 160))+$y"
}

# shot_shows <dpi> <part> <region> <icon png> <anchor>: a fresh screenshot's
# region, kept as icons-<dpi>-<part>.png, shows the icon's image.
shot_shows() {
    local area=$E2E_ARTIFACTS/$E2E_NAME-$1-$2.png
    convert "$(screenshot "$1-screen")" -crop "$3" +repage "$area" && shows_image "$area" "$4" "$5"
}

for dpi in 96 144 192; do
    size=$((dpi / 6))  # the small-icon size: 16 px at 96 DPI
    ico_image "$E2E_REPO_DIR/res/tray.ico" "$size" "$E2E_ARTIFACTS/$E2E_NAME-$dpi-tray-icon.png"
    ico_image "$E2E_REPO_DIR/res/GlanceRefresher.ico" "$size" "$E2E_ARTIFACTS/$E2E_NAME-$dpi-title-bar-icon.png"
    set_dpi "$dpi"
    app_start
    wait_for 20 icon_found || e2e_fail "no tray icon at $dpi DPI"
    window=$(title_bar) || e2e_fail "no window at $dpi DPI"
    tray=$(notification_area) || e2e_fail "no taskbar at $dpi DPI"
    wait_for 10 shot_shows "$dpi" title-bar "$window" "$E2E_ARTIFACTS/$E2E_NAME-$dpi-title-bar-icon.png" \
        "$BEZEL_BLUE" || e2e_fail "the title bar at $dpi DPI does not show the ${size} px program icon"
    wait_for 10 shot_shows "$dpi" tray "$tray" "$E2E_ARTIFACTS/$E2E_NAME-$dpi-tray-icon.png" \
        "$TRAY_CYAN" || e2e_fail "the notification area at $dpi DPI does not show the ${size} px tray icon"
    e2e_log "$dpi DPI: ${size} px icons in the title bar ($window) and the notification area ($tray)"
    kill_pid "$APP_PID"
done
e2e_pass
