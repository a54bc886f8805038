#!/usr/bin/env bash
# Turns the built program into what users download, in build/package/:
#   GlanceRefresher-<version>-x86.msi           the per-user installer (packaging/GlanceRefresher.wxs)
#   GlanceRefresher-<version>-x86-portable.zip  the program to unzip anywhere
#   SHA256SUMS                                   the checksums of both
#   winget/manifests/q/Quillhaven/GlanceRefresher/<version>/   the winget manifest (schema 1.6)
#
# Usage: bash scripts/package.sh [--no-build] [--dist DIR] [--out DIR] [--version X.YY]
#   --no-build   package the program already in the dist folder (default: build it first)
#   --dist DIR   the folder with GlanceRefresher.exe and HAND-M.CUR (default: build/mingw/dist)
#   --out DIR    where the packages go (default: build/package)
#   --version V  the product version, with two decimals (default: the project's, 7.00)
#
# Environment:
#   GLANCE_SIGN_CERT           a PKCS#12 file (.pfx) with a code-signing certificate and its key:
#                              the exe, the installer's custom-action DLL and the MSI are signed
#                              with it. Without it the packages are built unsigned, and say so.
#   GLANCE_SIGN_PASSWORD       the file's password (handed to osslsigncode through a pipe, so it
#                              never shows in a process list)
#   GLANCE_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server; without one a signature stops being
#                              valid when the certificate expires
#   GLANCE_RELEASE_URL         the address of the folder the MSI will be downloaded from, for the
#                              winget manifest's InstallerUrl
#   SOURCE_DATE_EPOCH          the files' time in the zip (default: the last commit's), so the same
#                              program gives the same zip
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

build=1
dist=$repo/build/mingw/dist
out=$repo/build/package
version=
while [ $# -gt 0 ]; do
    case $1 in
    --no-build) build=0 ;;
    --dist) dist=$2; shift ;;
    --out) out=$2; shift ;;
    --version) version=$2; shift ;;
    *) echo "package.sh: unknown option $1 (see the head of the script)" >&2; exit 2 ;;
    esac
    shift
done

say() { echo "package: $*"; }
die() { echo "package: $*" >&2; exit 1; }

if [ $build = 1 ]; then
    bash "$repo/scripts/install-deps.sh"
    (cd "$repo" && cmake --preset mingw >/dev/null &&
        cmake --build --preset mingw --target GlanceRefresher -j "$(nproc 2>/dev/null || echo 2)")
fi
for tool in wixl msibuild msiinfo zip osslsigncode i686-w64-mingw32-g++ python3 sha256sum; do
    command -v $tool >/dev/null || die "$tool is missing: run bash scripts/install-deps.sh"
done
for file in GlanceRefresher.exe HAND-M.CUR; do
    [ -f "$dist/$file" ] || die "no $dist/$file: build the program first (or leave out --no-build)"
done

# Users see "7.00" (the version record's spelling); Windows Installer reads it as 7.0.
if [ -z "$version" ]; then
    read -r major minor < <(sed -nE 's/^project\(GlanceRefresher VERSION ([0-9]+)\.([0-9]+).*/\1 \2/p' \
        "$repo/CMakeLists.txt")
    version=$(printf '%d.%02d' "$major" "$minor")
fi
[[ $version =~ ^[0-9]+\.[0-9]{2}$ ]] || die "version $version is not of the form 7.00"

wxs=$repo/packaging/GlanceRefresher.wxs
upgrade_code=$(sed -nE 's/.*UpgradeCode="([0-9A-F-]{36})".*/\1/p' "$wxs")
[ -n "$upgrade_code" ] || die "no UpgradeCode in $wxs"
# One product code per version, the same on every build of that version: a
# name-based (SHA-1) UUID of the version in the UpgradeCode's namespace.
product_code=$(python3 -c 'import sys, uuid
print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), "GlanceRefresher " + sys.argv[2])).upper())' \
    "$upgrade_code" "$version")

mkdir -p "$out"
out=$(cd "$out" && pwd)
msi=GlanceRefresher-$version-x86.msi
zip=GlanceRefresher-$version-x86-portable.zip
stage=$out/stage
rm -rf "$stage" "$out/winget"
rm -f "$out"/GlanceRefresher-*-x86.msi "$out"/GlanceRefresher-*-x86-portable.zip "$out/SHA256SUMS"
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
    [ -n "${GLANCE_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$GLANCE_SIGN_TIMESTAMP_URL")
    printf '%s' "${GLANCE_SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" >/dev/null ||
        die "signing $(basename "$1") failed"
    mv "$1.signed" "$1"
}

