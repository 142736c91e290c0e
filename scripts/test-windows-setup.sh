# shellcheck shell=bash
# The setup program's part of the Windows stage, sourced by scripts/test-windows.sh in its Wine
# prefix (with $wine, $out, $scratch, windows_path and $failures from there).

# The setup program, run as a deployment tool runs it: silent install, a project opened through
# the file type, silent uninstall; once into Program Files on a machine where .kpj has no owner,
# once into a folder given with /D= (Wine quotes an argument with a space, which /D= takes
# unquoted) where another program owns .kpj.
started=$SECONDS
setup_failures=0
setup_failed() {
  echo "SETUP: $*"
  setup_failures=$((setup_failures + 1))
}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/CMakeCache.txt")
setup=$out/kestrova-checker-$version-setup.exe
staged=$out/deps-work/release
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kestrova Checker.lnk"
classes='HKLM\Software\Classes'
progid=KestrovaChecker.Project
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrova Checker'
# The data of a registry value ('' for the key's default value); fails when it is not there.
reg_value() {
  local switch=(/v "$2")
  [ -n "$2" ] || switch=(/ve)
  "$wine" reg query "$1" "${switch[@]}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *.*  *REG_[A-Z_]*    //p' | grep . || return 1
}
expect_value() {
  local got
  got=$(reg_value "$1" "$2") || got='(missing)'
  [ "$got" = "$3" ] || setup_failed "$1 ${2:-(default)} is '$got', not '$3'"
}
key_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }
# $1: the Windows folder, $2: the same on the host, $3: the files that must be as packed.
check_installed() {
  local folder=$1 host=$2 packed=${3:-kestrova-checker.exe kpjcheck.exe README.txt} file
  for file in $packed; do
    cmp -s "$staged/$file" "$host/$file" || setup_failed "$file is not installed as packed"
  done
  [ -f "$host/uninstall.exe" ] || setup_failed "no uninstaller"
  [ -f "$start_menu" ] && grep -aq kestrova-checker.exe "$start_menu" ||
    setup_failed "no Start-menu entry for the window"
  expect_value "$classes\\$progid" "" "Kestrova project"
  expect_value "$classes\\$progid\\DefaultIcon" "" "$folder\\kestrova-checker.exe,0"
  expect_value "$classes\\$progid\\shell\\open\\command" "" "\"$folder\\kestrova-checker.exe\" \"%1\""
  "$wine" reg query "$classes\\.kpj\\OpenWithProgids" /v "$progid" >/dev/null 2>&1 ||
    setup_failed ".kpj does not offer the checker under Open with"
  expect_value "$uninstall_key" DisplayName "Kestrova Checker"
  expect_value "$uninstall_key" DisplayVersion "$version"
  expect_value "$uninstall_key" Publisher "The Kestrova Checker developers"
  expect_value "$uninstall_key" DisplayIcon "$folder\\kestrova-checker.exe,0"
  expect_value "$uninstall_key" UninstallString "\"$folder\\uninstall.exe\""
  expect_value "$uninstall_key" QuietUninstallString "\"$folder\\uninstall.exe\" /S"
  local size
  size=$(reg_value "$uninstall_key" EstimatedSize) && [ $((size)) -gt 0 ] ||
    setup_failed "EstimatedSize is '$size'"
}
# A project opened as a double click opens it: the installed window shows its report, the
# same as kpjcheck.exe gives, and its working copy goes again.
check_opened() {
  local folder=$1 opened=$scratch/opened
  mkdir -p "$opened"
  cp examples/rough-cut.kpj "$opened/"
  "$wine" start /unix "$opened/rough-cut.kpj" >/dev/null 2>&1 || setup_failed "start failed"
  "$wine" "$out/tests/app/win32/window_report.exe" >"$scratch/window.raw" 2>/dev/null ||
    setup_failed "no window showed the report of the project opened through its file type"
  local program
  program=$(head -n 1 "$scratch/window.raw" | tr -d '\r')
  [ "$program" = "$folder\\kestrova-checker.exe" ] ||
    setup_failed "the project was opened by '$program'"
  kpjcheck_exe "$(windows_path "$opened/rough-cut.kpj")" >"$scratch/kpjcheck.raw" \
    2>/dev/null || true
  # The box holds no line end after the last line.
  tail -n +2 "$scratch/window.raw" | tr -d '\r' | sed -e '/^$/d' -e '$a\' >"$scratch/window.out"
  tr -d '\r' <"$scratch/kpjcheck.raw" | sed '/^$/d' >"$scratch/kpjcheck.out"
  diff -u "$scratch/kpjcheck.out" "$scratch/window.out" >"$scratch/window.diff" ||
    { setup_failed "the window's report differs from kpjcheck.exe's:"; head -n 20 "$scratch/window.diff"; }
  for _ in $(seq 50); do
    [ -z "$(find "$opened" -name '*.tmp')" ] && break
    sleep 0.1
  done
  [ -z "$(find "$opened" -name '*.tmp')" ] || setup_failed "the window left its working copy"
  rm -rf "$opened"
}
# The uninstaller hands over to a copy of itself and returns at once; the Apps entry is the last
# thing it removes.
run_uninstaller() {
  "$wine" "$1\\uninstall.exe" /S || setup_failed "the uninstaller failed"
  for _ in $(seq 150); do
    key_exists "$uninstall_key" || return 0
    sleep 0.2
  done
  setup_failed "the uninstaller left its own key"
}
# $1: the folder on the host, $2: what must be left in it ('' for nothing, and the folder gone).
check_uninstalled() {
  local host=$1 left
  left=$(ls -A "$host" 2>/dev/null | tr '\n' ' ' || true)
  [ "${left% }" = "$2" ] || setup_failed "the uninstaller left '$left', not '$2'"
  [ -n "$2" ] || [ ! -e "$host" ] || setup_failed "the uninstaller left the empty $host"
  [ ! -e "$start_menu" ] || setup_failed "the uninstaller left the Start-menu entry"
  ! key_exists "$classes\\$progid" || setup_failed "the uninstaller left $progid"
  ! "$wine" reg query "$classes\\.kpj\\OpenWithProgids" /v "$progid" >/dev/null 2>&1 ||
    setup_failed "the uninstaller left the checker under Open with"
}
uninstall() {
  run_uninstaller "$1"
  check_uninstalled "$2" "${3:-}"
}

