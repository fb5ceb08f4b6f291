#!/usr/bin/env bash
# Installs every Debian package Norvane needs to build, run and test.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ccache pkg-config
  clang libclang-rt-14-dev
  googletest libgtest-dev
  firebird-dev libfbclient2
  firebird3.0-server-core firebird3.0-server firebird3.0-utils firebird3.0-examples
  libxml2-dev libxml2-utils
  libsimpleini-dev
  libcli11-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-svg-dev
  qt6-translations-l10n
  xvfb xauth imagemagick
  fonts-dejavu-core
  dpkg-dev lintian desktop-file-utils man-db groff-base
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# The server package asks for a SYSDBA password; answer it up front so the
# install never stops at a prompt. The test script sets its own password.
echo "firebird3.0-server shared/firebird/enabled boolean false" | $SUDO debconf-set-selections 2>/dev/null || true
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
