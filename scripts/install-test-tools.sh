#!/usr/bin/env bash
# Installs the tools that read kpjcheck's pipeline formats back in the tests: Microsoft's SARIF
# validator (npm, pinned) in the folder test-tools/ of the source tree. Safe to run again: it
# skips npm when the pinned version is there. The JUnit reader is a Debian package
# (python3-junitparser, scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

# npm from Debian where the machine has none (a machine with Node.js from elsewhere has its own).
if ! command -v npm >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends npm
fi

sarif_version=5.7.0
tools=test-tools
installed="$tools/node_modules/@microsoft/sarif-multitool-linux/package.json"
if ! grep -q "\"version\": \"$sarif_version\"" "$installed" 2>/dev/null; then
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-save --no-audit --no-fund \
    "@microsoft/sarif-multitool-linux@$sarif_version" >/dev/null
fi
chmod u+x "$tools/node_modules/@microsoft/sarif-multitool-linux/Sarif.Multitool"
