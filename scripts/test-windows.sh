#!/usr/bin/env bash
# The Windows stage of the test command. Cross-builds kpjcheck.exe, kestrova-checker.exe and the
# test programs, then, in a Wine prefix of its own (made in a temporary folder and removed at
# the end), on an X server, a window manager and a CUPS scheduler of its own:
#   - runs the cross-built test suites under wine64, the window's among them, which prints
#     through Wine's spooler to a cups-pdf queue that is the scheduler's default; the PDF's
#     pages are then read back and compared with the pages the test expected;
#   - checks kpjcheck.exe against the Linux kpjcheck on every project under tests/data and
#     examples: the same report (its CR LF line ends read as LF) and the same exit status, with
#     the project named by a drive-letter path with backslashes, and once more under names in
#     Latin, Cyrillic and CJK letters, and through a wildcard; then the whole folder of them,
#     three projects at once;
#   - installs the setup program silently, opens a project through the file type it registers
#     and uninstalls it silently, checking what each step leaves in the prefix, and runs it
#     where it must fail or keep the user's files (scripts/test-windows-setup.sh).
set -euo pipefail
# A step that fails ends the stage; it says which, so that no stop goes unexplained.
trap 'echo "test-windows.sh: the command at line $LINENO failed (status $?)" >&2' ERR
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
# Wine now and then fails to start a program before any of its code runs: "failed to map the
# shared user data" (STATUS_CONFLICTING_ADDRESSES, an address clash at process start, seen about
# once in 2,000 starts on a loaded machine), and wine exits 1 having written nothing. The err
# channel of Wine's memory manager stays on so that such a start shows, and only a start that
# failed so is tried again (wine_start_failed); every other failure counts.
export WINEPREFIX=$scratch/prefix WINEARCH=win64 WINEDEBUG=-all,err+virtual
wine_start_failed() { grep -q 'failed to map the shared user data' "$@"; }
# Wine makes a folder of its own under the temporary folder; this one goes with the scratch.
mkdir -p "$scratch/tmp"
export TMPDIR=$scratch/tmp
# No Mono or Gecko: nothing here needs them, and their installers would ask. No menu builder:
# it would copy the prefix's Start menu and file types into the user's desktop menus.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export LANG=C.UTF-8 # Wine turns the UTF-8 command line into the UTF-16 arguments
unset DISPLAY WAYLAND_DISPLAY
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || wine=$(command -v wine)
PATH=$PATH:$(dirname "$wine") # wineserver beside it

# The services this stage starts, each stopped by its own process id.
service_pids=()
# cups-pdf writes into the PDF folder of the user the job runs as (this one), in the home that
# the user database gives: the files there before the stage are kept. A file written during the
# stage is the stage's own, also where it took the name of one left there by an earlier run
# (its time is after the stage's mark).
pdf_output=$(getent passwd "$(id -un)" | cut -d: -f6)/PDF
pdf_before=$scratch/pdf-before
pdf_mark=$scratch/pdf-mark
printed_pdfs() {
  local name
  for name in $(find "$pdf_output" -maxdepth 1 -type f -name '*.pdf' -printf '%f\n' 2>/dev/null); do
    if ! grep -qxF "$name" "$pdf_before" || [ "$pdf_output/$name" -nt "$pdf_mark" ]; then
      echo "$pdf_output/$name"
    fi
  done
}
stop_wine() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  local pid
  for pid in "${service_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${service_pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  if [ -f "$pdf_before" ]; then
    local pdf
    for pdf in $(printed_pdfs); do
      rm -f "$pdf"
    done
    [ -s "$pdf_before" ] || rmdir "$pdf_output" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap stop_wine EXIT

# An X server on a free display, and openbox on it: under Wine a window manager makes showing
# and closing windows immediate. The window's tests run there; the others ignore it.
started=$SECONDS
mkfifo "$scratch/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
service_pids+=($!)
read -r -t 20 display_number <"$scratch/display"
export DISPLAY=:$display_number
openbox >/dev/null 2>&1 &
service_pids+=($!)

