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

# Wine's 32-bit part, for the Windows suite as the 32-bit code hosts load: only where the kernel
# runs 32-bit programs (some boot with that off, and there Debian's wine32 would leave `wine`
# unable to start anything). Probed with a 93-byte i386 program that only exits; without it, or
# when the i386 packages cannot be had, the suite runs as 64-bit Windows code instead.
runs_32bit() {
  local probe
  probe="$(mktemp)"
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00'\
'\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  local status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return $status
}
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  if ! runs_32bit; then
    echo "setup: this kernel runs no 32-bit program; the Windows suite will run as 64-bit code"
  else
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    added=0
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $sudo dpkg --add-architecture i386
      added=1
    fi
    if $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
         --no-install-recommends wine32:i386; then
      echo "setup: wine32 installed; the Windows suite runs as 32-bit code"
    else
      echo "setup: wine32 could not be installed; the Windows suite will run as 64-bit code"
      if [ $added -eq 1 ]; then
        $sudo dpkg --remove-architecture i386 || true
        $sudo apt-get update -qq || true
      fi
    fi
  fi
fi
