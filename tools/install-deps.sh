#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with (only what is missing).
# As root it runs apt-get; otherwise it prints the one line to run and fails.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  libsqlite3-dev zlib1g-dev libpng-dev libjpeg-dev libtiff-dev
  libogg-dev libvorbis-dev libsdl2-dev libfreetype-dev libfontconfig-dev libimgui-dev
  fonts-ipafont-gothic fonts-ipafont-mincho
  libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev
  xvfb xfonts-base xdotool imagemagick x11-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
