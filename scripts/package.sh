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
# Everything is made in a staging folder inside the output folder; the release's
# files replace the old ones there only once the whole set is made, signed and
# verified. A failed run leaves no file of a release behind.
#
# Usage: bash scripts/package.sh [--no-build] [--dist DIR] [--map FILE] [--out DIR] [--version X.YY]
#        bash scripts/package.sh --from DIR [--out DIR]     (signing what CI built)
#   --no-build   package the program already in the dist folder (default: build it first)
#   --from DIR   sign what CI built: the unsigned packages in DIR (its MSIs, zip, SBOM and
#                SHA256SUMS), checked against its SHA256SUMS and SBOM, repackaged here to the
#                same bytes, then signed into the same packages a signed build makes. Needs
#                this commit's checkout and the packaging tools, not the compiler or Wine
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
#   GLANCE_SIGN_PKCS11_ENGINE  the OpenSSL engine for it, by name or path (default: libp11's "pkcs11")
#   GLANCE_SIGN_PASSWORD       the .pfx's password or the token's PIN, handed over through a pipe to
#                              the signing commands only (never in a process list, and taken out
#                              of every other child's environment). Unset: no PIN is given (a
#                              token without one, a PIN pad, or the module asks at the terminal)
#   GLANCE_SIGN_CAFILE         roots that the finished signatures are checked against besides
#                              the system's (a private CA's)
#   GLANCE_SIGN_TIMESTAMP_URL  RFC 3161 time-stamp servers, tried in turn: a time-stamped signature
#                              stays valid after the certificate expires. Without one the script
#                              warns loudly, and dates the signatures SOURCE_DATE_EPOCH (not before
#                              the certificate's first day), so a signed build is reproducible too.
#                              SHA256SUMS.p7s has no signing time: two signings of the same sums
#                              differ only in its time stamp
#   GLANCE_RELEASE_URL         the address of the folder the MSIs will be downloaded from, for the
#                              winget manifest's InstallerUrl (a query, ?x=1&y=2, stays at the end)
#   SOURCE_DATE_EPOCH          the release's time, in seconds since 1970 (default: the last
#                              commit's): file times in the zip and the MSIs' cabinets, the MSIs'
#                              summary dates, the SBOM's time stamp. With --from: the SBOM's
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

build=1
dist=$repo/build/mingw/dist
map=
ca=
out=$repo/build/package
version=
from=
while [ $# -gt 0 ]; do
    case $1 in
    --no-build) build=0 ;;
    --dist) dist=$2; shift ;;
    --map) map=$2; shift ;;
    --ca) ca=$2; shift ;;
    --out) out=$2; shift ;;
    --version) version=$2; shift ;;
    --from) from=$2; build=0; shift ;;
    *) echo "package.sh: unknown option $1 (see the head of the script)" >&2; exit 2 ;;
    esac
    shift
done
map=${map:-$dist/../GlanceRefresher.map}
ca=${ca:-$dist/../GlanceSetupActions.dll}

say() { echo "package: $*"; }
die() { echo "package: $*" >&2; exit 1; }
# Before anything else starts: the PIN out of the environment.
source "$repo/scripts/sign.sh"

if [ $build = 1 ]; then
    bash "$repo/scripts/install-deps.sh"
    (cd "$repo" && cmake --preset mingw >/dev/null &&
        cmake --build --preset mingw --target GlanceRefresher GlanceSetupActions -j "$(nproc 2>/dev/null || echo 2)")
fi
tools=(wixl msibuild msiinfo msidump zip unzip osslsigncode openssl python3 sha256sum)
[ -n "$from" ] || tools+=(i686-w64-mingw32-g++ dpkg-query)
for tool in "${tools[@]}"; do
    command -v $tool >/dev/null || die "$tool is missing: run bash scripts/install-deps.sh"
done
if [ -z "$from" ]; then
    for file in GlanceRefresher.exe HAND-M.CUR; do
        [ -f "$dist/$file" ] || die "no $dist/$file: build the program first (or leave out --no-build)"
    done
    [ -f "$map" ] || die "no link map $map: build the program with the project's CMakeLists.txt"
    [ -f "$ca" ] || die "no custom-action DLL $ca: build the target GlanceSetupActions"
else
    [ -f "$from/SHA256SUMS" ] || die "no $from/SHA256SUMS: --from takes the folder of a CI build's packages"
    from=$(cd "$from" && pwd)
