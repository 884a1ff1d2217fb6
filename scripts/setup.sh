#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  libboost-dev
  libgtest-dev libgmock-dev
  libbenchmark-dev
  libpng-dev
  clang libclang-rt-dev
  gnuplot-nox
  libwxgtk3.2-dev libgtk-3-dev
  xvfb xauth libxtst-dev
  pkg-config libaravis-dev libusb-1.0-0-dev aravis-tools-cli iproute2 util-linux
  dpkg-dev file
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine wine64 fonts-wine
  libz-mingw-w64-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
