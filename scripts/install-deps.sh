#!/usr/bin/env bash
# Installs what building and testing need on Debian 12; does nothing for a
# package that is already there, so it is safe to run again.
set -euo pipefail

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

packages=(cmake g++ make libgtest-dev googletest
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386 xvfb xdotool x11-utils xauth imagemagick fonts-wine fonts-liberation
  wixl msitools zip unzip osslsigncode openssl python3 binutils faketime
  softhsm2 libengine-pkcs11-openssl opensc
  clang libclang-rt-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
# The package test validates the SBOM with npm packages: any Node.js with npm will do.
command -v npm >/dev/null || missing+=(nodejs npm)
[ $need_i386 = 0 ] && [ ${#missing[@]} = 0 ] && exit 0

SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
[ $need_i386 = 1 ] && $SUDO dpkg --add-architecture i386
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
