#!/usr/bin/env bash
# Renders the README's picture of the Linux window, on an X server and openbox of its own: the
# Qt window with the report of examples/rough-cut.kpj.
#   doc/images/linux-window.png
# (xwd takes the frame: Qt's own window is not one xwd can read; openbox draws no caption
# there.) Takes the window program as its argument (default: build/kestrova-checker).
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/kestrova-checker}
[ -x "$program" ] || { echo "$program is missing: build the window first" >&2; exit 1; }
command -v xwd >/dev/null || { echo "needs xwd (x11-apps, from scripts/build-windows.sh)" >&2; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kestrova-pictures.XXXXXX")
pids=()
finish() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap finish EXIT

source scripts/picture-display.sh
start_display
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$scratch
unset WAYLAND_DISPLAY

# The example in a folder of its own, as a user's project would be (the working copy goes there).
mkdir -p "$scratch/Movies"
cp examples/rough-cut.kpj "$scratch/Movies/"
"$program" "$scratch/Movies/rough-cut.kpj" >/dev/null 2>&1 &
pids+=($!)
take_picture "Kestrova Timeline Checker" doc/images/linux-window.png -frame
