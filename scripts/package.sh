#!/usr/bin/env bash
# Turns the built program into what users download, in build/package/:
#   GlanceRefresher-<version>-x86.msi           the per-user installer (packaging/GlanceRefresher.wxs)
#   GlanceRefresher-<version>-x86-machine.msi   the per-machine installer (packaging/GlanceRefresher.machine.wxs)
#   GlanceRefresher-<version>-x86-portable.zip  the program to unzip anywhere
#   GlanceRefresher-<version>-x86.cdx.json      what the exe and the installers' DLL are made of (CycloneDX SBOM)
#   SHA256SUMS                                   the checksums of the four
#   SHA256SUMS.p7s                               its detached signature (signed builds)
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
#   Signing (docs/releasing.md): the exe, the custom-action DLL and both MSIs get an Authenticode
#   signature (SHA-256), and SHA256SUMS a detached CMS signature, SHA256SUMS.p7s, by the same key.
#   Without GLANCE_SIGN_CERT the packages are built unsigned, and say so.
#   GLANCE_SIGN_CERT           a PKCS#12 file (.pfx) with the code-signing certificate, its chain
#                              and key; with GLANCE_SIGN_PKCS11_KEY: the certificate and its chain (PEM)
#   GLANCE_SIGN_PKCS11_MODULE  the token's or HSM's PKCS#11 module (a .so), and
#   GLANCE_SIGN_PKCS11_KEY     the key's PKCS#11 URI (pkcs11:token=...;object=...;type=private):
#                              signs with a key that never leaves its hardware
#   GLANCE_SIGN_PKCS11_ENGINE  the OpenSSL engine for it (default: libp11's "pkcs11")
#   GLANCE_SIGN_PASSWORD       the .pfx's password or the token's PIN (handed over through a
#                              pipe, so it never shows in a process list)
#   GLANCE_SIGN_TIMESTAMP_URL  RFC 3161 time-stamp servers, tried in turn: a time-stamped signature
#                              stays valid after the certificate expires. Without one the script
#                              warns loudly, and dates the signatures SOURCE_DATE_EPOCH (not before
#                              the certificate's first day), so a signed build is reproducible too
#   GLANCE_RELEASE_URL         the address of the folder the MSIs will be downloaded from, for the
#                              winget manifest's InstallerUrl (a query, ?x=1&y=2, stays at the end)
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
for tool in wixl msibuild msiinfo msidump zip osslsigncode openssl i686-w64-mingw32-g++ python3 sha256sum dpkg-query; do
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
    "$out"/GlanceRefresher-*-x86.cdx.json "$out/SHA256SUMS" "$out/SHA256SUMS.p7s"
mkdir -p "$stage/msi" "$stage/portable/skins"
trap 'rm -rf "$stage"' EXIT

# --- signing (optional): a key in a .pfx, or on a token or HSM through PKCS#11
warn() { printf 'package: %s\n' '************************************************************' "WARNING: $@" \
    '************************************************************' >&2; }
signing=
if [ -n "${GLANCE_SIGN_PKCS11_KEY:-}" ]; then
    [ -f "${GLANCE_SIGN_PKCS11_MODULE:-}" ] || die "GLANCE_SIGN_PKCS11_MODULE names no PKCS#11 module"
    [ -f "${GLANCE_SIGN_CERT:-}" ] || die "GLANCE_SIGN_CERT names no certificate file for the token's key"
    signing=pkcs11
    cp "$GLANCE_SIGN_CERT" "$stage/chain.pem"
    # The OpenSSL engine that signs SHA256SUMS loads the same module.
    export PKCS11_MODULE_PATH=$GLANCE_SIGN_PKCS11_MODULE
elif [ -n "${GLANCE_SIGN_CERT:-}" ]; then
    [ -f "$GLANCE_SIGN_CERT" ] || die "GLANCE_SIGN_CERT names no file: $GLANCE_SIGN_CERT"
    signing=pkcs12
    # The certificate chain, the signer's first.
    for certs in -clcerts -cacerts; do
        printf '%s' "${GLANCE_SIGN_PASSWORD:-}" | openssl pkcs12 -in "$GLANCE_SIGN_CERT" -nokeys $certs \
            -passin stdin 2>/dev/null || die "cannot open $GLANCE_SIGN_CERT (wrong GLANCE_SIGN_PASSWORD?)"
    done >"$stage/chain.pem"
