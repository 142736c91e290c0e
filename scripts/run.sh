#!/usr/bin/env bash
# Installs what is needed, builds the Debian package, installs it with apt (its Depends bring
# what the programs need) and starts the installed Kestrova Checker: the window on the user's
# display, or, where there is no display, the installed kpjcheck on the example projects.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
package=$(bash scripts/build-package.sh build-package)
# --reinstall: a package of the same version installed before is replaced by this build.
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --reinstall "./$package" >/dev/null
echo "Installed $(dpkg-query -W -f='${Package} ${Version}' kestrova-checker)." >&2

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec kestrova-checker
fi
echo "No display found: checking the example projects with kpjcheck instead." >&2
status=0
kpjcheck examples/*.kpj || status=$?
echo "kpjcheck exit status: $status (0 no errors, 1 warnings or gaps, 2 not checked)" >&2
