#!/usr/bin/env bash
# No DLL from beside the exe. The program is run from a folder that also
# holds a DLL under the name of every DLL the program loads (the way a
# Downloads folder may): each is a few lines of C whose start-up code leaves
# a marker file. The program must start, show its window and tray icon,
# switch on, count and broadcast as usual, and no marker may appear. Then the
# exe's import table must name only DLLs that Windows always takes from
# System32 (its KnownDLLs), since those loads happen before WinMain runs.
#   bash app_dll_planting.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/app.sh"
app_setup dll "$@"

readonly CC=i686-w64-mingw32-gcc OBJDUMP=i686-w64-mingw32-objdump
command -v "$CC" >/dev/null || e2e_fail "no $CC to build the planted DLL"
command -v "$OBJDUMP" >/dev/null || e2e_fail "no $OBJDUMP to read the import table"

work=$GLANCE_WINE_ROOT/dll-planting
rm -rf "$work"
mkdir -p "$work"
# Only kernel32, so that it loads under any name, msvcrt.dll included.
cat >"$work/plant.c" <<'EOF'
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    char path[MAX_PATH + 8];
    DWORD n;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    n = GetModuleFileNameA(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return TRUE;
    lstrcatA(path, ".loaded");
    CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    return TRUE;
}
EOF
"$CC" -shared -O2 -s -nostdlib -Wl,-e,_DllMain@12 -o "$work/plant.dll" "$work/plant.c" -lkernel32 ||
    e2e_fail "the planted DLL did not build"

# The marker works: a DLL loaded by its path leaves one.
mkdir "$work/control"
cp "$work/plant.dll" "$work/control/probe-plant.dll"
wine rundll32.exe "$(wine_path "$work/control/probe-plant.dll")",Entry >/dev/null 2>&1 </dev/null || true
wait_for 10 test -f "$work/control/probe-plant.dll.loaded" || e2e_fail "a loaded plant leaves no marker"

# program_folder <name>: a copy of the program's folder as a user has it.
program_folder() {
    local dir=$work/$1
    mkdir -p "$dir"
    cp "$APP_EXE" "$dir/"
    if [ -f "$(dirname "$APP_EXE")/HAND-M.CUR" ]; then cp "$(dirname "$APP_EXE")/HAND-M.CUR" "$dir/"; fi
    echo "$dir/$(basename "$APP_EXE")"
}

# run_program <exe>: starts it with loads and broadcasts traced, waits for
# the window and icon, switches on, sees a new file and the force button
# broadcast, and closes it with the close box. Settings start empty.
run_program() {
    wine reg delete 'HKCU\Software\VB and VBA Program Settings\Quillhaven' /f >/dev/null 2>&1 || true
    find "$USER_DESKTOP" "$PUBLIC_DESKTOP" -mindepth 1 -delete
    APP_RUNS=$((APP_RUNS + 1))
    APP_LOG=$E2E_ARTIFACTS/$E2E_NAME-run$APP_RUNS.log
    WINEDEBUG=+loaddll,trace+shell wine "$1" >"$APP_LOG" 2>&1 </dev/null &
    APP_PID=$!
    E2E_PIDS+=("$APP_PID")
    wait_for 30 window_shown || e2e_fail "the program's window did not appear (run $APP_RUNS)"
    wait_for 20 icon_found || e2e_fail "no tray icon (run $APP_RUNS)"
    click_control "Turn On"
    wait_for 5 control_shown "Turn Off" || e2e_fail "the switch did not turn on (run $APP_RUNS)"
    touch "$USER_DESKTOP/download.pdf"
    wait_for 4 broadcasts_at_least 1 || e2e_fail "no broadcast for a new file (run $APP_RUNS)"
    click_control "Update Icons On Desktop Now (Test)"
    wait_for 3 broadcasts_at_least 2 || e2e_fail "the force button did not broadcast (run $APP_RUNS)"
    e2e_log "run $APP_RUNS: $(screenshot "run$APP_RUNS")"
    click_caption_button close
    wait_for 10 app_ended || e2e_fail "the close box did not end the program (run $APP_RUNS)"
}

# dll_names <log>: the base names of the DLLs that the loader took from the
# Windows folder, lower case.
dll_names() {
    grep -aoE 'trace:loaddll:.*Loaded L"C:\\\\windows\\\\[^"]+"' "$1" |
        sed -E 's/.*\\\\([^\\"]+)"$/\1/' | tr '[:upper:]' '[:lower:]' | grep -E '\.dll$' | sort -u
}

# What the program loads in a clean folder, whatever the Wine version.
run_program "$(program_folder clean)"
loaded=$(dll_names "$APP_LOG")
e2e_log "loaded from the system: $(tr '\n' ' ' <<<"$loaded")"
grep -qx 'shell32.dll' <<<"$loaded" || e2e_fail "the clean run did not load shell32.dll; the load trace is not read"

# Planted: every one of those, and the names that matter on Windows even when
# this Wine does not load them (shcore behind shell32, comctl32 beside the
# manifest, and what the shell and the themes load later).
planted_exe=$(program_folder planted)
planted=$(dirname "$planted_exe")
names=$( (
    echo "$loaded"
    printf '%s\n' shcore.dll shlwapi.dll shell32.dll comctl32.dll uxtheme.dll dwmapi.dll version.dll \
        msimg32.dll propsys.dll msctf.dll userenv.dll profapi.dll cryptbase.dll windows.storage.dll
) | sort -u)
for name in $names; do cp "$work/plant.dll" "$planted/$name"; done
e2e_log "planted $(wc -w <<<"$names") DLLs beside the exe"

run_program "$planted_exe"
markers=$(find "$planted" -maxdepth 1 -name '*.loaded' -printf '%f\n')
[ -z "$markers" ] || e2e_fail "a DLL planted beside the exe was loaded: $(tr '\n' ' ' <<<"$markers")"
# Wine names the file it found in the search even when it maps its own
# builtin in its place; only a "native" load ran the planted code.
native=$(grep -aE 'trace:loaddll:.*Loaded L".*\\\\planted\\\\[^"]+\.dll" at [0-9A-F]+: native' "$APP_LOG" || true)
[ -z "$native" ] || e2e_fail "the loader took a DLL from beside the exe: $native"
wine_loaded=$(dll_names "$APP_LOG")
grep -qx 'shell32.dll' <<<"$wine_loaded" || e2e_fail "the planted run did not load the system's shell32.dll"

# The import table: KnownDLLs of Windows 10 and 11 only (the 32-bit list).
known="advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt
normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32"
imports=$("$OBJDUMP" -p "$APP_EXE" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
e2e_log "the exe imports: $(tr '\n' ' ' <<<"$imports")"
[ -n "$imports" ] || e2e_fail "no import table read from $APP_EXE"
for dll in $imports; do
    grep -qw -- "${dll%.dll}" <<<"$known" || e2e_fail "the exe imports $dll, which is not a KnownDLL"
done
e2e_pass
