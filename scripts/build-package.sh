#!/usr/bin/env bash
# Builds the Debian package the way a packager would: a Release build without tests, with
# Debian's compiler and linker hardening flags. scripts/build-package.sh [BUILD_FOLDER] (default
# build-package); the build's output goes to standard error, the package's path to standard
# output.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-package}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

# Every setting is given, so a folder configured before for another purpose is set right.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DKESTROVA_GUI=ON -DKESTROVA_WERROR=OFF -DKESTROVA_SANITIZE=OFF -DKESTROVA_FUZZ=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >&2
cmake --build "$build" -j"$(nproc)" --target package >&2

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
package="$build/kestrova-checker_${version}_$(dpkg --print-architecture).deb"
if [ ! -f "$package" ]; then
  echo "The build did not write $package" >&2
  exit 1
fi
echo "$package"
