#!/usr/bin/env bash
# Installs everything the checker needs to build, run and test on Debian 12. Safe to run again:
# it skips apt entirely when every package is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libxml2-dev libxml2-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev fonts-liberation
  poppler-utils time
  libcups2-dev cups-daemon cups-client cups-bsd printer-driver-cups-pdf
  xvfb openbox
  clang libclang-rt-14-dev clang-format
  locales libc-l10n
  librsvg2-bin dpkg-dev file lintian desktop-file-utils appstream xdg-utils
  libfile-mimeinfo-perl libglib2.0-bin shared-mime-info hicolor-icon-theme man-db
  nlohmann-json3-dev python3-jsonschema python3-junitparser
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# A German locale with the system's German messages: the tests show that failure texts stay ours.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
