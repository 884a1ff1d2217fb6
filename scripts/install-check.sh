#!/usr/bin/env bash
# The driver as integrators get it: installed into a staging prefix, README's host example built
# against it from outside the source tree (once through find_package, once through pkg-config) and
# run on the virtual camera network; then the Debian package, its file list and dependencies, and
# the example against the unpacked package.
#   scripts/install-check.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KORVEX_TRANSPORT=virtual
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")

fail() { echo "install-check: FAILED: $*"; exit 1; }

# README's example, as a host project holds it.
mkdir -p "$work/host"
awk '/^## Using the driver from a host/ {f = 1} f && /^```c/ {p = 1; next} p && /^```/ {exit} p' \
  "$root/README.md" > "$work/host/host.c"
[ -s "$work/host/host.c" ] || fail "no host example under \"Using the driver from a host\" in README"
cat > "$work/host/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(host C)
find_package(KorvexEjector 1 REQUIRED)
add_executable(host host.c)
target_link_libraries(host PRIVATE KorvexEjector::KorvexEjector)
CMAKE

# One image, every row of it, from the first camera the driver serves.
grabs() {
  local system; system=$(mktemp -d -p "$work")
  local said
  said=$("$1" "$system" 2>"$system/stderr") || { cat "$system/stderr"; fail "$1 grabbed no image"; }
  echo "  $said"
}

# Every ELF file of a tree finds its libraries without the build folder.
no_build_paths() {
  local file
  while IFS= read -r file; do
    if readelf -d "$file" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -q "$build"; then
      fail "$file still points into the build folder"
    fi
  done < <(find "$1" -type f \( -name '*.so*' -o -path '*/bin/*' \))
}

echo "install-check: cmake --install into a staging prefix"
cmake --install "$build" --prefix "$work/stage" >/dev/null
no_build_paths "$work/stage"
for piece in "$libdir/libKorvexEjector.so" include/KorvexEjector.h bin/korvex-host \
             "$libdir/cmake/KorvexEjector/KorvexEjectorConfig.cmake" "$libdir/pkgconfig/korvex-ejector.pc"; do
  [ -e "$work/stage/$piece" ] || fail "$piece is not installed"
done

echo "install-check: a host project through find_package"
cmake -S "$work/host" -B "$work/host-cmake" -DCMAKE_PREFIX_PATH="$work/stage" >/dev/null
cmake --build "$work/host-cmake" >/dev/null
grabs "$work/host-cmake/host"

# Linked the way a Makefile would, with the library folder as the program's run path.
pc_host() {
  export PKG_CONFIG_PATH=$1
  local out=$2
  # shellcheck disable=SC2046
  cc -std=c99 -D_DEFAULT_SOURCE -o "$out" "$work/host/host.c" $(pkg-config --cflags --libs korvex-ejector) \
    -Wl,-rpath,"$(pkg-config --variable=libdir korvex-ejector)"
  grabs "$out"
}
echo "install-check: a host program through pkg-config"
pc_host "$work/stage/$libdir/pkgconfig" "$work/host-pc"

echo "install-check: the Debian package"
(cd "$build" && cpack -G DEB > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls -t "$build"/korvex-ejector_*_amd64.deb | head -1)
depends=$(dpkg-deb -f "$deb" Depends)
echo "  $(basename "$deb"): Depends: $depends"
for needed in libc6 libstdc++6 libaravis-0.8-0 libwx libgtk-3-0 libpng16; do
  grep -q "$needed" <<< "$depends" || fail "the package does not depend on $needed"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for piece in "usr/lib/libKorvexEjector.so.1" usr/lib/libKorvexCameraSdk.so usr/lib/libKorvexCameraSdkAravis.so \
             usr/lib/libADSAPI32.so usr/lib/libBioDaq.so usr/lib/libKorvexEjectorUi.so usr/include/KorvexEjector.h \
             usr/bin/korvex-host usr/lib/cmake/KorvexEjector/KorvexEjectorConfig.cmake \
             usr/lib/pkgconfig/korvex-ejector.pc usr/share/doc/korvex-ejector/README.md; do
  grep -q "^\./$piece" <<< "$contents" || fail "$piece is not in the package"
done
if grep -E 'Headless|korvex-gev-camera|korvex-grid-gallery|gtest|korvex_bench' <<< "$contents"; then
  fail "test-only pieces are in the package"
fi
dpkg -x "$deb" "$work/root"
no_build_paths "$work/root"
echo "install-check: a host program against the unpacked package"
pc_host "$work/root/usr/lib/pkgconfig" "$work/host-deb"
"$work/root/usr/bin/korvex-host" --system-path "$work/deb-system" --out "$work/deb-pictures" list \
  | grep -q "network: the virtual camera network" || fail "the packaged korvex-host does not list the cameras"
echo "install-check: passed"
