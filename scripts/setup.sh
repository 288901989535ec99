#!/usr/bin/env bash
# Installs the Debian packages Lumetta needs to build, run and test, when they are missing.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-image-formats-plugins
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri
  libtbb-dev libexiv2-dev libopenjp2-7-dev libgif-dev libjpeg62-turbo-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool imagemagick fonts-dejavu-core
  poppler-utils clang libclang-rt-14-dev desktop-file-utils
)
# The peers that bench/compare.py measures against: only with --bench.
if [ "${1:-}" = "--bench" ]; then
  packages+=(libvips-tools python3-opencv python3-numpy)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