fi
sign_time=$epoch
timestamps=()
if [ -n "$signing" ]; then
    for ts_url in ${GLANCE_SIGN_TIMESTAMP_URL:-}; do timestamps+=(-ts "$ts_url"); done
    if [ ${#timestamps[@]} = 0 ]; then
        # Dated the release, but never before the certificate's first day.
        not_before=$(date -d "$(openssl x509 -in "$stage/chain.pem" -noout -startdate | cut -d= -f2)" +%s)
        ((sign_time >= not_before)) || sign_time=$not_before
        warn "no GLANCE_SIGN_TIMESTAMP_URL: the signatures carry no time stamp and" \
            "stop being valid when the signing certificate expires. Do not publish this build."
    fi
fi
# sign <file>: Authenticode signature (SHA-256) in place, time-stamped (RFC 3161)
# by the first server of GLANCE_SIGN_TIMESTAMP_URL that answers.
sign() {
    local args=(sign -h sha256 -n "Lumenfold Live Shell Glance Refresher Utility" -readpass /dev/stdin)
    if [ $signing = pkcs11 ]; then
        args+=(-pkcs11module "$GLANCE_SIGN_PKCS11_MODULE" -certs "$stage/chain.pem" -key "$GLANCE_SIGN_PKCS11_KEY")
        [ -z "${GLANCE_SIGN_PKCS11_ENGINE:-}" ] || args+=(-pkcs11engine "$GLANCE_SIGN_PKCS11_ENGINE")
    else
        args+=(-pkcs12 "$GLANCE_SIGN_CERT")
    fi
    if [ ${#timestamps[@]} -gt 0 ]; then args+=("${timestamps[@]}"); else args+=(-time "$sign_time"); fi
    printf '%s' "${GLANCE_SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" -in "$1" -out "$1.signed" \
        >"$stage/sign.log" 2>&1 || { cat "$stage/sign.log" >&2; die "signing $(basename "$1") failed"; }
    mv "$1.signed" "$1"
}
# sign_detached <file>: <file>.p7s, a detached CMS signature with the same key and chain.
sign_detached() {
    local key=(-inkey "$GLANCE_SIGN_CERT" -keyform P12)
    [ $signing = pkcs12 ] || key=(-engine "${GLANCE_SIGN_PKCS11_ENGINE:-pkcs11}" -keyform engine
        -inkey "$GLANCE_SIGN_PKCS11_KEY")
    # The signer's certificate goes in by itself; the chain's others are added.
    local chain=()
    awk '/BEGIN CERTIFICATE/ { n++ } n > 1' "$stage/chain.pem" >"$stage/intermediates.pem"
    [ ! -s "$stage/intermediates.pem" ] || chain=(-certfile "$stage/intermediates.pem")
    printf '%s' "${GLANCE_SIGN_PASSWORD:-}" | openssl cms -sign -binary -md sha256 -in "$1" \
        -signer "$stage/chain.pem" "${chain[@]}" "${key[@]}" -passin stdin -outform DER \
        -out "$1.p7s" >"$stage/sign.log" 2>&1 || { cat "$stage/sign.log" >&2; die "signing $(basename "$1") failed"; }
}

cp "$dist/GlanceRefresher.exe" "$dist/HAND-M.CUR" "$stage/msi/"
cp "$repo/res/GlanceRefresher.ico" "$stage/msi/"
[ -z "$signing" ] || sign "$stage/msi/GlanceRefresher.exe"

# --- the installers' custom actions (packaging/ca, built by CMake beside the
# exe with the same reproducibility flags; see packaging/SetupActions.wxi).
cp "$ca" "$stage/msi/GlanceSetupActions.dll"
[ -z "$signing" ] || sign "$stage/msi/GlanceSetupActions.dll"

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
        "$repo/scripts/package.sh" "$repo/packaging/msi_patch.py" |
        cut -d' ' -f1) | sha256sum | cut -d' ' -f1)
    product_code=$(uuid5 "$upgrade_code" "GlanceRefresher $version $content")
    (cd "$stage/msi" && wixl -a x86 -I "$repo/packaging" -D "Version=$version" -D "ProductCode=$product_code" \
        -D "SizeKiB=$size_kib" -o "$file" "$wxs") 2>"$stage/wixl.log" ||
        { cat "$stage/wixl.log" >&2; die "wixl failed on $1"; }
    # wixl warns, and goes on, about what it does not know: treat that as an error.
    if grep -q . "$stage/wixl.log"; then cat "$stage/wixl.log" >&2; die "wixl did not take all of $1"; fi

    # What wixl drops or cannot write, patched by column name and read back.
    python3 "$repo/packaging/msi_patch.py" "$file" "$wxs" "$stage/msi" "$stage/patch" ||
        die "could not patch the tables of $2"

    set_summary "$file" 00000000-0000-0000-0000-000000000000
    set_summary "$file" "$(uuid5 "$upgrade_code" "GlanceRefresher package $(sha256sum "$file" | cut -d' ' -f1)")"
    [ -z "$signing" ] || sign "$file"
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

# --- the bill of materials: the exe and the custom-action DLL as shipped,
# the libraries their link maps show in them, and the compiler, linker and
# resource compiler that the build folder's CMake cache names.
cache=$(dirname "$map")/CMakeCache.txt
cached() { sed -n "s/^$1:[A-Z]*=//p" "$cache" 2>/dev/null | grep . || command -v "$2"; }
python3 "$repo/packaging/sbom.py" --exe "$stage/msi/GlanceRefresher.exe" --map "$map" \
    --dll "$stage/msi/GlanceSetupActions.dll" --dll-map "${ca%.dll}.map" \
    --tool "$(cached CMAKE_CXX_COMPILER i686-w64-mingw32-g++)" --tool "$(cached CMAKE_LINKER i686-w64-mingw32-ld)" \
    --tool "$(cached CMAKE_RC_COMPILER i686-w64-mingw32-windres)" --version "$version" --epoch "$epoch" \
    >"$out/$sbom" || die "the SBOM could not be made"

(cd "$out" && sha256sum "$msi" "$machine_msi" "$zip" "$sbom" >SHA256SUMS)
[ -z "$signing" ] || sign_detached "$out/SHA256SUMS"

# --- the winget manifest: both installers, each with its scope.
manifests=$out/winget/manifests/q/Quillhaven/GlanceRefresher/$version
mkdir -p "$manifests"
sha() { sha256sum "$1" | cut -d' ' -f1 | tr a-f A-F; }
base_url=${GLANCE_RELEASE_URL:-SET-GLANCE_RELEASE_URL}
# url <file>: the file's address in the release folder, the query (?x=1&y=2)
# and fragment kept after it; escaped as a replacement text for sed.
url() {
    python3 -c 'import sys, urllib.parse as u; a = u.urlsplit(sys.argv[1])
print(u.urlunsplit(a._replace(path=a.path.rstrip("/") + "/" + u.quote(sys.argv[2]))))' "$base_url" "$1" |
        sed 's/[&|\\]/\\&/g'
}
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
if [ -n "$signing" ]; then
    say "$out/SHA256SUMS.p7s"
    stamped="NOT time-stamped"
    [ ${#timestamps[@]} = 0 ] || stamped="time-stamped by $GLANCE_SIGN_TIMESTAMP_URL"
    say "signed ($signing) as $(openssl x509 -in "$stage/chain.pem" -noout -subject -nameopt oneline), $stamped"
else
    say "the exe and the MSIs are unsigned (see docs/releasing.md to sign them)"
fi
[ -n "${GLANCE_RELEASE_URL:-}" ] ||
    say "the winget manifest has no download address yet (set GLANCE_RELEASE_URL)"