# --- the installer's custom actions: closing a running copy, removing the
# start-up entry (see the .wxs for why they are code).
i686-w64-mingw32-g++ -std=c++20 -Os -Wall -Wextra -Wpedantic -Werror \
    -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -D_WIN32_WINNT=0x0601 \
    -ffunction-sections -shared -static -s -Wl,--gc-sections -Wl,--kill-at \
    -o "$stage/msi/GlanceSetupActions.dll" "$repo/packaging/ca/SetupActions.cpp" -lmsi

cp "$dist/GlanceRefresher.exe" "$dist/HAND-M.CUR" "$stage/msi/"
cp "$repo/res/GlanceRefresher.ico" "$stage/msi/"
if [ $signing = 1 ]; then
    sign "$stage/msi/GlanceRefresher.exe"
    sign "$stage/msi/GlanceSetupActions.dll"
fi

# --- the MSI. wixl finds the files named in the .wxs in its working folder.
(cd "$stage/msi" && wixl -a x86 -D "Version=$version" -D "ProductCode=$product_code" \
    -o "$out/$msi" "$wxs") 2>"$stage/wixl.log" || { cat "$stage/wixl.log" >&2; die "wixl failed"; }
# wixl warns, and goes on, about what it does not know: treat that as an error.
if grep -q . "$stage/wixl.log"; then cat "$stage/wixl.log" >&2; die "wixl did not take all of $wxs"; fi
# wixl writes every custom action that is not deferred as immediate: the
# rollback action gets its type here (DLL 1 + continue 64 + in-script 1024 + rollback 256).
rollback_type=$((1 + 64 + 1024 + 256))
msibuild "$out/$msi" -q "UPDATE \`CustomAction\` SET \`Type\` = $rollback_type WHERE \`Action\` = 'RestoreRunValue'"
actions=$(msiinfo export "$out/$msi" CustomAction)
grep -q "^RestoreRunValue	$rollback_type	" <<<"$actions" || die "the rollback action's type was not set"
[ $signing = 1 ] && sign "$out/$msi"

# --- the portable zip: files at its root (Windows' "Extract All" makes the
# folder), text with Windows line ends, the skin under a name the program
# does not load.
portable=$stage/portable
cp "$stage/msi/GlanceRefresher.exe" "$stage/msi/HAND-M.CUR" "$portable/"
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$repo/packaging/portable/README.txt" >"$portable/README.txt"
sed -e 's/$/\r/' "$repo/packaging/portable/skins/slate.cjs.example" >"$portable/skins/slate.cjs.example"
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct 2>/dev/null || echo 1700000000)}
chmod 644 "$portable"/* "$portable"/skins/*
find "$portable" -exec touch -d "@$epoch" {} +
(cd "$portable" && TZ=UTC zip -X -D -q -9 "$out/$zip" \
    GlanceRefresher.exe HAND-M.CUR README.txt skins/slate.cjs.example)

(cd "$out" && sha256sum "$msi" "$zip" >SHA256SUMS)

# --- the winget manifest
manifests=$out/winget/manifests/q/Quillhaven/GlanceRefresher/$version
mkdir -p "$manifests"
msi_sha=$(sha256sum "$out/$msi" | cut -d' ' -f1 | tr a-f A-F)
url=${GLANCE_RELEASE_URL:-SET-GLANCE_RELEASE_URL}
# A replacement text for sed: an address may hold & (a query) or |.
url=$(printf '%s' "${url%/}/$msi" | sed 's/[&|\\]/\\&/g')
for template in "$repo"/packaging/winget/*.yaml; do
    sed -e '/^# Template:/d' -e "s|@VERSION@|$version|g" -e "s|@PRODUCT_CODE@|{$product_code}|g" \
        -e "s|@UPGRADE_CODE@|{$upgrade_code}|g" -e "s|@INSTALLER_SHA256@|$msi_sha|g" \
        -e "s|@INSTALLER_URL@|$url|g" "$template" >"$manifests/$(basename "$template")"
done

say "version $version, product code {$product_code}"
say "$out/$msi"
say "$out/$zip"
say "$out/SHA256SUMS"
say "$manifests/"
if [ $signing = 1 ]; then
    say "signed with $(basename "$GLANCE_SIGN_CERT")${GLANCE_SIGN_TIMESTAMP_URL:+, time-stamped by $GLANCE_SIGN_TIMESTAMP_URL}"
else
    say "the exe and the MSI are unsigned (set GLANCE_SIGN_CERT and GLANCE_SIGN_PASSWORD to sign them)"
fi
[ -n "${GLANCE_RELEASE_URL:-}" ] ||
    say "the winget manifest has no download address yet (set GLANCE_RELEASE_URL)"
