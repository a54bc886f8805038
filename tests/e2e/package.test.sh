#!/usr/bin/env bash
# The packages as users get them. Builds, from the program under test, both
# MSIs, the portable zip, the SBOM, their checksums and the winget manifest
# (and older 6.99 installers from the same source); rebuilds the exe and the
# packages from a copy of the sources elsewhere, with the clock a year on,
# and compares the bytes; checks the MSIs' tables against the validation
# rules, and the checker against faults put into copies of them; signs
# everything with a throwaway key, on a SoftHSM2 token through PKCS#11 and
# time-stamped by a local RFC 3161 server, and from a .pfx. Then, under Wine's
# msiexec: install, the installed program started and its start-up box
# ticked, an uninstall that leaves nothing behind, the same version
# installed twice, an uninstall while the program runs, an upgrade over the
# older version that starts the closed program again, a rebuild of the same
# version over the installed one, and the per-machine installer beside the
# per-user one.
#   bash package.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
# A prefix of its own: installs must not reach the other tests' prefix.
if [ -n "${GLANCE_WINE_ROOT:-}" ]; then export GLANCE_WINE_ROOT=$GLANCE_WINE_ROOT/package; fi
source "$(dirname "$0")/app.sh"
app_setup package "$@"
DIST=$(dirname "$APP_EXE")
PKG=$E2E_ARTIFACTS/package
readonly SHORTCUT_NAME="$APP_CAPTION.lnk"
readonly NAMES="GlanceRefresher-7.00-x86.msi GlanceRefresher-7.00-x86-machine.msi \
GlanceRefresher-7.00-x86-portable.zip GlanceRefresher-7.00-x86.cdx.json"

# package <out dir> [package.sh options]: runs the packaging script on the
# program under test; its output is kept in <out dir>.log.
package() {
    local dir=$1
    shift
    rm -rf "$dir"
    bash "$E2E_REPO_DIR/scripts/package.sh" --no-build --dist "$DIST" --out "$dir" "$@" >"$dir.log" 2>&1
}
msi_property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }

# The second build, in the background while the packages are checked and
# installed: the sources copied elsewhere, built in another folder and
# packaged with the clock a year on. SOURCE_DATE_EPOCH is the commit's (the
# copy has no history), for the build's copyright year too. Its processes
# form a group of their own, ended with the test.
mkdir -p "$PKG"
EPOCH=$(git -C "$E2E_REPO_DIR" log -1 --format=%ct)
rebuild=$PKG/rebuild
rm -rf "$rebuild" && mkdir -p "$rebuild/src"
(cd "$E2E_REPO_DIR" && tar -c --exclude=./build --exclude=./.git .) | tar -x -C "$rebuild/src"
setsid bash -c 'export SOURCE_DATE_EPOCH=$2 && cd "$1" && faketime -f +400d cmake -S src -B build -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$1/src/cmake/mingw-i686.cmake" -DGLANCE_GTEST_SOURCE=/none >/dev/null &&
    faketime -f +400d nice -n 10 cmake --build build --target GlanceRefresher GlanceSetupActions -j 2 >/dev/null &&
    faketime -f +400d bash src/scripts/package.sh --no-build --dist build/dist --out out' \
    rebuild "$rebuild" "$EPOCH" >"$rebuild.log" 2>&1 </dev/null &
REBUILD_PID=$!
e2e_own group "$REBUILD_PID"

# ---------------------------------------------------------------- the files
RELEASE_URL='https://downloads.quillhaven.com/glance/7.00?channel=stable&x=1'
GLANCE_RELEASE_URL=$RELEASE_URL package "$PKG/7.00" || e2e_fail "packaging failed: $(tail -5 "$PKG/7.00.log")"
# A throwaway code-signing key: in a .pfx, which signs 6.99 without a time
# stamp, and on a SoftHSM2 token; and a time-stamping authority's.
keys=$PKG/keys
rm -rf "$keys" && mkdir -p "$keys/tokens"
for row in "signing codeSigning" "tsa critical,timeStamping"; do
    read -r name usage <<<"$row"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillhaven test $name" \
        -addext "extendedKeyUsage=$usage" -keyout "$keys/$name.key" -out "$keys/$name.pem" 2>/dev/null
