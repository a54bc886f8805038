#!/usr/bin/env bash
# Turns the built program into what users download, in build/package/:
#   GlanceRefresher-<version>-x86.msi           the per-user installer (packaging/GlanceRefresher.wxs)
#   GlanceRefresher-<version>-x86-machine.msi   the per-machine installer (packaging/GlanceRefresher.machine.wxs)
#   GlanceRefresher-<version>-x86-portable.zip  the program to unzip anywhere
#   GlanceRefresher-<version>-x86.cdx.json      what the exe is made of (CycloneDX SBOM)
#   SHA256SUMS                                   the checksums of the four
#   winget/manifests/q/Quillhaven/GlanceRefresher/<version>/   the winget manifest (schema 1.6)
# The same program, sources and SOURCE_DATE_EPOCH give the same bytes, on any
# machine and at any time.
#
# Usage: bash scripts/package.sh [--no-build] [--dist DIR] [--map FILE] [--out DIR] [--version X.YY]
#   --no-build   package the program already in the dist folder (default: build it first)
#   --dist DIR   the folder with GlanceRefresher.exe and HAND-M.CUR (default: build/mingw/dist)
#   --map FILE   the exe's link map, which names the libraries in it (default: DIR/../GlanceRefresher.map)
#   --ca FILE    the installers' custom-action DLL (default: DIR/../GlanceSetupActions.dll)
#   --out DIR    where the packages go (default: build/package)
#   --version V  the product version, with two decimals (default: the project's, 7.00)
#
# Environment:
#   GLANCE_SIGN_CERT           a PKCS#12 file (.pfx) with a code-signing certificate and its key:
#                              the exe, the installers' custom-action DLL and the MSIs are signed
#                              with it. Without it the packages are built unsigned, and say so.
#   GLANCE_SIGN_PASSWORD       the file's password (handed to osslsigncode through a pipe, so it
#                              never shows in a process list)
#   GLANCE_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server; without one a signature stops being
#                              valid when the certificate expires (and is dated SOURCE_DATE_EPOCH,
#                              so a signed build is reproducible too)
#   GLANCE_RELEASE_URL         the address of the folder the MSIs will be downloaded from, for the
#                              winget manifest's InstallerUrl
#   SOURCE_DATE_EPOCH          the release's time, in seconds since 1970 (default: the last
#                              commit's): file times in the zip and the MSIs' cabinets, the MSIs'
#                              summary dates, the SBOM's time stamp
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

build=1
dist=$repo/build/mingw/dist
map=
ca=
out=$repo/build/package
version=
while [ $# -gt 0 ]; do
    case $1 in
    --no-build) build=0 ;;
    --dist) dist=$2; shift ;;
    --map) map=$2; shift ;;
    --ca) ca=$2; shift ;;
    --out) out=$2; shift ;;
    --version) version=$2; shift ;;
    *) echo "package.sh: unknown option $1 (see the head of the script)" >&2; exit 2 ;;
    esac
    shift
done
map=${map:-$dist/../GlanceRefresher.map}
ca=${ca:-$dist/../GlanceSetupActions.dll}

say() { echo "package: $*"; }
die() { echo "package: $*" >&2; exit 1; }

if [ $build = 1 ]; then
    bash "$repo/scripts/install-deps.sh"
    (cd "$repo" && cmake --preset mingw >/dev/null &&
        cmake --build --preset mingw --target GlanceRefresher GlanceSetupActions -j "$(nproc 2>/dev/null || echo 2)")
fi
for tool in wixl msibuild msiinfo msidump zip osslsigncode i686-w64-mingw32-g++ python3 sha256sum dpkg-query; do
    command -v $tool >/dev/null || die "$tool is missing: run bash scripts/install-deps.sh"
done
for file in GlanceRefresher.exe HAND-M.CUR; do
    [ -f "$dist/$file" ] || die "no $dist/$file: build the program first (or leave out --no-build)"
done
[ -f "$map" ] || die "no link map $map: build the program with the project's CMakeLists.txt"
[ -f "$ca" ] || die "no custom-action DLL $ca: build the target GlanceSetupActions"

# Users see "7.00" (the version record's spelling); Windows Installer reads it as 7.0.
if [ -z "$version" ]; then
    read -r major minor < <(sed -nE 's/^project\(GlanceRefresher VERSION ([0-9]+)\.([0-9]+).*/\1 \2/p' \
        "$repo/CMakeLists.txt")
    version=$(printf '%d.%02d' "$major" "$minor")
