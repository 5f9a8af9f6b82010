#!/usr/bin/env bash
# Installs the Debian packages the build needs; packages already present cost nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ g++-12 clang-14 libclang-rt-14-dev clang-format-14 pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev libdeflate-dev zlib1g-dev libnetpbm-dev
  liblcms2-dev libgs-common
  qt6-base-dev libgl-dev libxcb1-dev
  libwebp-dev libheif-dev
  xvfb xauth openbox x11-utils xdotool qt6-qpa-plugins
  libcli11-dev nlohmann-json3-dev liblemon-dev
  gimp libgimp2.0-dev
  parallel
  imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
