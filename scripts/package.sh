#!/usr/bin/env bash
# Builds the Debian package of Norvane in build/ (norvane_VERSION_ARCH.deb)
# and checks it with lintian, whose errors fail the script.
#   bash scripts/package.sh [--check-install]
# --check-install: then installs it with dpkg -i, runs the installed tools,
# and removes and purges it again, expecting nothing left behind (run as
# root, or with sudo; it changes the system).
set -euo pipefail
cd "$(dirname "$0")/.."

check_install=false
case "${1:-}" in
  "") ;;
  --check-install) check_install=true ;;
  *) echo "usage: bash scripts/package.sh [--check-install]" >&2; exit 2 ;;
esac

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target norvane norvane-cli norvane_package_files
rm -f build/norvane_*.deb
(cd build && cpack -G DEB >/dev/null)
deb="$(ls build/norvane_*.deb)"
echo "package: $deb" >&2
# lintian warns when it runs as root; the package is what it checks.
lintian --fail-on error "$deb" 2> >(grep -v 'running with root privileges' >&2)

if ! $check_install; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
# Whatever fails below, the system is left without the package.
trap '$SUDO dpkg -P norvane >/dev/null 2>&1 || true' EXIT
$SUDO dpkg -i "$deb" >/dev/null
/usr/bin/norvane-cli --version
MANWIDTH=80 man --warnings -P cat norvane-cli 2>&1 >/dev/null | { ! grep .; }
desktop-file-validate /usr/share/applications/norvane.desktop
$SUDO dpkg -r norvane >/dev/null
if [ -e /usr/bin/norvane-cli ] || [ -e /usr/share/applications/norvane.desktop ] || [ -e /usr/share/doc/norvane ]; then
  echo "package: files left behind after dpkg -r" >&2
  exit 1
fi
# Without configuration files, dpkg -r leaves nothing for -P to purge.
if dpkg-query -W -f='${Status}' norvane 2>/dev/null | grep -q config-files; then
  $SUDO dpkg -P norvane >/dev/null
fi
if dpkg-query -W -f='${Status}' norvane 2>/dev/null | grep -qv not-installed; then
  echo "package: still known to dpkg after removal" >&2
  exit 1
fi
echo "package: installs and removes cleanly" >&2
