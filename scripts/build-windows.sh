#!/usr/bin/env bash
# Cross-builds kpjcheck.exe and the window kestrova-checker.exe for 64-bit Windows on Debian 12,
# with their tests, and packs the release archive:
#   build-windows/kpjcheck.exe
#   build-windows/kestrova-checker.exe
#   build-windows/kestrova-checker-<version>-windows-x64.zip
#   build-windows/kestrova-checker-<version>-setup.exe (made by NSIS from windows/setup.nsi)
# libxml2 is built from Debian's own source package and GoogleTest from /usr/src/googletest,
# both for x86_64-w64-mingw32 and kept in build-windows/deps, so a second run only rebuilds the
# checker.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
out=$source_dir/build-windows
deps=$out/deps
work=$out/deps-work
toolchain=$source_dir/cmake/mingw-w64-x86_64.cmake
triple=x86_64-w64-mingw32
jobs=$(nproc)
export DEBIAN_FRONTEND=noninteractive

step() { printf '== %s\n' "$*"; }

# Runs a command with its output kept in a log; shows the end of the log when it fails.
quiet() {
  "$@" >"$work/last-step.log" 2>&1 || {
    tail -n 40 "$work/last-step.log" >&2
    return 1
  }
}

install_packages() {
  local packages=(
    cmake ninja-build make pkg-config dpkg-dev zip
    g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
    wine wine64 nsis
    libgtest-dev libgmock-dev nlohmann-json3-dev
    xvfb openbox cups-daemon cups-client printer-driver-cups-pdf poppler-utils python3 x11-apps
  )
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    step "installing ${missing[*]}"
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# apt-get source needs deb-src entries; they go into a file of our own, mirroring the binary
# entries this machine already uses.
enable_source_packages() {
  apt-cache showsrc libxml2 2>/dev/null | grep -q '^Package: libxml2' && return 0
  step "adding deb-src entries for Debian's source packages"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      >/etc/apt/sources.list.d/kestrova-deb-src.sources
  elif grep -qs '^deb ' /etc/apt/sources.list; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/kestrova-deb-src.list
  else
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\n' \
      >/etc/apt/sources.list.d/kestrova-deb-src.sources
  fi
  apt-get update -qq
}

# The same libxml2 release as the Linux build links, when that one is installed.
libxml2_source_version() {
  dpkg-query -W -f='${source:Version}' libxml2 2>/dev/null || true
}

build_libxml2() {
  local version stamp
  version=$(libxml2_source_version)
  stamp=$deps/.libxml2-${version:-latest}
  [ -f "$stamp" ] && return 0
  enable_source_packages
  step "building libxml2 ${version} for $triple"
  rm -rf "$work/libxml2" && mkdir -p "$work/libxml2"
  (cd "$work/libxml2" &&
    { apt-get source -qq "libxml2${version:+=$version}" >/dev/null 2>&1 ||
      apt-get source -qq libxml2 >/dev/null; })
  local tree
  tree=$(find "$work/libxml2" -mindepth 1 -maxdepth 1 -type d -name 'libxml2-*' | head -n 1)
  # Only the parser and the tree: no network, no converters beyond the built-in UTF-8, UTF-16
  # and ISO-8859-1, no compression, no threads (the checker parses on one thread).
  quiet cmake -S "$tree" -B "$work/libxml2/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_SHARED_LIBS=OFF \
    -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_ICONV=OFF \
    -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_ISO8859X=OFF -DLIBXML2_WITH_ZLIB=OFF \
    -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_THREADS=OFF \
    -DLIBXML2_WITH_THREAD_ALLOC=OFF -DLIBXML2_WITH_MODULES=OFF -DLIBXML2_WITH_CATALOG=OFF \
    -DLIBXML2_WITH_LEGACY=OFF -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF \
    -DHAVE_PTHREAD_H=''
  quiet nice cmake --build "$work/libxml2/build" -j"$jobs"
  quiet cmake --install "$work/libxml2/build"
  # The static library is used as is, not imported from a DLL.
  grep -q LIBXML_STATIC "$deps/lib/pkgconfig/libxml-2.0.pc" ||
    sed -i '/^Cflags:/ s/$/ -DLIBXML_STATIC/' "$deps/lib/pkgconfig/libxml-2.0.pc"
  touch "$stamp"
}

build_googletest() {
  local stamp=$deps/.googletest
  [ -f "$stamp" ] && return 0
  step "building GoogleTest for $triple"
  quiet cmake -S /usr/src/googletest -B "$work/googletest" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps"
  quiet nice cmake --build "$work/googletest" -j"$jobs"
  quiet cmake --install "$work/googletest"
  touch "$stamp"
}

# nlohmann json is headers only: its headers and CMake package are copied, so that the cross
# build sees them without seeing the rest of the host's /usr/include.
expose_json_headers() {
  mkdir -p "$deps/include" "$deps/share/cmake"
  rm -rf "$deps/include/nlohmann" "$deps/share/cmake/nlohmann_json"
  cp -r /usr/include/nlohmann "$deps/include/"
  cp -r /usr/share/cmake/nlohmann_json "$deps/share/cmake/"
}

# Optimised as the Linux build is (-O2): GCC 12 warns wrongly about std::string at -O3.
build_checker() {
  step "building kpjcheck.exe, kestrova-checker.exe and their tests"
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  PKG_CONFIG_LIBDIR=$deps/lib/pkgconfig PKG_CONFIG_PATH='' \
    cmake -S "$source_dir" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DKESTROVA_GUI=OFF -DKESTROVA_WERROR=ON \
    -DCMAKE_FIND_ROOT_PATH="$deps" "${launcher[@]}" >"$work/configure.log" ||
    { tail -n 40 "$work/configure.log" >&2; return 1; }
  nice cmake --build "$out" -j"$jobs"
}

# Every DLL the programs import must be one that Windows itself ships.
check_imports() {
  local exe dll bad=0
  for exe in "$out/kpjcheck.exe" "$out/kestrova-checker.exe"; do
    while read -r dll; do
      case "${dll,,}" in
      kernel32.dll | msvcrt.dll | advapi32.dll | user32.dll | shell32.dll | ucrtbase.dll) ;;
      gdi32.dll | comdlg32.dll | comctl32.dll | winspool.drv) ;;
      api-ms-win-*) ;;
      *)
        echo "$(basename "$exe") needs $dll, which Windows does not ship" >&2
        bad=1
        ;;
      esac
    done < <("$triple-objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  done
  return "$bad"
}

