#!/usr/bin/env bash
# Regenerates the README's example of kpjcheck's picture and JSON from examples/rough-cut.kpj:
# writes doc/images/rough-cut.svg, renders it to doc/images/rough-cut.png with rsvg-convert, and
# prints the JSON line (the README shows it spread over lines).
# Usage: bash scripts/render-readme-picture.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

kpjcheck="$(realpath "${1:-build}")/kpjcheck"
[ -x "$kpjcheck" ] || { echo "no $kpjcheck: build first" >&2; exit 1; }
mkdir -p doc/images

# Run from examples/ so that the picture and the JSON name the project as "rough-cut.kpj".
status=0
(cd examples && "$kpjcheck" --json --svg ../doc/images/rough-cut.svg rough-cut.kpj) || status=$?
if [ "$status" -gt 1 ]; then
  echo "kpjcheck could not check examples/rough-cut.kpj (exit status $status)" >&2
  exit 1
fi
rsvg-convert -o doc/images/rough-cut.png doc/images/rough-cut.svg
