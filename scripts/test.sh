#!/usr/bin/env bash
# Installs what is needed, builds with warnings as errors and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/install-test-tools.sh
jobs=$(nproc)

bash scripts/check-format.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVA_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# A short fuzzing round of every target; scripts/fuzz.sh 600 is the long one.
bash scripts/fuzz.sh 20

# AddressSanitizer and UndefinedBehaviorSanitizer over the engine, the tool and every test
# (the desktop application is left out: its tests gain little from it and cost the most time).
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVA_WERROR=ON \
  -DKESTROVA_SANITIZE=ON -DKESTROVA_GUI=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

# kpjcheck.exe and the window cross-built for Windows: their test suites (the window printing to a
# CUPS queue of the stage's own) and a comparison with kpjcheck, under Wine.
bash scripts/test-windows.sh

# The Debian package: contents, metadata, lintian, and a real install and purge on this machine.
bash scripts/test-package.sh
