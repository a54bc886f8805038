# Sourced, not run: prepares a Wine environment for the Windows build.
#   GLANCE_WINE_ROOT  folder that holds HOME and WINEPREFIX (isolated tests);
#                     unset: the caller's own HOME, its WINEPREFIX or else
#                     build/wine-run/prefix, and a display of this checkout's.
#   GLANCE_KEEP_WINE  1: glance_wine_end leaves everything running.
#   GLANCE_DISPLAYS   the X display numbers it may take (default 150-199), so
#                     that two checkouts on one machine keep apart.
# Starts Xvfb when there is no usable display, creates the 32-bit prefix on
# first use, and keeps one wineserver running for the session, until
# glance_wine_end (or `source scripts/wine-env.sh --end`, which starts nothing)
# ends the prefix's Wine processes and the Xvfb started here; or, however it
# ends (killed too), the process named by glance_wine_end_with.

export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# Each shell change notification would otherwise start a menu builder, and a
# fresh prefix would offer to install Mono and Gecko.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}

if [ -n "${GLANCE_WINE_ROOT:-}" ]; then
  mkdir -p "$GLANCE_WINE_ROOT"
  export HOME=$GLANCE_WINE_ROOT/home
  export WINEPREFIX=$GLANCE_WINE_ROOT/prefix
  export XDG_RUNTIME_DIR=$GLANCE_WINE_ROOT/run
  mkdir -p "$HOME/Desktop" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  glance_lock=$GLANCE_WINE_ROOT/.lock
  glance_state=$glance_lock
else
  # The caller's HOME (its Desktop is the one the program watches), with a
  # prefix and a display of this checkout's own: another checkout's run
  # neither shares its wineserver nor ends its Xvfb. The lock stays per user,
  # so that two checkouts never start an Xvfb on the same display number.
  glance_checkout=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  mkdir -p "$glance_checkout/build/wine-run"
  export WINEPREFIX=${WINEPREFIX:-$glance_checkout/build/wine-run/prefix}
  glance_lock=${TMPDIR:-/tmp}/glance-wine-$(id -u).lock
  glance_state=$glance_checkout/build/wine-run/state
fi

glance_display_ok() { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }

# Ends every Wine process of the prefix (the wineserver, Wine's services,
# programs still running) and, by its pid, the Xvfb that this shell started
# (with --end: that any call for this prefix started).
glance_wine_end() {
  [ "${GLANCE_KEEP_WINE:-0}" = 1 ] && return 0
  if [ -d "$WINEPREFIX" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  local pid=${glance_xvfb:-}
  [ -n "$pid" ] && [ "$pid" = "$(cat "${glance_state}.xvfb" 2>/dev/null)" ] || return 0
  if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "${glance_state}.xvfb" "${glance_state}.display"
  return 0
}
# glance_wine_end_with <pid>: glance_wine_end when that process ends, even
# killed (a trap would not run then), by a watchdog outside its process tree.
# The last process named for a prefix is the one that counts.
glance_wine_end_with() {
  [ "${GLANCE_KEEP_WINE:-0}" = 1 ] && return 0
  [ "$(cat "${glance_state}.watch" 2>/dev/null)" = "$1" ] && return 0
  echo "$1" >"${glance_state}.watch"
  (setsid bash -c 'tail --pid="$1" -f /dev/null
    [ "$(cat "$2.watch" 2>/dev/null)" = "$1" ] && rm -f "$2.watch" && source "$3" --end' \
    wine-watchdog "$1" "$glance_state" "${BASH_SOURCE[0]}" </dev/null >/dev/null 2>&1 9>&- &)
}
glance_xvfb=$(cat "${glance_state}.xvfb" 2>/dev/null || true)
if [ "${1:-}" = --end ]; then
  glance_wine_end
  return 0
fi

(
  flock 9
  if ! glance_display_ok; then
    # Reuse the display a previous call started, or start one. The saved
    # number counts only while its Xvfb is still the one started here: once
    # that has ended, another checkout may have taken the number.
    saved=${glance_state}.display
    pid=$(cat "${glance_state}.xvfb" 2>/dev/null || true)
    if [ -f "$saved" ] && [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] &&
      tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q "^Xvfb $(cat "$saved") " &&
      DISPLAY=$(cat "$saved") xdpyinfo >/dev/null 2>&1; then
      :
    else
      range=${GLANCE_DISPLAYS:-150-199}
      for n in $(seq "${range%-*}" "${range#*-}"); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
        # fd 9 is closed for Xvfb, or it would hold the lock for its whole life.
        setsid Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null 9>&- &
        echo $! > "${glance_state}.xvfb"
        for _ in $(seq 50); do DISPLAY=:$n xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
        echo ":$n" > "$saved"
        break
      done
    fi
  fi
) 9>"$glance_lock"
glance_display_ok || export DISPLAY=$(cat "${glance_state}.display")
# Only an Xvfb started by this call is this shell's to end.
[ "$(cat "${glance_state}.xvfb" 2>/dev/null || true)" != "$glance_xvfb" ] &&
  glance_xvfb=$(cat "${glance_state}.xvfb") || glance_xvfb=

(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating Wine prefix $WINEPREFIX ..." >&2
    wineboot -i >/dev/null 2>&1 9>&- || true
    wineserver -w 9>&-
  fi
  # Debian's Wine does not find its own fonts in /usr/share/wine/fonts, and
  # caption buttons then show Marlett's letters instead of its glyphs.
  fonts=$WINEPREFIX/drive_c/windows/Fonts
  if [ -d /usr/share/wine/fonts ] && [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts" && cp -n /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || true
  fi
) 9>"$glance_lock"
# A persistent wineserver saves a start-up per test program.
wineserver -p >/dev/null 2>&1 </dev/null || true
