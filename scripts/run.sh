#!/usr/bin/env bash
# Builds GlanceRefresher.exe and runs it under Wine inside a Windows-like
# virtual desktop (with a taskbar and notification area). Without a display it
# starts Xvfb; watch it with a VNC server on that display or take screenshots
# with `import -window root shot.png`. Stop it with Ctrl+C or `wineserver -k`.
# The Wine prefix (build/wine-run/prefix unless WINEPREFIX is set) and the
# display belong to this checkout. When the program ends, so do Wine's
# processes of the prefix and the Xvfb started here (GLANCE_KEEP_WINE=1
# keeps them).
set -euo pipefail
cd "$(dirname "$0")/.."

# A first run installs what is missing, builds the program and creates the
# Wine prefix, which takes minutes: say so before the first silent wait.
if [ ! -f build/mingw/dist/GlanceRefresher.exe ] ||
    [ ! -f "${WINEPREFIX:-build/wine-run/prefix}/system.reg" ]; then
    echo "First run in this checkout: it installs what is missing, builds the program and creates" \
        "a Wine prefix, which takes a few minutes (over two on a fresh machine). Later runs start in seconds."
fi
bash scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target GlanceRefresher -j "$(nproc 2>/dev/null || echo 2)"

source scripts/wine-env.sh
echo "Display $DISPLAY, Wine prefix $WINEPREFIX"
echo "Running build/mingw/dist/GlanceRefresher.exe; stop with Ctrl+C or 'WINEPREFIX=$WINEPREFIX wineserver -k'"
# A virtual desktop with the shell (taskbar, notification area) switched on.
wine reg add 'HKCU\Software\Wine\Explorer\Desktops\Glance' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null 2>&1
trap glance_wine_end INT TERM EXIT
wine explorer /desktop=Glance,1024x768 build/mingw/dist/GlanceRefresher.exe