done
openssl pkcs12 -export -inkey "$keys/signing.key" -in "$keys/signing.pem" -passout pass:test-secret \
    -out "$keys/signing.pfx" 2>/dev/null
export SOFTHSM2_CONF=$keys/softhsm2.conf
echo "directories.tokendir = $keys/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label glance-release --pin 2468 --so-pin 1357 >/dev/null &&
    softhsm2-util --import "$keys/signing.key" --token glance-release --label signing --id 01 --pin 2468 \
        >/dev/null || e2e_fail "the SoftHSM2 token could not be made"
GLANCE_SIGN_CERT=$keys/signing.pfx GLANCE_SIGN_PASSWORD=test-secret package "$PKG/6.99" --version 6.99 ||
    e2e_fail "packaging 6.99 failed: $(tail -5 "$PKG/6.99.log")"
MSI=$PKG/7.00/GlanceRefresher-7.00-x86.msi
MACHINE_MSI=$PKG/7.00/GlanceRefresher-7.00-x86-machine.msi
OLD_MSI=$PKG/6.99/GlanceRefresher-6.99-x86.msi
OLD_MACHINE_MSI=$PKG/6.99/GlanceRefresher-6.99-x86-machine.msi
ZIP=$PKG/7.00/GlanceRefresher-7.00-x86-portable.zip
SBOM=$PKG/7.00/GlanceRefresher-7.00-x86.cdx.json
grep -q "unsigned" "$PKG/7.00.log" || e2e_fail "an unsigned build does not say so"

listing=$(unzip -Z1 "$ZIP" | sort | tr '\n' ' ')
[ "$listing" = "GlanceRefresher.exe HAND-M.CUR README.txt skins/slate.cjs.example " ] ||
    e2e_fail "the zip holds: $listing"
unzip -p "$ZIP" GlanceRefresher.exe | cmp -s - "$APP_EXE" || e2e_fail "the zip's exe is not the program built"
readme=$(unzip -p "$ZIP" README.txt)
grep -q $'^Lumenfold Live Shell Glance Refresher Utility 7.00, portable copy\r$' <<<"$readme" ||
    e2e_fail "README.txt has no title line with the version and Windows line ends"
# Every entry is dated the last commit (in UTC, as zip keeps local times, to
# the even second above, as zip keeps every other second).
[ "$(TZ=UTC unzip -Z -T "$ZIP" | awk '/^-/ { print $7 }' | sort -u)" = \
    "$(TZ=UTC date -d "@$((EPOCH + EPOCH % 2))" +%Y%m%d.%H%M%S)" ] ||
    e2e_fail "the zip's entries are not dated the last commit: $(unzip -Z -T "$ZIP")"
(cd "$PKG/7.00" && sha256sum -c --strict SHA256SUMS >/dev/null) || e2e_fail "sha256sum -c SHA256SUMS failed"
[ "$(cut -d' ' -f3 "$PKG/7.00/SHA256SUMS" | tr '\n' ' ')" = "$NAMES " ] ||
    e2e_fail "SHA256SUMS lists: $(cat "$PKG/7.00/SHA256SUMS")"

