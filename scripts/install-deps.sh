#!/usr/bin/env bash
# Installs everything the checker needs to build, run and test on Debian 12. Safe to run again:
# it skips apt entirely when every package is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libxml2-dev libxml2-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-qpa-plugins libgl-dev fonts-liberation
  poppler-utils time
  clang libclang-rt-14-dev clang-format
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
