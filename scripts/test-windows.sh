#!/usr/bin/env bash
# The Windows stage of the test command. Cross-builds kpjcheck.exe and the test programs, then,
# in a Wine prefix of its own (made in a temporary folder and removed at the end):
#   - runs the cross-built test suites under wine64;
#   - checks kpjcheck.exe against the Linux kpjcheck on every project under tests/data and
#     examples: the same report (its CR LF line ends read as LF) and the same exit status, with
#     the project named by a drive-letter path with backslashes, and once more under a
#     non-ASCII name.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
out=$source_dir/build-windows
jobs=$(nproc)

bash scripts/build-windows.sh

# The Linux kpjcheck the Windows one must agree with: the test command's own build when there
# is one, else a build of the tool alone.
linux_kpjcheck=$source_dir/build/kpjcheck
if [ ! -x "$linux_kpjcheck" ]; then
  bash scripts/install-deps.sh
  cmake -S . -B build-linux-reference -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTROVA_GUI=OFF >/dev/null
  cmake --build build-linux-reference -j"$jobs" --target kpjcheck >/dev/null
  linux_kpjcheck=$source_dir/build-linux-reference/kpjcheck
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kestrova-wine.XXXXXX")
export WINEPREFIX=$scratch/prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree=;mshtml="
export LANG=C.UTF-8 # Wine turns the UTF-8 command line into the UTF-16 arguments
unset DISPLAY WAYLAND_DISPLAY
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || wine=$(command -v wine)

stop_wine() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$scratch"
}
trap stop_wine EXIT

started=$SECONDS
mkdir -p "$WINEPREFIX"
# One server for the whole stage, instead of one per program started.
wineserver -p
"$wine" wineboot -i >/dev/null 2>&1
echo "== Wine prefix ready in $((SECONDS - started)) s"

failures=0
started=$SECONDS
ctest --test-dir "$out" --output-on-failure -j"$jobs" || failures=$((failures + 1))
echo "== Windows test suites under Wine: $((SECONDS - started)) s" \
  "(the *_posix_only suites test named pipes, signals, inotify, sockets and mounts)"

# The Windows name of a file here: drive Z: is the host's root, with backslashes.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Gives the report with its CR LF line ends read as LF and the Windows path written as the
# Linux one, so that the two tools' reports can be compared byte for byte. Fails when some
# line end is a bare LF.
as_linux_report() {
  python3 - "$1" "$2" "$3" <<'EOF'
import sys
report, windows, linux = open(sys.argv[1], "rb").read(), sys.argv[2], sys.argv[3]
bare = report.replace(b"\r\n", b"").count(b"\n")
if bare:
    sys.exit(f"{bare} line ends are a bare LF instead of CR LF")
sys.stdout.buffer.write(report.replace(b"\r\n", b"\n").replace(windows.encode(), linux.encode()))
EOF
}

started=$SECONDS
projects=$scratch/projects
mkdir -p "$projects"
cp -r tests/data examples "$projects/"
first=$(find "$projects" -name '*.kpj' | sort | head -n 1)
cp "$first" "$projects/Überblick.kpj"
# One project: the same exit status and the same report from both tools. Prints a line that
# starts with DIFFERS when they disagree.
compare_project() {
  local project=$1 name linux_status=0 windows_status=0 files
  name=${project#"$projects"/}
  files=$(mktemp -d "$scratch/compare.XXXXXX")
  "$linux_kpjcheck" "$project" >"$files/linux.out" 2>/dev/null || linux_status=$?
  "$wine" "$out/kpjcheck.exe" "$(windows_path "$project")" >"$files/windows.raw" 2>/dev/null ||
    windows_status=$?
  if [ "$linux_status" != "$windows_status" ]; then
    echo "DIFFERS $name: exit status $windows_status on Windows, $linux_status on Linux"
  elif ! as_linux_report "$files/windows.raw" "$(windows_path "$project")" "$project" \
    >"$files/windows.out" ||
    ! diff -u "$files/linux.out" "$files/windows.out" >"$files/diff"; then
    echo "DIFFERS $name: report"
    head -n 20 "$files/diff"
  fi
  rm -rf "$files"
}
export -f compare_project as_linux_report windows_path
export projects linux_kpjcheck wine out scratch
find "$projects" -name '*.kpj' -print0 | sort -z |
  xargs -0 -n 1 -P "$jobs" bash -c 'compare_project "$1"' compare >"$scratch/differential.log"
cat "$scratch/differential.log"
count=$(find "$projects" -name '*.kpj' | wc -l)
differ=$(grep -c '^DIFFERS' "$scratch/differential.log" || true)
failures=$((failures + differ))
echo "== kpjcheck.exe against the Linux kpjcheck: $count projects in $((SECONDS - started)) s," \
  "$differ differ"

# Options and a project given by a relative path behave as on Linux.
for arguments in "--help" "--version" "--no-such-option" ""; do
  linux_status=0
  "$linux_kpjcheck" $arguments >"$scratch/linux.out" 2>&1 || linux_status=$?
  windows_status=0
  "$wine" "$out/kpjcheck.exe" $arguments >"$scratch/windows.raw" 2>&1 || windows_status=$?
  if [ "$linux_status" != "$windows_status" ] ||
    ! as_linux_report "$scratch/windows.raw" "" "" | cmp -s - "$scratch/linux.out"; then
    echo "DIFFERS kpjcheck $arguments"
    failures=$((failures + 1))
  fi
done
# A relative path with a non-ASCII name, from the project's own folder.
linux_status=0
(cd "$projects" && "$linux_kpjcheck" Überblick.kpj >"$scratch/linux.out" 2>&1) || linux_status=$?
windows_status=0
(cd "$projects" && "$wine" "$out/kpjcheck.exe" Überblick.kpj >"$scratch/windows.raw" 2>&1) ||
  windows_status=$?
if [ "$linux_status" != "$windows_status" ] ||
  ! as_linux_report "$scratch/windows.raw" "" "" | cmp -s - "$scratch/linux.out"; then
  echo "DIFFERS kpjcheck Überblick.kpj from its own folder"
  failures=$((failures + 1))
fi
left=$(find "$projects" -name '*.tmp' | wc -l)
if [ "$left" != 0 ]; then
  echo "$left working copies were left behind"
  failures=$((failures + 1))
fi
[ "$failures" = 0 ]
