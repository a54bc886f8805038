# Shared helpers of the e2e tests: a private virtual display, a Wine virtual
# desktop with a taskbar, bounded polling waits, screenshots kept as
# artifacts, and clean-up of every process a test starts.
#
# Sourced by a tests/e2e/*.test.sh script, which ctest runs as
#   bash <script> <program exe> <hosts dir> <artifacts dir>
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_setup mytest "$3"                 # display, Wine env, clean-up on exit
#   e2e_start_desktop Main 1024x768 "$1"  # explorer /desktop=Main,1024x768 exe
#   wait_for 20 xdotool search --name "^Lumenfold"
#   screenshot main-window                # -> $E2E_ARTIFACTS/mytest-main-window.png
#   e2e_pass                              # or e2e_fail "message"
#
# Every function returns non-zero on failure and prints why on stderr; a test
# script normally runs with `set -euo pipefail`, so a failed wait ends it, and
# the EXIT trap still ends what it started.
#
# Environment honoured:
#   GLANCE_WINE_ROOT  Wine home/prefix folder (default: a per-test folder under
#                     ${TMPDIR:-/tmp}); kept between runs, so the prefix is made once.
#   E2E_KEEP_DISPLAY  set to 1 to leave the private Xvfb running (debugging).
#   GLANCE_DISPLAYS   the X display numbers the tests may take (default 150-199),
#                     so that two checkouts on one machine keep apart.

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_REPO_DIR=$(cd "$E2E_LIB_DIR/../.." && pwd)
E2E_XVFB_PID=
# What the test started, one "pid N", "group N" or "xvfb N" a line: a file,
# so that the watchdog can end it too.
E2E_OWNED=
# Programs started by hand (E2E_PIDS+=): Wine processes, which wineserver -k ends too.
E2E_PIDS=()

e2e_log() { echo "[e2e ${E2E_NAME:-?}] $*" >&2; }

# e2e_setup <test name> <artifacts dir>
# Starts a private display, prepares Wine (scripts/wine-env.sh) and installs
# the clean-up trap. Sets E2E_NAME, E2E_ARTIFACTS and DISPLAY.
e2e_setup() {
    E2E_NAME=$1
    mkdir -p "$2"
    E2E_ARTIFACTS=$(cd "$2" && pwd)
    export GLANCE_WINE_ROOT=${GLANCE_WINE_ROOT:-${TMPDIR:-/tmp}/glance-e2e-$E2E_NAME}
    # One list per run: a watchdog of an earlier, killed run may still be at work.
    E2E_OWNED=$E2E_ARTIFACTS/$E2E_NAME.$$.owned
    : >"$E2E_OWNED"
    trap e2e_cleanup EXIT
    e2e_start_display
    # shellcheck source=../../scripts/wine-env.sh
    source "$E2E_REPO_DIR/scripts/wine-env.sh"
    # A test killed hard (ctest's time-out sends SIGKILL) runs no trap. A
    # watchdog outside its process tree waits for it to end and then ends
    # what it started, unless the trap has done so (and removed the list).
    (setsid bash -c 'tail --pid="$1" -f /dev/null; [ -f "$3" ] && source "$2" && E2E_OWNED=$3 e2e_cleanup' \
        e2e-watchdog $$ "$E2E_LIB_DIR/lib.sh" "$E2E_OWNED" </dev/null >/dev/null 2>&1 8>&- 9>&- &)
}

# e2e_own <pid|group|xvfb> <id>: the clean-up ends that process (or process group).
e2e_own() { echo "$1 $2" >>"$E2E_OWNED"; }

# Starts Xvfb on the first free display number and exports DISPLAY. A display
# of its own keeps screenshots free of other tests' windows.
e2e_start_display() {
    local n range=${GLANCE_DISPLAYS:-150-199}
    for n in $(seq "${range%-*}" "${range#*-}"); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
        # No inherited descriptors beyond the standard three: a lock held
        # open by a long-lived display would block every later test.
        Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 9>&- 8>&- &
        E2E_XVFB_PID=$!
        e2e_own xvfb "$E2E_XVFB_PID"
        export DISPLAY=:$n
        if wait_for 10 xdpyinfo; then return 0; fi
        kill_pid "$E2E_XVFB_PID"
        sed -i '/^xvfb /d' "$E2E_OWNED"
        E2E_XVFB_PID=
    done
    e2e_log "no free display"
    return 1
}

# e2e_start_desktop <desktop name> <WxH> <exe> [args...]
# Runs exe in a Wine virtual desktop with a taskbar and notification area
# (EnableShell for that desktop name), waits until the desktop window exists,
# and remembers the pid of the `wine` process it started.
e2e_start_desktop() {
    local name=$1 size=$2
    shift 2
    wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops\\$name" /v EnableShell /t REG_DWORD /d 1 /f \
        >/dev/null 2>&1
    e2e_start wine explorer "/desktop=$name,$size" "$@"
    wait_for 30 xdotool search --name "^$name - Wine desktop\$"
}

# e2e_start <command> [args...]: starts a background process whose output
# goes to the artifacts folder, and remembers its pid for the clean-up.
# The pid is left in E2E_LAST_PID.
e2e_start() {
    "$@" >>"$E2E_ARTIFACTS/$E2E_NAME-processes.log" 2>&1 </dev/null &
    E2E_LAST_PID=$!
    e2e_own pid "$E2E_LAST_PID"
}

# wait_for <seconds> <command> [args...]
# Runs command every 0.2 s until it succeeds; fails after the given time
# (whole seconds: a limit of N waits between N-1 and N seconds).
wait_for() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            e2e_log "timed out after ${limit}s waiting for: $*"
            return 1
        fi
        sleep 0.2
    done
}