# A CUPS scheduler on a free port of 127.0.0.1, its files in the scratch folder, with a cups-pdf
# queue as its default; Wine's spooler finds it through CUPS_SERVER.
cups=$scratch/cups
mkdir -p "$cups"/{spool,cache,state,log,tmp,bin/backend} "$scratch/print-check"
chmod 0711 "$scratch" "$cups" # filters run as the scheduler's own user and pass through
chmod 1777 "$cups/tmp"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '%s\n' "Listen 127.0.0.1:$port" "LogLevel warn" "DefaultAuthType None" "WebInterface No" \
  "Browsing No" "<Location />" "  Order allow,deny" "  Allow all" "</Location>" \
  "<Policy default>" "  <Limit All>" "    Order deny,allow" "  </Limit>" "</Policy>" \
  >"$cups/cupsd.conf"
for part in /usr/lib/cups/*/; do
  [ "$(basename "$part")" = backend ] || ln -s "$part" "$cups/bin/$(basename "$part")"
done
ln -s /usr/lib/cups/backend/cups-pdf "$cups/bin/backend/cups-pdf"
printf '%s\n' "ServerRoot $cups" "StateDir $cups/state" "CacheDir $cups/cache" \
  "RequestRoot $cups/spool" "TempDir $cups/tmp" "ErrorLog $cups/log/error_log" \
  "AccessLog $cups/log/access_log" "PageLog $cups/log/page_log" "ServerBin $cups/bin" \
  >"$cups/cups-files.conf"
/usr/sbin/cupsd -f -c "$cups/cupsd.conf" -s "$cups/cups-files.conf" &
service_pids+=($!)
export CUPS_SERVER=127.0.0.1:$port
# A scheduler started for the first time on a fresh machine may take many seconds before it
# takes a queue, so both the wait and the queue's creation are given time.
for _ in $(seq 300); do
  lpstat -r >/dev/null 2>&1 && break
  sleep 0.1
done
print_queue=kestrova-pdf
for attempt in 1 2 3 4 5 6 7 8 9 10; do
  lpadmin -p "$print_queue" -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd \
    2>"$scratch/lpadmin.err" && break
  [ "$attempt" = 10 ] && { cat "$scratch/lpadmin.err" >&2; false; }
  sleep 1
done
lpadmin -d "$print_queue"
find "$pdf_output" -maxdepth 1 -type f -name '*.pdf' -printf '%f\n' >"$pdf_before" 2>/dev/null ||
  true
touch "$pdf_mark"
sleep 1 # the mark is older than any file printed from here on, to the second
# Where the window's print test writes the pages it expects (drive Z: is the host's root).
export KESTROVA_PRINT_CHECK="Z:${scratch//\//\\}\\print-check"
echo "== X server :$display_number, openbox and CUPS on port $port ready in $((SECONDS - started)) s"

started=$SECONDS
mkdir -p "$WINEPREFIX"
# One server for the whole stage, instead of one per program started.
wineserver -p
"$wine" wineboot -i >/dev/null 2>&1
echo "== Wine prefix ready in $((SECONDS - started)) s"

failures=0
started=$SECONDS
if ! ctest --test-dir "$out" --output-on-failure -j"$jobs"; then
  if wine_start_failed "$out/Testing/Temporary/LastTest.log"; then
    echo "== Wine failed to start a suite; the failed suites once more:"
    ctest --test-dir "$out" --output-on-failure --rerun-failed || failures=$((failures + 1))
  else
    failures=$((failures + 1))
  fi
fi
echo "== Windows test suites under Wine: $((SECONDS - started)) s" \
  "(the *_posix_only suites test named pipes, signals, inotify, sockets and mounts)"

# The window's printout: one PDF (the cancelled print left none), titled after the project,
# whose every page holds the lines the test expected there.
check_printout() {
  local pdfs=() page expected
  mapfile -t pdfs < <(printed_pdfs)
  if [ ! -f "$scratch/print-check/page-1.txt" ]; then
    echo "PRINT: the window's print test wrote no expected pages"
    return 1
  fi
  # cups-pdf writes the file once the job has gone through the filters.
  for _ in $(seq 100); do
    [ ${#pdfs[@]} -gt 0 ] && [ -z "$(lpstat -o "$print_queue" 2>/dev/null)" ] && break
    sleep 0.2
    mapfile -t pdfs < <(printed_pdfs)
  done
  if [ ${#pdfs[@]} != 1 ]; then
    echo "PRINT: ${#pdfs[@]} PDF files were printed instead of 1"
    return 1
  fi
  local pages
  pages=$(pdfinfo "${pdfs[0]}" | sed -n 's/^Pages: *//p')
  expected=$(find "$scratch/print-check" -name 'page-*.txt' | wc -l)
  if [ "$pages" != "$expected" ]; then
    echo "PRINT: $pages pages printed instead of $expected"
    return 1
  fi
  # Wine's PostScript driver writes the title in the Windows code page, so the dash is not
  # compared; the project's name is.
  local title
  title=$(pdfinfo "${pdfs[0]}" | sed -n 's/^Title: *//p')
  case "$title" in
  *"Kestrova Checker"*"$(sed 's/.* //' "$scratch/print-check/job-name.txt")"*) ;;
  *)
    echo "PRINT: the job is titled '$title', not after $(cat "$scratch/print-check/job-name.txt")"
    return 1
    ;;
  esac
  # Each page's lines without the page's margin and the indent, blank lines left out.
  for page in $(seq "$pages"); do
    if ! diff <(pdftotext -layout -f "$page" -l "$page" "${pdfs[0]}" - | tr -d '\f' |
      sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' -e '/^$/d') \
      <(sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' -e '/^$/d' \
        "$scratch/print-check/page-$page.txt") >"$scratch/print.diff"; then
      echo "PRINT: page $page differs from what was expected:"
      head -n 20 "$scratch/print.diff"
      return 1
    fi
  done
  # Every page keeps half an inch (36 points) clear on each side, with a little slack for the
  # glyph boxes pdftotext measures: no line at an edge, no character cut at the right one.
  if ! pdftotext -bbox "${pdfs[0]}" - | python3 -c '
