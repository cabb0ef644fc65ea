#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12:
# the mingw-w64 i686 cross toolchain with static zlib, host zlib and
# GoogleTest, CMake, Wine (with the i386 architecture), Xvfb, nginx,
# pytest, clang for fuzzing and ImageMagick for screenshots.
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  build-essential cmake make pkg-config
  g++-mingw-w64-i686 binutils-mingw-w64-i686 libz-mingw-w64-dev
  zlib1g-dev googletest libgtest-dev
  wine wine32:i386 wine64
  xvfb x11-utils imagemagick
  nginx-light
  python3 python3-pytest
  clang libclang-rt-14-dev
  osslsigncode
)

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  missing=("${packages[@]}")
else
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# nginx-light starts a system service on install; the tests run their own.
if command -v systemctl >/dev/null 2>&1; then $SUDO systemctl disable --now nginx >/dev/null 2>&1 || true; fi
$SUDO service nginx stop >/dev/null 2>&1 || true

echo "bootstrap: done"