# Per-user: no ALLUSERS, and the summary's word count says no elevation (bit
# 8). Per-machine: ALLUSERS=1, elevation asked for.
[ -z "$(msi_property "$MSI" ALLUSERS)" ] || e2e_fail "the per-user MSI sets ALLUSERS"
word_count() { msiinfo suminfo "$1" | sed -nE 's/^Source: ([0-9]+).*/\1/p'; }
[ $(($(word_count "$MSI") & 8)) = 8 ] || e2e_fail "the per-user MSI asks for elevation"
[ "$(msi_property "$MACHINE_MSI" ALLUSERS)" = 1 ] || e2e_fail "the per-machine MSI does not set ALLUSERS=1"
[ $(($(word_count "$MACHINE_MSI") & 8)) = 0 ] || e2e_fail "the per-machine MSI asks for no elevation"
PRODUCT=$(msi_property "$MSI" ProductCode)
MACHINE_PRODUCT=$(msi_property "$MACHINE_MSI" ProductCode)
[ "$(msi_property "$MSI" UpgradeCode)" = "$(msi_property "$OLD_MSI" UpgradeCode)" ] ||
    e2e_fail "the two versions have different upgrade codes"
[ "$(msi_property "$MSI" UpgradeCode)" != "$(msi_property "$MACHINE_MSI" UpgradeCode)" ] ||
    e2e_fail "the per-user and per-machine products share an upgrade code"
[ "$PRODUCT" != "$(msi_property "$OLD_MSI" ProductCode)" ] || e2e_fail "the two versions share a product code"

# The tables against Windows Installer's validation rules.
for file in "$MSI" "$MACHINE_MSI"; do
    tables=$PKG/tables-$(basename "$file" .msi)
    rm -rf "$tables" && mkdir -p "$tables"
    (cd "$tables" && msidump -t "$file" >/dev/null) || e2e_fail "msidump failed on $file"
    breaches=$(python3 "$E2E_LIB_DIR/msi_rules.py" "$tables") || e2e_fail "$(basename "$file"): $breaches"
done
# Each fault put into a copy of the real tables is caught, by its rule.
python3 - "$E2E_LIB_DIR" "$PKG"/tables-GlanceRefresher-7.00-x86{-machine,} <<'PY' >&2 || e2e_fail "the table rules missed a fault"
import copy, sys
sys.path.insert(0, sys.argv[1])
from msi_rules import check, load
machine, user = load(sys.argv[2]), load(sys.argv[3])
row = lambda t, table, **match: next(r for r in t[table] if all(r[k] == v for k, v in match.items()))
FAULTS = [  # (tables, fault, the rule that must catch it, how it is put in)
    (machine, "a deferred action after InstallFinalize", "ICE77",
     lambda t: row(t, "InstallExecuteSequence", Action="KeepRunValue").update(Sequence="6700")),
    (machine, "an HKCU value in the Program Files component", "ICE57",
     lambda t: t["Registry"].append(dict(t["Registry"][0], Registry="hkcu", Root="1", Component_="Program"))),
    (machine, "the upgrade property not secure", "ICE61",
     lambda t: row(t, "Property", Property="SecureCustomProperties").update(Value="WIX_DOWNGRADE_DETECTED")),
    (machine, "a duplicate component GUID", "ICE08",
     lambda t: t["Component"][1].update(ComponentId=t["Component"][0]["ComponentId"])),
    (machine, "the rollback action left immediate", "CustomActionData",
     lambda t: row(t, "CustomAction", Action="RestoreRunValue").update(Type="65")),
    (machine, "an immediate action without impersonation", "ICE68",
     lambda t: row(t, "CustomAction", Action="PrepareCloseAndRestart").update(Type="2113")),
    (machine, "the exe without a File.Version", "File.Version",
     lambda t: row(t, "File", File="GlanceRefresher.exe").update(Version="")),
    (machine, "the feature without Absent=disallow", "Absent", lambda t: t["Feature"][0].update(Attributes="0")),
    (machine, "no ARPHELPLINK", "ARPHELPLINK", lambda t: t["Property"].remove(row(t, "Property", Property="ARPHELPLINK"))),
    (user, "a profile component keyed on its file", "ICE38",
     lambda t: row(t, "Component", Component="Program").update(KeyPath="GlanceRefresher.exe")),
    (user, "a profile folder not removed", "ICE64", lambda t: t["RemoveFile"].pop()),
    (user, "the restart run as SYSTEM", "ICE105",
     lambda t: row(t, "CustomAction", Action="StartClosedCopies").update(Type="3137")),
    (machine, "a user's entry removed as SYSTEM on an RD host", "TSAware",
     lambda t: row(t, "CustomAction", Action="RemoveRunValue").update(Type="1089")),
]
missed = 0
for tables, fault, rule, inject in FAULTS:
    faulty = copy.deepcopy(tables)
    inject(faulty)
    caught = [breach for breach in check(faulty) if breach.startswith(rule)]
    missed += not caught
    print(f"{fault:46} {caught[0] if caught else 'MISSED'}")