import re, sys
margin, slack, bad = 36, 3, []
for number, (width, height, words) in enumerate(re.findall(
        r"<page width=\"([0-9.]+)\" height=\"([0-9.]+)\">(.*?)</page>", sys.stdin.read(), re.S), 1):
    for box in re.findall(r"xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\"", words):
        x0, y0, x1, y1 = map(float, box)
        if min(x0, y0) < margin - slack or x1 > float(width) - margin + slack or y1 > float(height) - margin + slack:
            bad.append("page %d: a word at %.0f,%.0f-%.0f,%.0f" % (number, x0, y0, x1, y1))
if bad: print("\n".join(bad[:5]))
sys.exit(1 if bad else 0)'; then
    echo "PRINT: the printout crosses its margins"
    return 1
  fi
  echo "== the window's printout: $pages pages, as expected, inside its margins"
}
check_printout || failures=$((failures + 1))

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

# kpjcheck.exe with the arguments given, started again (up to three times) where Wine failed to
# start it; its standard error comes after its output.
kpjcheck_exe() {
  local status errors
  errors=$(mktemp "$scratch/stderr.XXXXXX")
  for _ in 1 2 3; do
    status=0
    "$wine" "$out/kpjcheck.exe" "$@" 2>"$errors" || status=$?
    wine_start_failed "$errors" || break
  done
  cat "$errors" >&2
  rm -f "$errors"
  return "$status"
}

started=$SECONDS
projects=$scratch/projects
mkdir -p "$projects"
cp -r tests/data examples "$projects/"
first=$(find "$projects" -name '*.kpj' | sort | head -n 1)
# The command line in Latin, Cyrillic and CJK letters.
for name in Überblick Кино 映画; do
  cp "$first" "$projects/$name.kpj"