folder='C:\Program Files\Kestrova Checker'
host="$WINEPREFIX/drive_c/Program Files/Kestrova Checker"
install_started=$SECONDS
"$wine" "$setup" /S || setup_failed "the silent install failed"
install_time=$((SECONDS - install_started))
check_installed "$folder" "$host"
expect_value "$classes\\.kpj" "" "$progid"
check_opened "$folder"
uninstall_started=$SECONDS
uninstall "$folder" "$host"
uninstall_time=$((SECONDS - uninstall_started))
! key_exists "$classes\\.kpj" || setup_failed "the uninstaller left .kpj, which it had made"

folder='C:\Tools\Checker'
host="$WINEPREFIX/drive_c/Tools/Checker"
"$wine" reg add "$classes\\.kpj" /ve /d KestrovaEditor.Project /f >/dev/null 2>&1
"$wine" "$setup" /S "/D=$folder" || setup_failed "the silent install into $folder failed"
# Installed again without /D=, as an update is: into the same folder.
"$wine" "$setup" /S || setup_failed "the silent update failed"
[ ! -e "$WINEPREFIX/drive_c/Program Files/Kestrova Checker" ] ||
  setup_failed "the update went into Program Files, not into $folder"
check_installed "$folder" "$host"
expect_value "$classes\\.kpj" "" KestrovaEditor.Project
uninstall "$folder" "$host"
expect_value "$classes\\.kpj" "" KestrovaEditor.Project
[ ! -e "$WINEPREFIX/drive_c/Tools" ] || setup_failed "the uninstaller left C:\\Tools, which the setup made"