fi
[[ $version =~ ^[0-9]+\.[0-9]{2}$ ]] || die "version $version is not of the form 7.00"

# Every time written into a package is this one, in UTC.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct 2>/dev/null || true)}
[[ $epoch =~ ^[0-9]+$ ]] || die "no SOURCE_DATE_EPOCH and no git history to take it from"
export SOURCE_DATE_EPOCH=$epoch TZ=UTC LC_ALL=C

mkdir -p "$out"
out=$(cd "$out" && pwd)
base=GlanceRefresher-$version-x86
msi=$base.msi
machine_msi=$base-machine.msi
zip=$base-portable.zip
sbom=$base.cdx.json
stage=$out/stage
rm -rf "$stage" "$out/winget"
rm -f "$out"/GlanceRefresher-*-x86*.msi "$out"/GlanceRefresher-*-x86-portable.zip \
    "$out"/GlanceRefresher-*-x86.cdx.json "$out/SHA256SUMS"
mkdir -p "$stage/msi" "$stage/portable/skins"
trap 'rm -rf "$stage"' EXIT

# --- signing (optional)
signing=0
if [ -n "${GLANCE_SIGN_CERT:-}" ]; then
    [ -f "$GLANCE_SIGN_CERT" ] || die "GLANCE_SIGN_CERT names no file: $GLANCE_SIGN_CERT"
    signing=1
fi
# sign <file>: Authenticode signature (SHA-256) in place.
sign() {
    local args=(sign -pkcs12 "$GLANCE_SIGN_CERT" -readpass /dev/stdin -h sha256
        -n "Lumenfold Live Shell Glance Refresher Utility" -in "$1" -out "$1.signed")
    if [ -n "${GLANCE_SIGN_TIMESTAMP_URL:-}" ]; then
        args+=(-ts "$GLANCE_SIGN_TIMESTAMP_URL")
    else
        args+=(-time "$epoch")
    fi
    printf '%s' "${GLANCE_SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" >/dev/null ||
        die "signing $(basename "$1") failed"
    mv "$1.signed" "$1"
}

cp "$dist/GlanceRefresher.exe" "$dist/HAND-M.CUR" "$stage/msi/"
cp "$repo/res/GlanceRefresher.ico" "$stage/msi/"
[ $signing = 1 ] && sign "$stage/msi/GlanceRefresher.exe"

# --- the installers' custom actions (packaging/ca, built by CMake beside the
# exe with the same reproducibility flags; see packaging/SetupActions.wxi).
cp "$ca" "$stage/msi/GlanceSetupActions.dll"
[ $signing = 1 ] && sign "$stage/msi/GlanceSetupActions.dll"