fi

# Users see "7.00" (the version record's spelling); Windows Installer reads it as 7.0.
if [ -z "$version" ]; then
    read -r major minor < <(sed -nE 's/^project\(GlanceRefresher VERSION ([0-9]+)\.([0-9]+).*/\1 \2/p' \
        "$repo/CMakeLists.txt")
    version=$(printf '%d.%02d' "$major" "$minor")
fi
[[ $version =~ ^[0-9]+\.[0-9]{2}$ ]] || die "version $version is not of the form 7.00"
base=GlanceRefresher-$version-x86
msi=$base.msi
machine_msi=$base-machine.msi
zip=$base-portable.zip
sbom=$base.cdx.json

# Every time written into a package is this one, in UTC: a CI build's is its SBOM's.
if [ -n "$from" ] && [ -z "${SOURCE_DATE_EPOCH:-}" ] && [ -f "$from/$sbom" ]; then
    SOURCE_DATE_EPOCH=$(date -u -d "$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["metadata"]["timestamp"])' \
        "$from/$sbom")" +%s) || die "$from/$sbom has no time stamp"
fi
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct 2>/dev/null || true)}
[[ $epoch =~ ^[0-9]+$ ]] || die "no SOURCE_DATE_EPOCH and no git history to take it from"
export SOURCE_DATE_EPOCH=$epoch TZ=UTC LC_ALL=C

# The old release's files go first; the new ones are made in the staging
# folder and moved in at the end, all verified.
mkdir -p "$out"
out=$(cd "$out" && pwd)
[ "$from" != "$out" ] || die "--from and --out name the same folder"
release_files=("$msi" "$machine_msi" "$zip" "$sbom" SHA256SUMS SHA256SUMS.p7s winget)
rm -rf "$out/stage" "$out"/.stage.* "$out/winget"
rm -f "$out"/GlanceRefresher-*-x86*.msi "$out"/GlanceRefresher-*-x86-portable.zip \
    "$out"/GlanceRefresher-*-x86.cdx.json "$out/SHA256SUMS" "$out/SHA256SUMS.p7s"
