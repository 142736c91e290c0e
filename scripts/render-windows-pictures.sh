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

mkfifo "$scratch/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
pids+=($!)
read -r -t 20 number <"$scratch/display"
export DISPLAY=:$number
openbox >/dev/null 2>&1 &
pids+=($!)
"$wine" wineboot -i >/dev/null 2>&1

# Once the window of that title shows, takes a picture of it as a PNG: the window's own area
# (menu bar and client area; the caption is the window manager's).
picture() {
  local title=$1 png=$2
  for _ in $(seq 100); do
    xwd -silent -name "$title" -out "$scratch/picture.xwd" 2>/dev/null && break
    sleep 0.2
  done
  sleep 1 # let it finish drawing
  xwd -silent -name "$title" -out "$scratch/picture.xwd"
  python3 scripts/xwd-to-png.py "$scratch/picture.xwd" "$png"
  echo "wrote $png"
}

mkdir -p doc/images
# The example under a path such as a user's own, on drive C: of the prefix.
mkdir -p "$WINEPREFIX/drive_c/Movies"
cp examples/rough-cut.kpj "$WINEPREFIX/drive_c/Movies/"
project='C:\Movies\rough-cut.kpj'
"$wine" "$out/kestrova-checker.exe" "$project" >/dev/null 2>&1 &
picture "Kestrova Timeline Checker" doc/images/windows-window.png
"$wine" "$out/tests/app/win32/post_command.exe" 1003 # Help > About
picture "About Kestrova Checker" doc/images/windows-about.png