# The cabinets keep each file's time.
chmod 644 "$stage"/msi/*
touch -d "@$epoch" "$stage"/msi/*
size_kib=$(( ($(stat -c %s "$stage/msi/GlanceRefresher.exe") + $(stat -c %s "$stage/msi/HAND-M.CUR") + 1023) / 1024 ))

# uuid5 <namespace GUID> <name>: a name-based (SHA-1) GUID, in capitals.
uuid5() { python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' "$@"; }

# set_summary <msi> <package code>: the summary's package code and dates
# (wixl writes a random code and the current time).
set_summary() {
    local dump=$stage/summary
    rm -rf "$dump" && mkdir -p "$dump"
    (cd "$dump" && msidump -t "$1" >/dev/null) || die "msidump failed on $1"
    local date
    date=$(date -u -d "@$epoch" '+%Y/%m/%d %H:%M:%S')
    awk -F'\t' -v OFS='\t' -v code="{$2}" -v date="$date" \
        'NR > 3 && $1 == 9 { $2 = code } NR > 3 && ($1 == 12 || $1 == 13) { $2 = date } { print }' \
        "$dump/_SummaryInformation.idt" >"$dump/summary.idt"
    mv "$dump/summary.idt" "$dump/_SummaryInformation.idt"
    (cd "$dump" && msibuild "$1" -i _SummaryInformation.idt) || die "could not set the summary of $1"
}

# build_msi <wxs> <msi>: one installer. Its ProductCode is a name-based GUID
# of everything that goes into it, so each different build is a product of
# its own that upgrades the installed one, and the same build always has the
# same code; its package code is one of the finished package's bytes.
build_msi() {
    local wxs=$repo/packaging/$1 file=$out/$2
    local upgrade_code content product_code
    upgrade_code=$(sed -nE 's/.*UpgradeCode="([0-9A-F-]{36})".*/\1/p' "$wxs")
    [ -n "$upgrade_code" ] || die "no UpgradeCode in $wxs"
    content=$( (echo "$version $1"; cd "$stage/msi" && sha256sum GlanceRefresher.exe HAND-M.CUR \
        GlanceRefresher.ico GlanceSetupActions.dll "$wxs" "$repo/packaging/SetupActions.wxi" \
        "$repo/scripts/package.sh" |
        cut -d' ' -f1) | sha256sum | cut -d' ' -f1)
    product_code=$(uuid5 "$upgrade_code" "GlanceRefresher $version $content")
    (cd "$stage/msi" && wixl -a x86 -I "$repo/packaging" -D "Version=$version" -D "ProductCode=$product_code" \
        -D "SizeKiB=$size_kib" -o "$file" "$wxs") 2>"$stage/wixl.log" ||
        { cat "$stage/wixl.log" >&2; die "wixl failed on $1"; }
    # wixl warns, and goes on, about what it does not know: treat that as an error.
    if grep -q . "$stage/wixl.log"; then cat "$stage/wixl.log" >&2; die "wixl did not take all of $1"; fi

    # What wixl cannot write (see packaging/SetupActions.wxi):
    # - the rollback action's type (DLL 1 + continue 64 + in-script 1024 + rollback 256),
    #   and the commit action's (DLL 1 + continue 64 + in-script 1024 + commit 512 + no impersonation 2048);
    # - immediate actions without the no-impersonation bit (2048), which only
    #   deferred actions may carry;
    # - same-version upgrades: VersionMaxInclusive (512) beside MigrateFeatures (1);
    # - HKMU, the root that follows ALLUSERS, is -1 (wixl writes 4);
    # - per machine: the condition of the AUTOSTART component, and AUTOSTART
    #   among the secure properties (passed on from the command line).
    local sql=(-q "UPDATE \`CustomAction\` SET \`Type\` = 1345 WHERE \`Action\` = 'RestoreRunValue'")
    local action type
    while IFS=$'\t' read -r action type; do
        if ((type & 2048)) && ! ((type & 1024)); then
            sql+=(-q "UPDATE \`CustomAction\` SET \`Type\` = $((type - 2048)) WHERE \`Action\` = '$action'")
        fi
    done < <(msiinfo export "$file" CustomAction | tr -d '\r' | tail -n +4 | cut -f1,2)
    sql+=(-q "UPDATE \`CustomAction\` SET \`Type\` = 3649 WHERE \`Action\` = 'StartClosedCopies'")
    sql+=(-q "UPDATE \`Registry\` SET \`Root\` = -1 WHERE \`Root\` = 4")
    if [ "$1" = GlanceRefresher.machine.wxs ]; then
        local secure
        secure=$(msiinfo export "$file" Property | tr -d '\r' | awk -F'\t' '$1 == "SecureCustomProperties" { print $2 }')
        sql+=(-q "UPDATE \`Component\` SET \`Condition\` = 'AUTOSTART = 1' WHERE \`Component\` = 'StartForEveryone'"
            -q "UPDATE \`Property\` SET \`Value\` = 'AUTOSTART;$secure' WHERE \`Property\` = 'SecureCustomProperties'")
    fi
    msibuild "$file" "${sql[@]}" || die "could not patch the tables of $2"
    # Attributes is part of the Upgrade table's key, which SQL cannot change: the table is replaced.
    mkdir -p "$stage/upgrade"
    msiinfo export "$file" Upgrade | tr -d '\r' | awk -F'\t' -v OFS='\t' \
        'NR > 3 && $7 == "WIX_UPGRADE_DETECTED" { $5 = 513 } { print }' >"$stage/upgrade/Upgrade.idt"
    (cd "$stage/upgrade" && msibuild "$file" -i Upgrade.idt) || die "could not patch the upgrade table of $2"
    grep -q "^RestoreRunValue	1345	" <<<"$(msiinfo export "$file" CustomAction)" ||
        die "the rollback action's type was not set in $2"
    grep -q "^StartClosedCopies	3649	" <<<"$(msiinfo export "$file" CustomAction)" ||
        die "the commit action's type was not set in $2"
    [ "$1" != GlanceRefresher.machine.wxs ] ||
        grep -q "^StartForEveryone	.*	AUTOSTART = 1	" <<<"$(msiinfo export "$file" Component)" ||
        die "the AUTOSTART component's condition was not set in $2"

    set_summary "$file" 00000000-0000-0000-0000-000000000000
    set_summary "$file" "$(uuid5 "$upgrade_code" "GlanceRefresher package $(sha256sum "$file" | cut -d' ' -f1)")"
    [ $signing = 1 ] && sign "$file"
    msi_product_code=$product_code
}