stage=$(mktemp -d "$out/.stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/msi"

# --- signing (optional): the chain and the key checked before anything is signed.
sign_setup "$stage"
[ -z "$from" ] || [ -n "$signing" ] || die "--from signs what CI built: set GLANCE_SIGN_CERT (docs/releasing.md)"

# --- what goes into the packages: the exe, its cursor and icon, the installers'
# custom-action DLL (packaging/ca, built by CMake beside the exe with the same
# reproducibility flags; see packaging/SetupActions.wxi), and the SBOM of them.
if [ -z "$from" ]; then
    cp "$dist/GlanceRefresher.exe" "$dist/HAND-M.CUR" "$repo/res/GlanceRefresher.ico" "$stage/msi/"
    cp "$ca" "$stage/msi/GlanceSetupActions.dll"
    # The bill of materials: the exe, its cursor and the custom-action DLL, the
    # libraries their link maps show in them, and the compiler, linker and
    # resource compiler that the build folder's CMake cache names.
    cache=$(dirname "$map")/CMakeCache.txt
    cached() { sed -n "s/^$1:[A-Z]*=//p" "$cache" 2>/dev/null | grep . || command -v "$2"; }
    python3 "$repo/packaging/sbom.py" --exe "$stage/msi/GlanceRefresher.exe" --map "$map" \
        --dll "$stage/msi/GlanceSetupActions.dll" --dll-map "${ca%.dll}.map" --cursor "$stage/msi/HAND-M.CUR" \
        --tool "$(cached CMAKE_CXX_COMPILER i686-w64-mingw32-g++)" --tool "$(cached CMAKE_LINKER i686-w64-mingw32-ld)" \
        --tool "$(cached CMAKE_RC_COMPILER i686-w64-mingw32-windres)" --version "$version" --epoch "$epoch" \
        >"$stage/unsigned.cdx.json" || die "the SBOM could not be made"
else
    # A CI build's: every package as its SHA256SUMS says, the four of this
    # version and no other; the exe and cursor from the zip, the DLL from the
    # MSIs (the same in both), each as the SBOM names it, and none signed yet.
    (cd "$from" && sha256sum -c --strict --quiet SHA256SUMS) || die "$from does not match its SHA256SUMS"
    [ "$(cut -d' ' -f3 "$from/SHA256SUMS" | sort | tr '\n' ' ')" = \
        "$(printf '%s\n' "$msi" "$machine_msi" "$zip" "$sbom" | sort | tr '\n' ' ')" ] ||
        die "$from/SHA256SUMS does not list the four packages of $version: $(cut -d' ' -f3 "$from/SHA256SUMS" | tr '\n' ' ')"
    for file in GlanceRefresher.exe HAND-M.CUR; do
        unzip -p "$from/$zip" "$file" >"$stage/msi/$file" || die "no $file in $from/$zip"
    done
    cp "$repo/res/GlanceRefresher.ico" "$stage/msi/"
    for file in "$msi" "$machine_msi"; do
        rm -rf "$stage/tables" && mkdir -p "$stage/tables"
        (cd "$stage/tables" && msidump -t "$from/$file" >/dev/null) || die "msidump failed on $from/$file"
        if [ -f "$stage/msi/GlanceSetupActions.dll" ]; then
            cmp -s "$stage/tables/Binary/Binary.GlanceSetupActions" "$stage/msi/GlanceSetupActions.dll" ||
                die "the two MSIs of $from carry different custom-action DLLs"
        else
            cp "$stage/tables/Binary/Binary.GlanceSetupActions" "$stage/msi/GlanceSetupActions.dll" ||
                die "no custom-action DLL in $from/$file"
        fi
    done
    for file in GlanceRefresher.exe GlanceSetupActions.dll; do
        ! osslsigncode extract-signature -in "$stage/msi/$file" -out "$stage/signature" >/dev/null 2>&1 ||
            die "$file in $from is signed already: --from takes an unsigned build"
    done
    python3 - "$from/$sbom" "$stage/msi" <<'PY' || die "the packages of $from are not those its SBOM names"
import hashlib, json, sys
bom = json.load(open(sys.argv[1]))
program = bom["metadata"]["component"]
named = {p["name"]: p["hashes"][0]["content"] for p in [program] + program.get("components", []) + bom["components"]
         if "hashes" in p}
for name in ("GlanceRefresher.exe", "HAND-M.CUR", "GlanceSetupActions.dll"):
    actual = hashlib.sha256(open(f"{sys.argv[2]}/{name}", "rb").read()).hexdigest()
    if named.get(name) != actual:
        sys.exit(f"package: {name} is {actual}, the SBOM says {named.get(name)}")
PY
    cp "$from/$sbom" "$stage/unsigned.cdx.json"
fi

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

# build_msi <wxs> <msi path>: one installer. Its ProductCode is a name-based GUID
# of everything that goes into it, so each different build is a product of
# its own that upgrades the installed one, and the same build always has the
# same code; its package code is one of the finished package's bytes.
build_msi() {
    local wxs=$repo/packaging/$1 file=$2
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
        die "could not patch the tables of $(basename "$file")"

    set_summary "$file" 00000000-0000-0000-0000-000000000000
    set_summary "$file" "$(uuid5 "$upgrade_code" "GlanceRefresher package $(sha256sum "$file" | cut -d' ' -f1)")"
    [ -z "$sign_now" ] || sign "$file"
    msi_product_code=$product_code
}

# make_set <folder> <SBOM>: both MSIs, the zip, the SBOM and SHA256SUMS, of the
# files in $stage/msi (the MSIs signed when sign_now is set).
make_set() {
    local dest=$1
    mkdir -p "$dest"
    # The cabinets keep each file's time.
    chmod 644 "$stage"/msi/*
    touch -d "@$epoch" "$stage"/msi/*
    size_kib=$(( ($(stat -c %s "$stage/msi/GlanceRefresher.exe") + $(stat -c %s "$stage/msi/HAND-M.CUR") + 1023) / 1024 ))
    build_msi GlanceRefresher.wxs "$dest/$msi"
    user_product_code=$msi_product_code
    build_msi GlanceRefresher.machine.wxs "$dest/$machine_msi"
    machine_product_code=$msi_product_code

    # The portable zip: files at its root (Windows' "Extract All" makes the
    # folder), text with Windows line ends, the skin under a name the program
    # does not load; fixed order, times and attributes.
    local portable=$stage/portable
    rm -rf "$portable" && mkdir -p "$portable/skins"
    cp "$stage/msi/GlanceRefresher.exe" "$stage/msi/HAND-M.CUR" "$portable/"
    sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$repo/packaging/portable/README.txt" >"$portable/README.txt"
    sed -e 's/$/\r/' "$repo/packaging/portable/skins/slate.cjs.example" >"$portable/skins/slate.cjs.example"
    chmod 755 "$portable/skins"
    chmod 644 "$portable"/*.* "$portable"/skins/*
    find "$portable" -exec touch -d "@$epoch" {} +
    (cd "$portable" && zip -X -D -q -9 "$dest/$zip" \
        GlanceRefresher.exe HAND-M.CUR README.txt skins/slate.cjs.example)

    cp "$2" "$dest/$sbom"
    (cd "$dest" && sha256sum "$msi" "$machine_msi" "$zip" "$sbom" >SHA256SUMS)
}

# A CI build repackaged here first, unsigned: the same bytes as CI's, or this
# checkout and its tools do not make what CI made, and signing stops.
sign_now=
if [ -n "$from" ]; then
    make_set "$stage/check" "$stage/unsigned.cdx.json"
    for name in "$msi" "$machine_msi" "$zip" "$sbom" SHA256SUMS; do
        cmp -s "$stage/check/$name" "$from/$name" ||
            die "$name repackaged here differs from $from's: check out the commit CI built, with the same packaging tools"
    done
    say "the packages of $from are this commit's, byte for byte"
fi

# The release's set: signed, the exe and the DLL are signed before they go into
# the packages, and the SBOM names them as shipped.
if [ -n "$signing" ]; then
    sign "$stage/msi/GlanceRefresher.exe"
    sign "$stage/msi/GlanceSetupActions.dll"
    python3 "$repo/packaging/sbom.py" --signed "$stage/unsigned.cdx.json" --exe "$stage/msi/GlanceRefresher.exe" \
        --dll "$stage/msi/GlanceSetupActions.dll" >"$stage/release.cdx.json" || die "the SBOM could not be made"
else
    cp "$stage/unsigned.cdx.json" "$stage/release.cdx.json"
fi
sign_now=$signing
set=$stage/set
make_set "$set" "$stage/release.cdx.json"
if [ -n "$signing" ]; then
    sign_detached "$set/SHA256SUMS"
    sign_verify "$stage/msi/GlanceRefresher.exe" "$stage/msi/GlanceSetupActions.dll" "$set/$msi" "$set/$machine_msi" \
        "$set/SHA256SUMS.p7s"
fi
(cd "$set" && sha256sum -c --strict --quiet SHA256SUMS) || die "the packages do not match their SHA256SUMS"

# --- the winget manifest: both installers, each with its scope.
manifests=winget/manifests/q/Quillhaven/GlanceRefresher/$version
mkdir -p "$set/$manifests"
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
        -e "s|@USER_SHA256@|$(sha "$set/$msi")|g" -e "s|@MACHINE_SHA256@|$(sha "$set/$machine_msi")|g" \
        -e "s|@USER_URL@|$(url "$msi")|g" -e "s|@MACHINE_URL@|$(url "$machine_msi")|g" \
        "$template" >"$set/$manifests/$(basename "$template")"
done

# --- into place: the complete set, its checksums and their signature last.
for name in "${release_files[@]}"; do
    [ ! -e "$set/$name" ] || mv "$set/$name" "$out/"
done

say "version $version, time $(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S') UTC"
say "$out/$msi (per user, product code {$user_product_code})"
say "$out/$machine_msi (per machine, product code {$machine_product_code})"
say "$out/$zip"
say "$out/$sbom"
say "$out/SHA256SUMS"
say "$out/$manifests/"
if [ -n "$signing" ]; then
    say "$out/SHA256SUMS.p7s"
    stamped="NOT time-stamped"
    [ ${#sign_timestamps[@]} = 0 ] || stamped="time-stamped by $GLANCE_SIGN_TIMESTAMP_URL"
    say "signed ($signing) as $(openssl x509 -in "$sign_chain" -noout -subject -nameopt oneline), $stamped"
else
    say "the exe and the MSIs are unsigned (see docs/releasing.md to sign them)"
fi
[ -n "${GLANCE_RELEASE_URL:-}" ] ||
    say "the winget manifest has no download address yet (set GLANCE_RELEASE_URL)"
