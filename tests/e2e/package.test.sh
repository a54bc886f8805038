#!/usr/bin/env bash
# The packages as users get them. Builds, from the program under test, the
# MSI, the portable zip, their checksums and the winget manifest (and an
# older 6.99 installer from the same source), then, under Wine's msiexec:
# install, the installed program started and its start-up box ticked, an
# uninstall that leaves nothing behind, the same version installed twice, an
# uninstall while the program runs, and an upgrade over the older version.
#   bash package.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
# A prefix of its own: installs must not reach the other tests' prefix.
if [ -n "${GLANCE_WINE_ROOT:-}" ]; then export GLANCE_WINE_ROOT=$GLANCE_WINE_ROOT/package; fi
source "$(dirname "$0")/app.sh"
app_setup package "$@"
DIST=$(dirname "$APP_EXE")
PKG=$E2E_ARTIFACTS/package
readonly SHORTCUT_NAME="$APP_CAPTION.lnk"

# package <out dir> [package.sh options]: runs the packaging script on the
# program under test; its output is kept in <out dir>.log.
package() {
    local dir=$1
    shift
    rm -rf "$dir"
    bash "$E2E_REPO_DIR/scripts/package.sh" --no-build --dist "$DIST" --out "$dir" "$@" >"$dir.log" 2>&1
}
msi_property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }

# ---------------------------------------------------------------- the files
mkdir -p "$PKG"
package "$PKG/7.00" || e2e_fail "packaging failed: $(tail -5 "$PKG/7.00.log")"
package "$PKG/6.99" --version 6.99 || e2e_fail "packaging 6.99 failed: $(tail -5 "$PKG/6.99.log")"
MSI=$PKG/7.00/GlanceRefresher-7.00-x86.msi
OLD_MSI=$PKG/6.99/GlanceRefresher-6.99-x86.msi
ZIP=$PKG/7.00/GlanceRefresher-7.00-x86-portable.zip
[ -f "$MSI" ] && [ -f "$OLD_MSI" ] && [ -f "$ZIP" ] || e2e_fail "packages missing: $(ls "$PKG"/*)"
grep -q "unsigned" "$PKG/7.00.log" || e2e_fail "an unsigned build does not say so"

listing=$(unzip -Z1 "$ZIP" | sort | tr '\n' ' ')
[ "$listing" = "GlanceRefresher.exe HAND-M.CUR README.txt skins/slate.cjs.example " ] ||
    e2e_fail "the zip holds: $listing"
unzip -p "$ZIP" GlanceRefresher.exe | cmp -s - "$APP_EXE" || e2e_fail "the zip's exe is not the program built"
readme=$(unzip -p "$ZIP" README.txt)
grep -q $'^Lumenfold Live Shell Glance Refresher Utility 7.00, portable copy\r$' <<<"$readme" ||
    e2e_fail "README.txt has no title line with the version and Windows line ends"
(cd "$PKG/7.00" && sha256sum -c --strict SHA256SUMS >/dev/null) || e2e_fail "sha256sum -c SHA256SUMS failed"
[ "$(cut -d' ' -f3 "$PKG/7.00/SHA256SUMS" | tr '\n' ' ')" = "$(basename "$MSI") $(basename "$ZIP") " ] ||
    e2e_fail "SHA256SUMS lists: $(cat "$PKG/7.00/SHA256SUMS")"

# Per-user: no ALLUSERS, and the summary's word count says no elevation (bit 8).
[ -z "$(msi_property "$MSI" ALLUSERS)" ] || e2e_fail "the MSI sets ALLUSERS"
word_count=$(msiinfo suminfo "$MSI" | sed -nE 's/^Source: ([0-9]+).*/\1/p')
[ $((word_count & 8)) = 8 ] || e2e_fail "the MSI asks for elevation (word count $word_count)"
PRODUCT=$(msi_property "$MSI" ProductCode)
OLD_PRODUCT=$(msi_property "$OLD_MSI" ProductCode)
[ "$(msi_property "$MSI" UpgradeCode)" = "$(msi_property "$OLD_MSI" UpgradeCode)" ] ||
    e2e_fail "the two versions have different upgrade codes"
