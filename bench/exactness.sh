#!/usr/bin/env bash
# The count against the truth, step by step, on the real program under Wine:
# after each step the broadcasts it gave beside what the number of items did,
# and a full listing forced now and then (the folder's time moved): a broadcast
# there means the count had drifted from the truth.
#   bash bench/exactness.sh [exe]   (default: this tree's build)
set -uo pipefail
exe=$(realpath "${1:-$(dirname "$0")/../build/mingw/dist/GlanceRefresher.exe}")
cd "$(dirname "$0")/.."
export GLANCE_WINE_ROOT=${GLANCE_WINE_ROOT:-$PWD/build/wine-exactness}
source scripts/wine-env.sh >/dev/null 2>&1
source tests/e2e/lib.sh
E2E_NAME=exactness
settings='HKCU\Software\VB and VBA Program Settings\Quillhaven\Lumenfold Live Shell Glance Refresher Utility'
wine reg add "$settings" /v StartStopState /d On /f >/dev/null 2>&1
user=$HOME/Desktop public=$WINEPREFIX/drive_c/users/Public/Desktop
mkdir -p "$user" "$public"; find "$user" "$public" -mindepth 1 -delete
touch "$user/doc.txt" "$user/o1.txt" "$user/o2.txt" "$public/shared.lnk"
log=$GLANCE_WINE_ROOT/exactness.log
WINEDEBUG=trace+shell wine "$exe" >"$log" 2>&1 </dev/null &
pid=$!
until xdotool search --onlyvisible --name '^Lumenfold' >/dev/null 2>&1; do sleep 0.1; done
sleep 3
n() { grep -c 'SHChangeNotify (0x08000000' "$log"; }
step() { # step <description> <expected broadcasts> <command...>
    local what=$1 want=$2 before; shift 2
    before=$(n); "$@"; sleep 2.5
    printf '%-62s broadcasts %s (truth: %s)\n' "$what" $(($(n) - before)) "$want"
}
drift() { # a listing forced by moving the folder's time: a broadcast means the count had drifted
    local before; before=$(n); touch -d '2001-02-03 04:05:06' "$1"; sleep 4
    printf '%-62s broadcasts %s (0: the count was exact)\n' "forced full listing of $(basename "$(dirname "$1")")/$(basename "$1")" $(($(n) - before))
}
step "touch a (one-character file)" 1 touch "$user/a"
step "mkdir d (one-character folder)" 1 mkdir "$user/d"
step "rm a" 1 rm "$user/a"
step "touch p on the all-users desktop" 1 touch "$public/p"
drift "$user"; drift "$public"
save() { echo "v$1" >"$user/doc.txt.tmp"; sleep 0.5; mv -f "$user/doc.txt.tmp" "$user/doc.txt"; }
for i in 1 2 3; do step "save $i through a temporary file renamed over doc.txt" "2 (+1, then back)" save $i; done
step "mv o1.txt o2.txt (o2.txt there: one item fewer)" 1 mv -f "$user/o1.txt" "$user/o2.txt"
touch "$WINEPREFIX/drive_c/elsewhere.txt"
step "a file moved in over doc.txt (no change in number)" 0 mv -f "$WINEPREFIX/drive_c/elsewhere.txt" "$user/doc.txt"
drift "$user"
mkdir -p "$GLANCE_WINE_ROOT/link-target"
step "ln -s to a folder (listed as a folder)" 1 ln -s "$GLANCE_WINE_ROOT/link-target" "$user/folder-link"
step "ln -s to nothing (a dangling link)" "0 under Wine (a search skips it)" ln -s /nonexistent "$user/dangling"
step "rm the folder link" 1 rm "$user/folder-link"
drift "$user"
kill_pid "$pid"
glance_wine_end >/dev/null 2>&1 || true