done
# One project: the same exit status and the same report from both tools. Prints a line that
# starts with DIFFERS when they disagree.
compare_project() {
  local project=$1 name linux_status=0 windows_status=0 files
  name=${project#"$projects"/}
  files=$(mktemp -d "$scratch/compare.XXXXXX")
  "$linux_kpjcheck" "$project" >"$files/linux.out" 2>/dev/null || linux_status=$?
  kpjcheck_exe "$(windows_path "$project")" >"$files/windows.raw" 2>/dev/null ||
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
export -f compare_project as_linux_report windows_path kpjcheck_exe wine_start_failed
export projects linux_kpjcheck wine out scratch
find "$projects" -name '*.kpj' -print0 | sort -z |
  xargs -0 -n 1 -P "$jobs" bash -c 'compare_project "$1"' compare >"$scratch/differential.log"
cat "$scratch/differential.log"
count=$(find "$projects" -name '*.kpj' | wc -l)
differ=$(grep -c '^DIFFERS' "$scratch/differential.log" || true)
failures=$((failures + differ))
echo "== kpjcheck.exe against the Linux kpjcheck: $count projects in $((SECONDS - started)) s," \
  "$differ differ"

# Both tools run with the same arguments from the current folder: the same exit status, the
# same standard output and the same standard error. Prints a line that starts with DIFFERS, and
# fails, when they disagree.
compare_run() {
  local label=$1 linux_status=0 windows_status=0
  shift
  "$linux_kpjcheck" "$@" >"$scratch/linux.out" 2>"$scratch/linux.err" || linux_status=$?
  kpjcheck_exe "$@" >"$scratch/windows.out" 2>"$scratch/windows.err" || windows_status=$?
  if [ "$linux_status" != "$windows_status" ] ||
    ! as_linux_report "$scratch/windows.out" "" "" | cmp -s - "$scratch/linux.out" ||
    ! as_linux_report "$scratch/windows.err" "" "" | cmp -s - "$scratch/linux.err"; then
    echo "DIFFERS kpjcheck $label"
    return 1
  fi
}
# Options and a project given by a relative path behave as on Linux.
for arguments in "--help" "--version" "--no-such-option" ""; do
  compare_run "$arguments" $arguments || failures=$((failures + 1))
done
# A relative path with a non-ASCII name, from the project's own folder.
(cd "$projects" && compare_run "Überblick.kpj from its own folder" Überblick.kpj) ||
  failures=$((failures + 1))
# A wildcard, which the Command Prompt leaves to the program: the same files, in the same order,
# as the Linux shell's expansion gives the Linux tool.
linux_status=0
"$linux_kpjcheck" "$projects"/examples/*.kpj >"$scratch/linux.out" 2>/dev/null || linux_status=$?
windows_status=0
kpjcheck_exe "$(windows_path "$projects/examples")\\*.kpj" >"$scratch/windows.raw" 2>/dev/null ||
  windows_status=$?
if [ "$linux_status" != "$windows_status" ] ||
  ! as_linux_report "$scratch/windows.raw" "$(windows_path "$projects/examples")\\" \
    "$projects/examples/" | cmp -s - "$scratch/linux.out"; then
  echo "DIFFERS kpjcheck examples\\*.kpj"
  failures=$((failures + 1))
fi
# The whole folder, searched and checked three projects at once: the same reports, messages and
# status as the Linux kpjcheck, in the same order, with backslashes between the names; and the
# same again as GNU lines, which name the project file's line of every finding.
for format in text gnu; do
  linux_status=0
  (cd "$projects" && "$linux_kpjcheck" -j 3 --format "$format" . >"$scratch/linux.out" \
    2>"$scratch/linux.err") || linux_status=$?
  windows_status=0
  (cd "$projects" && kpjcheck_exe -j 3 --format "$format" . >"$scratch/windows.raw" \
    2>"$scratch/windows-err.raw") || windows_status=$?
  if [ "$linux_status" != "$windows_status" ] ||
    ! as_linux_report "$scratch/windows.raw" '\' / | cmp -s - "$scratch/linux.out" ||
    ! as_linux_report "$scratch/windows-err.raw" '\' / | cmp -s - "$scratch/linux.err"; then
    echo "DIFFERS kpjcheck -j 3 --format $format on the folder of projects (status" \
      "$windows_status on Windows, $linux_status on Linux)"
    as_linux_report "$scratch/windows.raw" '\' / | diff -u "$scratch/linux.out" - | head -n 20
    as_linux_report "$scratch/windows-err.raw" '\' / | diff -u "$scratch/linux.err" - | head -n 20
    failures=$((failures + 1))
  fi
done
left=$(find "$projects" -name '*.tmp' | wc -l)
if [ "$left" != 0 ]; then
  echo "$left working copies were left behind"
  failures=$((failures + 1))
fi

# The setup program and its uninstaller (scripts/test-windows-setup.sh).
source scripts/test-windows-setup.sh

[ "$failures" = 0 ]