sys.exit(missed)
PY

# The SBOM names the exe and the custom-action DLL shipped (the DLL as the
# MSI carries it), the runtime their link maps show, the tools, at the
# versions the build machine's packages have; and it passes the official
# CycloneDX schema, with SPDX licence expressions (npm packages, installed once).
python3 - "$SBOM" "$(sha256sum "$APP_EXE" | cut -d' ' -f1)" \
    "$(sha256sum "$PKG/tables-GlanceRefresher-7.00-x86/Binary/Binary.GlanceSetupActions" | cut -d' ' -f1)" <<'PY' ||
import json, subprocess, sys
bom = json.load(open(sys.argv[1]))
parts = {c["name"]: c for c in bom["components"] + bom["metadata"]["tools"]["components"]}
exe, dll = bom["metadata"]["component"], parts["GlanceSetupActions.dll"]
assert exe["hashes"][0]["content"] == sys.argv[2] and dll["hashes"][0]["content"] == sys.argv[3]
assert exe["purl"] and exe["licenses"] and {"libstdc++.a", "libmingwex.a", "crt2.o", "binutils-mingw-w64-i686"} <= set(parts)
assert {"dllcrt2.o", "libmsi.a"} <= {ref.split(":")[1] for d in bom["dependencies"] if d["ref"] == dll["bom-ref"]
                                     for ref in d["dependsOn"]}
for c in bom["components"] + bom["metadata"]["tools"]["components"]:
    if c is not dll:
        installed = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", c["properties"][0]["value"]],
                                   capture_output=True, text=True)
        assert c["version"] == installed.stdout, c
PY
    e2e_fail "the SBOM is wrong: $(head -c 600 "$SBOM")"
NODE_MODULES=$(dirname "$E2E_ARTIFACTS")/npm/node_modules
[ -d "$NODE_MODULES/ajv-formats-draft2019" ] || npm install --prefix "$(dirname "$NODE_MODULES")" --no-save \
    --no-audit --no-fund @cyclonedx/cyclonedx-library@10.3.0 ajv@8.20.0 ajv-formats@3.0.1 \
    ajv-formats-draft2019@1.6.1 spdx-expression-parse@4.0.0 >"$PKG/npm.log" 2>&1 || e2e_fail "npm: $(tail -3 "$PKG/npm.log")"
node "$E2E_LIB_DIR/sbom_schema.js" "$NODE_MODULES" "$SBOM" >&2 || e2e_fail "the SBOM does not pass the CycloneDX schema"


manifests=$PKG/7.00/winget/manifests/q/Quillhaven/GlanceRefresher/7.00
installers=$(tr -d "'" <"$manifests/Quillhaven.GlanceRefresher.installer.yaml")
for row in "user $MSI $PRODUCT" "machine $MACHINE_MSI $MACHINE_PRODUCT"; do
    read -r scope file code <<<"$row"
    # The installer's entry: from its scope to the next installer.
    entry=$(awk -v s="  Scope: $scope" '$0 == s { on = 1 } on && /^- / { exit } on' <<<"$installers")
    grep -qx "  InstallerSha256: $(sha256sum "$file" | cut -d' ' -f1 | tr a-f A-F)" <<<"$entry" &&
        grep -qx "  ProductCode: $code" <<<"$entry" &&
        grep -qxF "  InstallerUrl: ${RELEASE_URL%%\?*}/$(basename "$file")?${RELEASE_URL#*\?}" <<<"$entry" || e2e_fail "the winget manifest's $scope installer: $entry"