pack_release() {
  local version archive staging
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/CMakeCache.txt")
  archive=$out/kestrova-checker-$version-windows-x64.zip
  staging=$work/release
  rm -rf "$staging" "$archive" && mkdir -p "$staging"
  "$triple-strip" -o "$staging/kpjcheck.exe" "$out/kpjcheck.exe"
  "$triple-strip" -o "$staging/kestrova-checker.exe" "$out/kestrova-checker.exe"
  # Notepad and every other Windows editor expect CR LF.
  sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$source_dir/windows/README.txt" >"$staging/README.txt"
  (cd "$staging" && zip -q -X "$archive" kestrova-checker.exe kpjcheck.exe README.txt)
  step "wrote $archive"
  make_setup "$version" "$staging"
}

# The setup program installs the same three files as the archive holds.
make_setup() {
  local version=$1 staging=$2 setup
  setup=$out/kestrova-checker-$version-setup.exe
  rm -f "$setup"
  quiet makensis -V2 -WX -DVERSION="$version" -DSTAGING="$staging" -DOUTFILE="$setup" \
    "$source_dir/windows/setup.nsi"
  step "wrote $setup"
}

install_packages
mkdir -p "$deps" "$work"
build_libxml2
build_googletest
expose_json_headers
build_checker
check_imports
pack_release