[ "$PRODUCT" != "$OLD_PRODUCT" ] || e2e_fail "the two versions share a product code"

manifests=$PKG/7.00/winget/manifests/q/Quillhaven/GlanceRefresher/7.00
installer=$manifests/Quillhaven.GlanceRefresher.installer.yaml
msi_sha=$(sha256sum "$MSI" | cut -d' ' -f1 | tr a-f A-F)
grep -qx "  InstallerSha256: '$msi_sha'" "$installer" || e2e_fail "the winget manifest has not the MSI's SHA-256"
grep -qx "ProductCode: '$PRODUCT'" "$installer" || e2e_fail "the winget manifest has not the MSI's product code"
grep -qx "Scope: user" "$installer" || e2e_fail "the winget manifest is not for a per-user install"
for file in "$manifests"/*.yaml; do
    grep -qx "ManifestVersion: 1.6.0" "$file" || e2e_fail "$(basename "$file") is not a 1.6.0 manifest"
    ! grep -q "@[A-Z_]*@" "$file" || e2e_fail "$(basename "$file") has an unfilled field"
done

# Signing: a throwaway certificate signs the exe and the MSI; a wrong password
# is a failed build, never a quietly unsigned one.
keys=$PKG/keys
mkdir -p "$keys"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillhaven test signing" \
    -addext extendedKeyUsage=codeSigning -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -passout pass:test-secret \
    -out "$keys/signing.pfx" 2>/dev/null
GLANCE_SIGN_CERT=$keys/signing.pfx GLANCE_SIGN_PASSWORD=test-secret package "$PKG/signed" ||
    e2e_fail "signed packaging failed: $(tail -5 "$PKG/signed.log")"
unzip -p "$PKG/signed/GlanceRefresher-7.00-x86-portable.zip" GlanceRefresher.exe >"$keys/exe-from-zip.exe"
for file in "$PKG/signed/GlanceRefresher-7.00-x86.msi" "$keys/exe-from-zip.exe"; do
    osslsigncode verify -CAfile "$keys/cert.pem" -in "$file" >"$keys/verify.log" 2>&1 ||
        e2e_fail "$(basename "$file") is not validly signed: $(tail -3 "$keys/verify.log")"
done
if GLANCE_SIGN_CERT=$keys/signing.pfx GLANCE_SIGN_PASSWORD=wrong package "$PKG/badpass"; then
    e2e_fail "packaging with a wrong certificate password succeeded"
fi
rm -rf "$keys" "$PKG/badpass"
e2e_log "packages built and checked"

# ---------------------------------------------------------------- under Wine
LOCAL_APPDATA=$(winepath -u "$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')")
APPDATA_DIR=$(winepath -u "$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')")
INSTALL_DIR=${LOCAL_APPDATA%/}/Programs/Quillhaven/GlanceRefresher
INSTALLED_EXE=$INSTALL_DIR/GlanceRefresher.exe
INSTALLED_EXE_WIN=$(wine_path "$INSTALLED_EXE")
SHORTCUT="${APPDATA_DIR%/}/Microsoft/Windows/Start Menu/Programs/$SHORTCUT_NAME"

MSIEXEC_RUNS=0
# msiexec_run <args...>: runs msiexec quietly, with a verbose log kept as an
# artifact; sets MSIEXEC_RC to its exit code (Wine passes on its low 8 bits).
msiexec_run() {
    MSIEXEC_RUNS=$((MSIEXEC_RUNS + 1))
    MSIEXEC_LOG=$E2E_NAME-msiexec$MSIEXEC_RUNS.log
    MSIEXEC_RC=0
    timeout 120 wine msiexec "$@" /qn /l*v "$(wine_path "$E2E_ARTIFACTS/$MSIEXEC_LOG")" \
        >>"$E2E_ARTIFACTS/$E2E_NAME-msiexec.out" 2>&1 </dev/null || MSIEXEC_RC=$?
}
msiexec_ok() {
    msiexec_run "$@"
    [ "$MSIEXEC_RC" = 0 ] || e2e_fail "msiexec $* returned $MSIEXEC_RC (log: $MSIEXEC_LOG)"
}

# arp_entries: one line "version|publisher|install location" per Add/Remove
# Programs entry of the product. Windows keeps a per-user MSI's entry for
# the user; Wine files it under HKLM: both are read.
arp_entries() {
    {
        wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null || true
        wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null || true
    } | tr -d '\r' | awk -F'    ' -v product="$APP_CAPTION" '
        function flush() { if (name == product) print version "|" publisher "|" location }
        /^HKEY_/ { flush(); name = version = publisher = location = "" }
        $2 == "DisplayName" { name = $4 }
        $2 == "DisplayVersion" { version = $4 }
        $2 == "Publisher" { publisher = $4 }
        $2 == "InstallLocation" { location = $4 }
        END { flush() }'
}
# The icon Windows Installer keeps for the entry (ARPPRODUCTICON).
arp_icon() {
    wine reg query 'HKCU\Software\Microsoft\Installer\Products' /s 2>/dev/null | tr -d '\r' |
        awk -F'    ' -v product="$APP_CAPTION" '
            /^HKEY_/ { if (name == product) exit; name = icon = "" }
            $2 == "ProductName" { name = $4 }
            $2 == "ProductIcon" { icon = $4 }
            END { if (name == product) print icon }'
}
same_as_program_icon() { [ -n "$1" ] && cmp -s "$(winepath -u "$1")" "$E2E_REPO_DIR/res/GlanceRefresher.ico"; }
installed_run_value() { [ "$(run_value)" = "\"$INSTALLED_EXE_WIN\"" ]; }
nothing_installed() {
    [ ! -e "$INSTALL_DIR" ] && [ ! -e "$(dirname "$INSTALL_DIR")" ] && [ ! -e "$SHORTCUT" ] &&
        [ -z "$(arp_entries)" ] && ! wine reg query 'HKCU\Software\Quillhaven' >/dev/null 2>&1
}

# A prefix kept from an earlier run may still hold an install.
msiexec_run /x "$MSI"
msiexec_run /x "$OLD_MSI"
rm -rf "$(dirname "$INSTALL_DIR")"
nothing_installed || e2e_fail "an earlier install could not be removed"

# 1. Install; the program runs from the per-user folder; tick "Load this
#    software on Windows startup"; close it; uninstall: nothing is left.
msiexec_ok /i "$MSI"
[ -f "$INSTALLED_EXE" ] || e2e_fail "no $INSTALLED_EXE"
cmp -s "$INSTALLED_EXE" "$APP_EXE" || e2e_fail "the installed exe is not the program built"
cmp -s "$INSTALL_DIR/HAND-M.CUR" "$DIST/HAND-M.CUR" || e2e_fail "HAND-M.CUR is not installed beside the exe"
[ "$(ls "$INSTALL_DIR" | tr '\n' ' ')" = "GlanceRefresher.exe HAND-M.CUR " ] ||
    e2e_fail "the install folder holds: $(ls "$INSTALL_DIR")"
[ -f "$SHORTCUT" ] || e2e_fail "no Start-menu shortcut $SHORTCUT"
shortcut_text=$(strings -a "$SHORTCUT")
grep -qxF "$INSTALLED_EXE_WIN" <<<"$shortcut_text" || e2e_fail "the shortcut does not start $INSTALLED_EXE_WIN"
shortcut_icon=$(strings -a -el "$SHORTCUT" | grep -oE '[A-Z]:\\.*\.ico$' || true)
same_as_program_icon "$shortcut_icon" || e2e_fail "the shortcut's icon ($shortcut_icon) is not the program icon"
entries=$(arp_entries)
[ "$entries" = "7.00|Quillhaven|$(wine_path "$INSTALL_DIR")\\" ] ||
    e2e_fail "Add/Remove Programs entries: ${entries:-none}"
same_as_program_icon "$(arp_icon)" || e2e_fail "the Add/Remove Programs icon ($(arp_icon)) is not the program icon"

APP_EXE=$INSTALLED_EXE app_start
e2e_log "installed program: $(screenshot installed-window)"
click_check "Load this software on Windows startup"
wait_for 5 installed_run_value || e2e_fail "the Run value is $(run_value), not the installed exe"
click_caption_button close
wait_for 10 app_ended || e2e_fail "the close box did not end the installed program"
msiexec_ok /x "$MSI"
nothing_installed || e2e_fail "the uninstall left files, the shortcut, the entry or the installer's key: \
$(find "$(dirname "$INSTALL_DIR")" 2>/dev/null) $(arp_entries)"
run_value_absent || e2e_fail "the uninstall left the Run value: $(run_value)"
# The settings stay, and agree with the removed entry.
setting_is "Windows Startup" Off || e2e_fail "Windows Startup is $(setting "Windows Startup") after the uninstall"

# 2. The same version twice is one entry. An uninstall while the program runs
#    hidden in the tray closes it; another copy's start-up entry stays.
msiexec_ok /i "$MSI"
msiexec_ok /i "$MSI"
[ "$(arp_entries | wc -l)" = 1 ] || e2e_fail "installing twice gave entries: $(arp_entries)"
wine reg add "$SETTINGS_KEY" /v Minimized /d On /f >/dev/null 2>&1
APP_EXE=$INSTALLED_EXE app_start hidden
portable_command='"C:\Tools\GlanceRefresher\GlanceRefresher.exe"'
wine reg add "$RUN_KEY" /v "$APP_CAPTION" /d "$portable_command" /f >/dev/null 2>&1
msiexec_ok /x "$PRODUCT"
wait_for 10 app_ended || e2e_fail "the uninstall did not close the running program"
wait_for 10 icon_gone || e2e_fail "the program closed by the uninstall left its tray icon"
nothing_installed || e2e_fail "the uninstall of a running program left: $(find "$INSTALL_DIR" 2>/dev/null)"
[ "$(run_value)" = "$portable_command" ] || e2e_fail "the portable copy's Run value became $(run_value)"
wine reg delete "$RUN_KEY" /v "$APP_CAPTION" /f >/dev/null 2>&1

# 3. 7.00 over 6.99 replaces it and keeps its start-up entry; 6.99 over 7.00
#    is refused.
msiexec_ok /i "$OLD_MSI"
[ "$(arp_entries | cut -d'|' -f1)" = 6.99 ] || e2e_fail "after installing 6.99: $(arp_entries)"
# What ticking the start-up box in 6.99 leaves.
wine reg add "$RUN_KEY" /v "$APP_CAPTION" /d "\"$INSTALLED_EXE_WIN\"" /f >/dev/null 2>&1
wine reg add "$SETTINGS_KEY" /v "Windows Startup" /d On /f >/dev/null 2>&1
msiexec_ok /i "$MSI"
[ "$(arp_entries | cut -d'|' -f1 | tr '\n' ' ')" = "7.00 " ] || e2e_fail "after the upgrade: $(arp_entries)"
cmp -s "$INSTALLED_EXE" "$APP_EXE" || e2e_fail "the upgrade left no program"
installed_run_value || e2e_fail "the upgrade changed the Run value to $(run_value)"
setting_is "Windows Startup" On || e2e_fail "the upgrade changed Windows Startup to $(setting "Windows Startup")"
msiexec_run /i "$OLD_MSI"
[ "$MSIEXEC_RC" != 0 ] || e2e_fail "6.99 installed over 7.00"
[ "$(arp_entries | cut -d'|' -f1 | tr '\n' ' ')" = "7.00 " ] || e2e_fail "after the refused downgrade: $(arp_entries)"
msiexec_ok /x "$MSI"
nothing_installed || e2e_fail "the last uninstall left something: $(arp_entries)"
run_value_absent || e2e_fail "the last uninstall left the Run value"
e2e_pass
