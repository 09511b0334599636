#!/usr/bin/env bash
# Installs the Debian packages Corvane needs to build, test and run, skipping
# those already there. Needs root or sudo when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libfreetype-dev libfontconfig-dev fonts-liberation
  libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  libpixman-1-dev libstb-dev
  g++-mingw-w64-x86-64
  clang libclang-rt-14-dev valgrind
  xvfb xdotool x11-utils imagemagick
  dpkg-dev lintian desktop-file-utils file
  wine wine64 zip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "corvane: installing ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "corvane: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
