#!/usr/bin/env bash
# The packaging stage of the test command: builds the Debian package as a packager would, checks
# its contents and metadata, installs it on this machine with apt, shows that the desktop knows
# the project file type, its icon and its manual pages, runs kpjcheck from PATH, and purges the
# package again, after which none of its files may be left. Run as root (it installs).
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

app_id=org.kestrova.Checker
project_type=application/x-kestrova-project
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "== building the package"
package=$(bash scripts/build-package.sh build-package)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/CMakeCache.txt)
echo "$package"
dpkg-deb --field "$package" Package Version Section Depends

echo "== file list"
dpkg-deb --contents "$package" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort \
  >"$scratch/actual"
{
  cat packaging/package-contents.txt
  for page in doc/*.1; do
    echo "/usr/share/man/man1/$(basename "$page").gz"
  done
} | sort >"$scratch/expected"
diff -u "$scratch/expected" "$scratch/actual" || fail "the package does not hold the expected files"

echo "== one version everywhere"
[ "$(dpkg-deb --field "$package" Version)" = "$version" ] || fail "package version"
dpkg-deb --fsys-tarfile "$package" | tar -x -C "$scratch" ./usr/share/metainfo
grep -q "<release version=\"$version\"" "$scratch/usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "the metainfo has no release $version"

echo "== lintian"
TMPDIR=$scratch lintian --fail-on error "$package" ||
  fail "lintian reports errors"

echo "== installing"
export DEBIAN_FRONTEND=noninteractive
# The file type must be unknown before the package is installed and after it is purged, so that
# the checks below prove that the package, and the caches its triggers update, make it known.
if dpkg-query -W -f='${Status}' kestrova-checker 2>/dev/null | grep -q "ok installed"; then
  echo "Purging the kestrova-checker installed before."
  apt-get remove --purge -y -qq kestrova-checker >/dev/null
fi
cp examples/holiday.kpj "$scratch/lower.kpj"
cp examples/holiday.kpj "$scratch/UPPER.KPJ"
cp examples/holiday.kpj "$scratch/renamed.backup"
type_of() { XDG_CURRENT_DESKTOP=${2:-} xdg-mime query filetype "$scratch/$1"; }
[ "$(type_of lower.kpj)" != "$project_type" ] || fail "$project_type is known without the package"
apt-get install -y -qq "./$package" >/dev/null
dpkg-query -W -f='${Package} ${Version}: ${Status}\n' kestrova-checker

echo "== desktop entry and metainfo"
desktop-file-validate "/usr/share/applications/$app_id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml" || fail "metainfo"

echo "== file type"
# Both the plain lookup of xdg-mime (the shared-mime-info database through File::MimeInfo) and
# the one it makes under GNOME (GLib's) must know the name, in either case, and the content.
for file in lower.kpj UPPER.KPJ renamed.backup; do
  for desktop in "" GNOME; do
    found=$(type_of "$file" "$desktop")
    echo "${desktop:-generic}: $file is $found"
    [ "$found" = "$project_type" ] || fail "$file is not known as $project_type"
  done
done
handler=$(xdg-mime query default "$project_type")
echo "$project_type opens with $handler"
[ "$handler" = "$app_id.desktop" ] || fail "the desktop does not offer $app_id for projects"

echo "== icons in the hicolor theme"
for folder in 16x16 24x24 32x32 48x48 64x64 128x128 256x256 scalable; do
  grep -q "^\[$folder/apps\]" /usr/share/icons/hicolor/index.theme ||
    fail "the hicolor theme has no folder $folder/apps"
  compgen -G "/usr/share/icons/hicolor/$folder/apps/$app_id.*" >/dev/null ||
    fail "no icon in $folder/apps"
done
echo "every size is in place"

echo "== manual pages"
for page in doc/*.1; do
  name=$(basename "$page" .1)
  man -P cat "$name" 2>/dev/null | grep -q "^NAME" || fail "man $name shows nothing"
  echo "man $name: shown"
done

echo "== programs from PATH"
[ "$(command -v kpjcheck)" = /usr/bin/kpjcheck ] || fail "kpjcheck is not on PATH"
[ "$(command -v kestrova-checker)" = /usr/bin/kestrova-checker ] ||
  fail "kestrova-checker is not on PATH"
[ "$(kpjcheck --version)" = "kpjcheck $version" ] || fail "kpjcheck --version"
if ldd /usr/bin/kestrova-checker | grep "not found"; then
  fail "kestrova-checker misses libraries"
fi
# The installed kpjcheck gives the reports and exit status of the one just built.
check_examples() {
  local status=0
  (cd "$scratch/projects" && "$1" ./*.kpj) >"$2" 2>&1 || status=$?
  echo "exit status $status" >>"$2"
}
mkdir "$scratch/projects"
cp examples/*.kpj "$scratch/projects/"
check_examples kpjcheck "$scratch/installed.out"
check_examples "$PWD/build-package/kpjcheck" "$scratch/built.out"
grep -c "^Reporting on" "$scratch/installed.out" | grep -qx "$(ls examples/*.kpj | wc -l)" ||
  fail "kpjcheck did not report on every example"
diff -u "$scratch/built.out" "$scratch/installed.out" || fail "the installed kpjcheck differs"
tail -n 1 "$scratch/installed.out"

echo "== purging"
installed_files=$(dpkg-query -L kestrova-checker)
apt-get remove --purge -y -qq kestrova-checker >/dev/null
left=()
for path in $installed_files; do
  if [ -e "$path" ] && { [ ! -d "$path" ] || [[ "$path" == */kestrova-checker ]]; }; then
    left+=("$path")
  fi
done
[ ${#left[@]} -eq 0 ] || fail "left after purge: ${left[*]}"
[ "$(type_of lower.kpj)" != "$project_type" ] || fail "$project_type still known after purge"
echo "nothing of the package is left"