build_msi GlanceRefresher.wxs "$msi"
user_product_code=$msi_product_code
build_msi GlanceRefresher.machine.wxs "$machine_msi"
machine_product_code=$msi_product_code

# --- the portable zip: files at its root (Windows' "Extract All" makes the
# folder), text with Windows line ends, the skin under a name the program
# does not load; fixed order, times and attributes.
portable=$stage/portable
cp "$stage/msi/GlanceRefresher.exe" "$stage/msi/HAND-M.CUR" "$portable/"
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$repo/packaging/portable/README.txt" >"$portable/README.txt"
sed -e 's/$/\r/' "$repo/packaging/portable/skins/slate.cjs.example" >"$portable/skins/slate.cjs.example"
chmod 755 "$portable/skins"
chmod 644 "$portable"/*.* "$portable"/skins/*
find "$portable" -exec touch -d "@$epoch" {} +
(cd "$portable" && zip -X -D -q -9 "$out/$zip" \
    GlanceRefresher.exe HAND-M.CUR README.txt skins/slate.cjs.example)

# --- the bill of materials: the libraries the link map shows in the exe, and
# the compiler that the build folder's CMake cache names.
compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$(dirname "$map")/CMakeCache.txt" 2>/dev/null || true)
python3 "$repo/packaging/sbom.py" --exe "$stage/msi/GlanceRefresher.exe" --map "$map" \
    --compiler "${compiler:-$(command -v i686-w64-mingw32-g++)}" --version "$version" --epoch "$epoch" \
    >"$out/$sbom" ||
    die "the SBOM could not be made"

(cd "$out" && sha256sum "$msi" "$machine_msi" "$zip" "$sbom" >SHA256SUMS)

# --- the winget manifest: both installers, each with its scope.
manifests=$out/winget/manifests/q/Quillhaven/GlanceRefresher/$version
mkdir -p "$manifests"
sha() { sha256sum "$1" | cut -d' ' -f1 | tr a-f A-F; }
base_url=${GLANCE_RELEASE_URL:-SET-GLANCE_RELEASE_URL}
# A replacement text for sed: an address may hold & (a query) or |.
url() { printf '%s' "${base_url%/}/$1" | sed 's/[&|\\]/\\&/g'; }
for template in "$repo"/packaging/winget/*.yaml; do
    sed -e '/^# Template:/d' -e "s|@VERSION@|$version|g" \
        -e "s|@USER_PRODUCT_CODE@|{$user_product_code}|g" -e "s|@MACHINE_PRODUCT_CODE@|{$machine_product_code}|g" \
        -e "s|@USER_UPGRADE_CODE@|{$(sed -nE 's/.*UpgradeCode="([0-9A-F-]{36})".*/\1/p' \
            "$repo/packaging/GlanceRefresher.wxs")}|g" \
        -e "s|@MACHINE_UPGRADE_CODE@|{$(sed -nE 's/.*UpgradeCode="([0-9A-F-]{36})".*/\1/p' \
            "$repo/packaging/GlanceRefresher.machine.wxs")}|g" \
        -e "s|@USER_SHA256@|$(sha "$out/$msi")|g" -e "s|@MACHINE_SHA256@|$(sha "$out/$machine_msi")|g" \
        -e "s|@USER_URL@|$(url "$msi")|g" -e "s|@MACHINE_URL@|$(url "$machine_msi")|g" \
        "$template" >"$manifests/$(basename "$template")"
done

say "version $version, time $(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S') UTC"
say "$out/$msi (per user, product code {$user_product_code})"
say "$out/$machine_msi (per machine, product code {$machine_product_code})"
say "$out/$zip"
say "$out/$sbom"
say "$out/SHA256SUMS"
say "$manifests/"
if [ $signing = 1 ]; then
    say "signed with $(basename "$GLANCE_SIGN_CERT")${GLANCE_SIGN_TIMESTAMP_URL:+, time-stamped by $GLANCE_SIGN_TIMESTAMP_URL}"
else
    say "the exe and the MSIs are unsigned (set GLANCE_SIGN_CERT and GLANCE_SIGN_PASSWORD to sign them)"
fi
[ -n "${GLANCE_RELEASE_URL:-}" ] ||
    say "the winget manifest has no download address yet (set GLANCE_RELEASE_URL)"