# log_has <file> <extended regexp>: the file exists and has a matching line.
log_has() { [ -f "$1" ] && grep -Eq -- "$2" "$1"; }

# screenshot <name>: the whole display, saved as
# $E2E_ARTIFACTS/$E2E_NAME-<name>.png; prints the file's path.
screenshot() {
    local file=$E2E_ARTIFACTS/$E2E_NAME-$1.png
    import -window root "$file" && echo "$file"
}

# find_colour <png> <#RRGGBB>: prints "x y", the centre of the bounding box of
# the pixels of exactly that colour; fails when there are none.
find_colour() {
    local box
    box=$(convert "$1" -fill black +opaque "$2" -format '%@' info: 2>/dev/null) || return 1
    # WxH+X+Y; an image without the colour trims to nothing (0x0 or 1x1 of black).
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    local w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]} x=${BASH_REMATCH[3]} y=${BASH_REMATCH[4]}
    [ "$w" -gt 1 ] && [ "$h" -gt 1 ] || return 1
    echo "$((x + w / 2)) $((y + h / 2))"
}

# pixels_differ <png a> <png b> <min count> [WxH+X+Y]: at least min count
# pixels differ between the two pictures (within the region, if given).
pixels_differ() {
    local a=$1 b=$2 min=$3 region=${4:-}
    local count
    if [ -n "$region" ]; then
        count=$(compare -metric AE <(convert "$a" -crop "$region" +repage png:-) \
            <(convert "$b" -crop "$region" +repage png:-) null: 2>&1 >/dev/null) || true
    else
        count=$(compare -metric AE "$a" "$b" null: 2>&1 >/dev/null) || true
    fi
    count=${count%% *}
    [[ $count =~ ^[0-9.e+]+$ ]] && awk -v c="$count" -v m="$min" 'BEGIN { exit !(c >= m) }'
}

# colour_count <png> <#RRGGBB> [WxH+X+Y]: prints how many pixels have exactly
# that colour (within the region, if given).
colour_count() {
    local crop=()
    [ -n "${3:-}" ] && crop=(-crop "$3" +repage)
    convert "$1" "${crop[@]}" -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:round(mean*w*h)]' info:
}

# The program's blue 'Q' tray icon, found on screen by its light cyan field;
# sets icon_x and icon_y.
readonly TRAY_CYAN='#B1FFFF'
icon_x= icon_y=
icon_found() {
    local shot
    shot=$(screenshot probe) && read -r icon_x icon_y < <(find_colour "$shot" "$TRAY_CYAN")
}
icon_gone() { ! icon_found; }
# A balloon paints a white area above the icon.
balloon_shown() {
    local shot
    shot=$(screenshot probe) || return 1
    [ "$(colour_count "$shot" '#FFFFFF' "320x110+$((icon_x - 300))+$((icon_y - 120))")" -ge 3000 ]
}
balloon_absent() { ! balloon_shown; }

# click_at <x> <y> <button>: a real click (1 left, 2 middle, 3 right).
click_at() { xdotool mousemove --sync "$1" "$2" click "$3"; }

# wine_path <unix path>: the same path as a Windows program sees it.
wine_path() { winepath -w "$1" 2>/dev/null; }

# process_cpu_ticks <pid>: user plus system CPU time of a Linux process, in
# clock ticks (sysconf CLK_TCK, usually 100 per second).
process_cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# wineserver_pid: the pid of the wineserver of $WINEPREFIX (none: fails).
wineserver_pid() {
    local dir p
    dir=$(printf 'server-%x-%x' "0x$(stat -c %D "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    for p in /proc/[0-9]*; do
        case "$(cat "$p/comm" 2>/dev/null)" in wineserver*) ;; *) continue ;; esac
        [ "$(basename "$(readlink "$p/cwd" 2>/dev/null)")" = "$dir" ] && echo "${p#/proc/}" && return 0
    done
    return 1
}

# own_wine_process <pid>: the process is a Wine process of this test's prefix.
# Other prefixes on the machine run programs at the same Windows paths, and
# their processes look the same from here but for the prefix they carry.
own_wine_process() { tr '\0' '\n' <"/proc/$1/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; }

# kill_pid <pid>: ends one process (-pgid: a process group), asking first,
# forcing after 5 s.
kill_pid() {
    local pid=$1
    kill -0 -- "$pid" 2>/dev/null || return 0
    kill -- "$pid" 2>/dev/null || true
    wait_for 5 bash -c "! kill -0 -- $pid" || kill -9 -- "$pid" 2>/dev/null || true
    wait "${pid#-}" 2>/dev/null || true
}

# Ends, in order, the processes the test started (the last first), every Wine
# process of the prefix (wineserver -k: Wine's services, an installed program),
# and the private display.
e2e_cleanup() {
    local kind id
    [ -f "${E2E_OWNED:-}" ] || return 0
    for id in "${E2E_PIDS[@]}"; do kill_pid "$id"; done
    E2E_PIDS=()
    while read -r kind id; do
        case $kind in pid) kill_pid "$id" ;; group) kill_pid "-$id" ;; esac
    done < <(tac "$E2E_OWNED")
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    id=$(sed -n 's/^xvfb //p' "$E2E_OWNED")
    if [ -n "$id" ] && [ "$(cat "/proc/$id/comm" 2>/dev/null)" = Xvfb ] && [ "${E2E_KEEP_DISPLAY:-0}" != 1 ]; then
        kill_pid "$id"
    fi
    rm -f "$E2E_OWNED"
    E2E_XVFB_PID=
}

e2e_pass() { e2e_log "PASS"; }
e2e_fail() {
    e2e_log "FAIL: $*"
    exit 1
}