# The host's path of a path on drive C:.
host_path() {
  local path=${1#C:\\}
  printf '%s/drive_c/%s' "$WINEPREFIX" "${path//\\//}"
}
# What the setup may change on drive C: (every file and folder outside the Windows and user
# folders, with its content) and in the registry.
machine_state() {
  (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path ./users -prune -o \
    -type f -exec md5sum {} + -o -print | sort)
  if key_exists "$uninstall_key"; then echo "the Apps entry"; fi
  if key_exists "$classes\\$progid"; then echo "$progid"; fi
}

# Installs that must end with the failure status and change nothing: the /D= folder, and the
# file that is there first ('' for none) with someone else's content.
while IFS='|' read -r name folder blocker; do
  if [ -n "$blocker" ]; then
    mkdir -p "$(dirname "$(host_path "$blocker")")"
    echo "someone else's" >"$(host_path "$blocker")"
  fi
  machine_state >"$scratch/state-before"
  status=0
  "$wine" "$setup" /S "/D=$folder" || status=$?
  [ "$status" = 2 ] || setup_failed "$name: the install ended with status $status, not 2"
  machine_state | diff "$scratch/state-before" - >"$scratch/state.diff" ||
    { setup_failed "$name: the failed install changed:"; head -n 10 "$scratch/state.diff"; }
  top=${blocker#C:\\}
  [ -z "$blocker" ] || rm -rf "$WINEPREFIX/drive_c/${top%%\\*}"
done <<'EOF'
no such drive|Q:\Kestrova
a file where a folder should be made|C:\Taken\Checker|C:\Taken
someone else's kpjcheck.exe in the folder|C:\Utilities|C:\Utilities\kpjcheck.exe
someone else's uninstall.exe in the folder|C:\Utilities|C:\Utilities\uninstall.exe
EOF

# A folder that holds a README.txt of the user's: the programs go in beside it, and the
# README.txt stays as it is through the install and the uninstall, and with it the folder.
folder='C:\Utilities'
host=$(host_path "$folder")
mkdir -p "$host"
echo "the user's notes" >"$host/README.txt"
"$wine" "$setup" /S "/D=$folder" || setup_failed "the silent install beside the user's file failed"
check_installed "$folder" "$host" "kestrova-checker.exe kpjcheck.exe"
uninstall "$folder" "$host" README.txt
[ "$(cat "$host/README.txt")" = "the user's notes" ] || setup_failed "the user's README.txt was changed"
rm -rf "$host"

# A running copy holds its program: an update fails with the installed copy still registered;
# the uninstaller takes the registration away and leaves the running program to the next
# restart (wineboot -r), which removes it and its folder.
folder='C:\Program Files\Kestrova Checker'
host="$WINEPREFIX/drive_c/Program Files/Kestrova Checker"
"$wine" "$setup" /S || setup_failed "the silent install failed"
"$wine" "$folder\\kestrova-checker.exe" >/dev/null 2>&1 &
window=$!
# Command 0 is no menu command: the post only tells whether the window is there.
for _ in $(seq 150); do
  "$wine" "$out/tests/app/win32/post_command.exe" 0 2>/dev/null && break
  sleep 0.2
done
status=0
"$wine" "$setup" /S || status=$?
[ "$status" = 2 ] || setup_failed "the update over a running copy ended with status $status, not 2"
check_installed "$folder" "$host"
run_uninstaller "$folder"
check_uninstalled "$host" kestrova-checker.exe
pending=$(reg_value 'HKLM\System\CurrentControlSet\Control\Session Manager' \
  PendingFileRenameOperations || true)
[[ "$pending" == *"$folder\\kestrova-checker.exe"* ]] ||
  setup_failed "the running program is not to be removed at the next restart"
kill "$window"
wait "$window" 2>/dev/null || true
"$wine" wineboot -r >/dev/null 2>&1
[ ! -e "$host" ] || setup_failed "the restart left $(ls "$host" | tr '\n' ' ')"

failures=$((failures + setup_failures))
echo "== setup program ($(($(stat -c %s "$setup") / 1024)) KiB): installed in ${install_time} s," \
  "uninstalled in ${uninstall_time} s, $setup_failures failures; the stage took $((SECONDS - started)) s"

