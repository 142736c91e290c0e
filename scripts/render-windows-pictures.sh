#!/usr/bin/env bash
# Renders the README's pictures of the Windows window under Wine, on an X server and openbox of
# its own: the window with the report of examples/rough-cut.kpj, and its About dialog.
#   doc/images/windows-window.png
#   doc/images/windows-about.png
# Run scripts/build-windows.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/build-windows
for program in kestrova-checker.exe tests/app/win32/post_command.exe; do
  [ -f "$out/$program" ] || { echo "build-windows/$program is missing: run scripts/build-windows.sh" >&2; exit 1; }
done
command -v xwd >/dev/null || { echo "needs xwd (x11-apps, from scripts/build-windows.sh)" >&2; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kestrova-pictures.XXXXXX")
export WINEPREFIX=$scratch/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
# Wine makes a folder of its own under the temporary folder; this one goes with the scratch.
mkdir -p "$scratch/tmp"
export TMPDIR=$scratch/tmp
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
PATH=$PATH:$(dirname "$wine")
pids=()
finish() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap finish EXIT

source scripts/picture-display.sh
start_display
"$wine" wineboot -i >/dev/null 2>&1

# The example under a path such as a user's own, on drive C: of the prefix.
mkdir -p "$WINEPREFIX/drive_c/Movies"
cp examples/rough-cut.kpj "$WINEPREFIX/drive_c/Movies/"
project='C:\Movies\rough-cut.kpj'
"$wine" "$out/kestrova-checker.exe" "$project" >/dev/null 2>&1 &
take_picture "Kestrova Timeline Checker" doc/images/windows-window.png
"$wine" "$out/tests/app/win32/post_command.exe" 1003 # Help > About
take_picture "About Kestrova Checker" doc/images/windows-about.png