done
for file in "$manifests"/*.yaml; do
    grep -qx "ManifestVersion: 1.6.0" "$file" || e2e_fail "$(basename "$file") is not a 1.6.0 manifest"
    ! grep -q "@[A-Z_]*@" "$file" || e2e_fail "$(basename "$file") has an unfilled field"
done

# Signing: 7.00 with the key on the token, time-stamped; every signature
# verifies with its time stamp, and so does SHA256SUMS.p7s. A wrong password
# is a failed build, never a quietly unsigned one. The signed per-user MSI is
# also a rebuild of 7.00 for the upgrade below.
cat >"$keys/tsa.py" <<'PY'
# A minimal RFC 3161 time-stamping server: each query POSTed is answered by openssl ts.
import http.server, subprocess, sys
class Server(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", "/dev/stdin",
                                "-out", "/dev/stdout"], input=query, capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
server = http.server.HTTPServer(("127.0.0.1", 0), Server)
with open(sys.argv[2], "w") as port:
    port.write(str(server.server_port))
server.serve_forever()
PY
printf '%s\n' '[tsa]' 'default_tsa = local' '[local]' "serial = $keys/tsa.serial" "signer_cert = $keys/tsa.pem" \
    "signer_key = $keys/tsa.key" signer_digest=sha256 default_policy=1.3.6.1.4.1.4146.2.3 digests=sha256 \
    ess_cert_id_alg=sha256 >"$keys/tsa.cnf"
echo 01 >"$keys/tsa.serial"
e2e_start python3 "$keys/tsa.py" "$keys/tsa.cnf" "$keys/tsa.port"
TSA_PID=$E2E_LAST_PID
wait_for 10 test -s "$keys/tsa.port" || e2e_fail "the time-stamping server did not start"
GLANCE_SIGN_PKCS11_MODULE=$(dpkg -L libsofthsm2 | grep -m1 '/libsofthsm2\.so$') \
    GLANCE_SIGN_PKCS11_KEY='pkcs11:token=glance-release;object=signing;type=private' GLANCE_SIGN_PASSWORD=2468 \
    GLANCE_SIGN_CERT=$keys/signing.pem GLANCE_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat "$keys/tsa.port")/ \
    package "$PKG/signed" || e2e_fail "signing on the token failed: $(tail -5 "$PKG/signed.log")"
kill_pid "$TSA_PID"
SIGNED_MSI=$PKG/signed/GlanceRefresher-7.00-x86.msi
unzip -p "$PKG/signed/GlanceRefresher-7.00-x86-portable.zip" GlanceRefresher.exe >"$keys/exe-from-zip.exe"
for file in "$SIGNED_MSI" "$PKG/signed/GlanceRefresher-7.00-x86-machine.msi" "$keys/exe-from-zip.exe" "$OLD_MSI"; do
    osslsigncode verify -CAfile "$keys/signing.pem" -TSA-CAfile "$keys/tsa.pem" -in "$file" >"$PKG/verify.log" 2>&1 ||
        e2e_fail "$(basename "$file") is not validly signed: $(tail -3 "$PKG/verify.log")"
    [ "$file" = "$OLD_MSI" ] || grep -q "^Timestamp Server Signature verification: ok" "$PKG/verify.log" ||
        e2e_fail "$(basename "$file") has no valid time stamp: $(cat "$PKG/verify.log")"
done
grep -q "WARNING: no GLANCE_SIGN_TIMESTAMP_URL" "$PKG/6.99.log" || e2e_fail "signing without a time stamp passed quietly"
for sums in "$PKG/signed/SHA256SUMS" "$PKG/6.99/SHA256SUMS"; do
    openssl cms -verify -binary -inform DER -in "$sums.p7s" -content "$sums" -CAfile "$keys/signing.pem" \
        -purpose any -out /dev/null 2>>"$PKG/verify.log" || e2e_fail "$sums.p7s does not verify"
done
if GLANCE_SIGN_CERT=$keys/signing.pfx GLANCE_SIGN_PASSWORD=wrong package "$PKG/badpass"; then
    e2e_fail "packaging with a wrong certificate password succeeded"
fi
rm -rf "$keys" "$PKG/badpass"
e2e_log "packages built and checked"

# ---------------------------------------------------------------- under Wine
wine_folder() { winepath -u "$(wine cmd /c "echo %$1%" 2>/dev/null | tr -d '\r')"; }
LOCAL_APPDATA=$(wine_folder LOCALAPPDATA)
APPDATA_DIR=$(wine_folder APPDATA)
INSTALL_DIR=${LOCAL_APPDATA%/}/Programs/Quillhaven/GlanceRefresher
INSTALLED_EXE=$INSTALL_DIR/GlanceRefresher.exe
INSTALLED_EXE_WIN=$(wine_path "$INSTALLED_EXE")
SHORTCUT="${APPDATA_DIR%/}/Microsoft/Windows/Start Menu/Programs/$SHORTCUT_NAME"
MACHINE_DIR=$(wine_folder ProgramFiles)/Quillhaven/GlanceRefresher

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

# arp_entries: one line "version|publisher|install location|about page" per
# Add/Remove Programs entry of the product, sorted. Windows keeps a per-user
# MSI's entry for the user; Wine files it under HKLM: both are read.
arp_entries() {
    {
        wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null || true
        wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null || true
    } | tr -d '\r' | awk -F'    ' -v product="$APP_CAPTION" '
        function flush() { if (name == product) print version "|" publisher "|" location "|" about }
        /^HKEY_/ { flush(); name = version = publisher = location = about = "" }
        $2 == "DisplayName" { name = $4 }
        $2 == "DisplayVersion" { version = $4 }
        $2 == "Publisher" { publisher = $4 }
        $2 == "InstallLocation" { location = $4 }
        $2 == "URLInfoAbout" { about = $4 }
        END { flush() }' | sort
}
arp_versions() { arp_entries | cut -d'|' -f1 | tr '\n' ' '; }
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
        [ ! -e "$(dirname "$MACHINE_DIR")" ] && [ -z "$(arp_entries)" ] &&
        ! wine reg query 'HKCU\Software\Quillhaven' >/dev/null 2>&1 &&
        ! wine reg query 'HKLM\Software\Quillhaven' >/dev/null 2>&1
}
# installed_copy: the pid of a running copy of the installed exe in this
# test's prefix, however it was started (Wine names a process by its Windows
# path, which is the same in every prefix).
installed_copy() {
    local p
    for p in /proc/[0-9]*; do
        { tr '\0' ' ' <"$p/cmdline"; } 2>/dev/null | grep -qiF "$INSTALLED_EXE_WIN" && own_wine_process "${p#/proc/}" &&
            echo "${p#/proc/}" && return 0
    done
    return 1
}
no_installed_copy() { ! installed_copy >/dev/null; }
# restarted <pid before>: that copy has ended and a new one runs, in the tray
# (Minimized is On from step 2).
restarted() { process_ended "$1" && [ -n "$(installed_copy)" ] && [ "$(installed_copy)" != "$1" ] && icon_found; }

# A prefix kept from an earlier run may still hold an install.
if ! nothing_installed; then
    for file in "$MSI" "$OLD_MSI" "$SIGNED_MSI" "$MACHINE_MSI" "$OLD_MACHINE_MSI"; do msiexec_run /x "$file"; done
    rm -rf "$(dirname "$INSTALL_DIR")" "$(dirname "$MACHINE_DIR")"
    nothing_installed || e2e_fail "an earlier install could not be removed"
fi

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
[ "$entries" = "7.00|Quillhaven|$(wine_path "$INSTALL_DIR")\\|https://www.quillhaven.com/" ] ||
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
#    hidden in the tray closes it for good; another copy's start-up entry stays.
msiexec_ok /i "$MSI"
msiexec_ok /i "$MSI"
[ "$(arp_entries | wc -l)" = 1 ] || e2e_fail "installing twice gave entries: $(arp_entries)"
wine reg add "$SETTINGS_KEY" /v Minimized /d On /f >/dev/null 2>&1
APP_EXE=$INSTALLED_EXE app_start hidden
portable_command='"C:\Tools\GlanceRefresher\GlanceRefresher.exe"'
wine reg add "$RUN_KEY" /v "$APP_CAPTION" /d "$portable_command" /f >/dev/null 2>&1
msiexec_ok /x "$PRODUCT"
wait_for 10 app_ended || e2e_fail "the uninstall did not close the running program"
no_installed_copy || e2e_fail "the uninstall started the program again"
wait_for 10 icon_gone || e2e_fail "the program closed by the uninstall left its tray icon"
nothing_installed || e2e_fail "the uninstall of a running program left: $(find "$INSTALL_DIR" 2>/dev/null)"
[ "$(run_value)" = "$portable_command" ] || e2e_fail "the portable copy's Run value became $(run_value)"
wine reg delete "$RUN_KEY" /v "$APP_CAPTION" /f >/dev/null 2>&1

# 3. 7.00 over 6.99 replaces it, keeps its start-up entry and, as nothing
#    ran, starts nothing. Over a running copy, a rebuild of 7.00 (signed:
#    other bytes, so another product) and a repair each close it and start
#    the new exe. 6.99 over 7.00 is refused.
msiexec_ok /i "$OLD_MSI"
[ "$(arp_versions)" = "6.99 " ] || e2e_fail "after installing 6.99: $(arp_entries)"
# What ticking the start-up box in 6.99 leaves.
wine reg add "$RUN_KEY" /v "$APP_CAPTION" /d "\"$INSTALLED_EXE_WIN\"" /f >/dev/null 2>&1
wine reg add "$SETTINGS_KEY" /v "Windows Startup" /d On /f >/dev/null 2>&1
msiexec_ok /i "$MSI"
[ "$(arp_versions)" = "7.00 " ] || e2e_fail "after the upgrade: $(arp_entries)"
cmp -s "$INSTALLED_EXE" "$APP_EXE" || e2e_fail "the upgrade left no program"
no_installed_copy || e2e_fail "the upgrade started a program that was not running"
installed_run_value || e2e_fail "the upgrade changed the Run value to $(run_value)"
setting_is "Windows Startup" On || e2e_fail "the upgrade changed Windows Startup to $(setting "Windows Startup")"
APP_EXE=$INSTALLED_EXE app_start hidden
msiexec_ok /i "$SIGNED_MSI"
[ "$(arp_entries | wc -l)" = 1 ] || e2e_fail "the rebuild of 7.00 did not replace the installed one: $(arp_entries)"
unzip -p "$PKG/signed/GlanceRefresher-7.00-x86-portable.zip" GlanceRefresher.exe | cmp -s - "$INSTALLED_EXE" ||
    e2e_fail "the rebuild's exe was not installed"
wait_for 20 restarted "$APP_PID" || e2e_fail "the upgrade did not start the closed program again"
before=$(installed_copy)
# A repair (Wine's msiexec /fa answers 1: the properties /fa stands for).
msiexec_ok /i "$SIGNED_MSI" REINSTALL=ALL REINSTALLMODE=vamus
wait_for 20 restarted "$before" || e2e_fail "the repair did not start the closed program again"
msiexec_run /i "$OLD_MSI"
[ "$MSIEXEC_RC" != 0 ] || e2e_fail "6.99 installed over 7.00"
[ "$(arp_versions)" = "7.00 " ] || e2e_fail "after the refused downgrade: $(arp_entries)"
msiexec_ok /x "$SIGNED_MSI"
wait_for 10 no_installed_copy || e2e_fail "the uninstall did not close the restarted program"
nothing_installed || e2e_fail "the last uninstall left something: $(arp_entries)"
run_value_absent || e2e_fail "the last uninstall left the Run value"

# 4. Per machine, silently: Program Files, a Start-menu entry (in the
#    all-users Start menu on Windows; Wine's ProgramMenuFolder ignores
#    ALLUSERS and gives the user's, where the per-user shortcut of the same
#    name is, so the shortcuts are not checked side by side), upgraded from
#    6.99 installed with AUTOSTART=1, which the upgrade keeps; the event
#    source registered; beside a per-user install, each with its entry;
#    removed without touching the per-user install, AUTOSTART's Run value
#    and the event source going with it.
machine_run_value() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v "$APP_CAPTION" 2>/dev/null |
        tr -d '\r' | awk -F'    ' '$2 != "" { print $4 }'
}
EVENT_SOURCE='HKLM\System\CurrentControlSet\Services\EventLog\Application\GlanceRefresher'
event_source() { wine reg query "$EVENT_SOURCE" /v EventMessageFile 2>/dev/null | tr -d '\r' | awk -F'    ' '$2 != "" { print $4 }'; }
msiexec_ok /i "$OLD_MACHINE_MSI" AUTOSTART=1
msiexec_ok /i "$MACHINE_MSI"
cmp -s "$MACHINE_DIR/GlanceRefresher.exe" "$APP_EXE" || e2e_fail "no program in $MACHINE_DIR"
machine_exe="$(wine_path "$MACHINE_DIR")\GlanceRefresher.exe"
[ "$(machine_run_value)" = "\"$machine_exe\"" ] || e2e_fail "AUTOSTART=1 after the upgrade: Run value $(machine_run_value)"
[ "$(event_source)" = "$machine_exe" ] || e2e_fail "the event source names $(event_source)"
menu=$(tr -d '\r' <"$E2E_ARTIFACTS/$MSIEXEC_LOG" | sed -n 's/^Property(S): ProgramMenuFolder = //p')
[ -f "$(winepath -u "$menu")/$SHORTCUT_NAME" ] || e2e_fail "no Start-menu shortcut in $menu"
msiexec_ok /i "$MSI"
entries=$(arp_entries | cut -d'|' -f1,3 | tr '\n' ' ')
[ "$entries" = "7.00|$(wine_path "$MACHINE_DIR")\\ 7.00|$(wine_path "$INSTALL_DIR")\\ " ] ||
    e2e_fail "per-machine beside per-user: entries $entries"
msiexec_ok /x "$MACHINE_MSI"
[ -z "$(machine_run_value)" ] && [ -z "$(event_source)" ] ||
    e2e_fail "the per-machine uninstall left the Run value ($(machine_run_value)) or the event source"
[ ! -e "$(dirname "$MACHINE_DIR")" ] && [ "$(arp_entries | cut -d'|' -f3)" = "$(wine_path "$INSTALL_DIR")\\" ] &&
    cmp -s "$INSTALLED_EXE" "$APP_EXE" || e2e_fail "the per-machine uninstall: $(arp_entries)"
msiexec_ok /x "$MSI"
nothing_installed || e2e_fail "the uninstalls left something: $(arp_entries)"

# The second build, at its end: the same bytes.
wait "$REBUILD_PID" || e2e_fail "the second build failed: $(tail -5 "$rebuild.log")"
cmp -s "$rebuild/build/dist/GlanceRefresher.exe" "$APP_EXE" || e2e_fail "the exe built elsewhere differs"
for name in $NAMES SHA256SUMS; do
    cmp -s "$rebuild/out/$name" "$PKG/7.00/$name" || e2e_fail "$name built elsewhere differs"
done
sha256sum "$APP_EXE" "$rebuild/build/dist/GlanceRefresher.exe" "$PKG"/7.00/*.* "$rebuild"/out/*.* |
    sed "s|$PKG/||" >&2
e2e_pass
