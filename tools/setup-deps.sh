#!/usr/bin/env bash
# Installs the Debian packages the build, the content and the tests need, and the file dialog and
# page opener the program runs (only those missing).
set -euo pipefail
packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev libcurl4-openssl-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  librsvg2-bin fonts-dejavu-core imagemagick xvfb xauth
  libcpp-httplib-dev
  zenity xdg-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:"
  echo "  apt-get update && apt-get install -y ${missing[*]}"
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
