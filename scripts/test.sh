#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the core tests
# on the embedded engine and against a Firebird server started here on
# 127.0.0.1, and the window's tests on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"

if [ -f scripts/fbserver.sh ]; then
  # shellcheck disable=SC1091
  source scripts/fbserver.sh
  # Set first, so that a server started by a failing fbserver_start stops too.
  trap fbserver_stop EXIT
  fbserver_start
fi

export QT_QPA_PLATFORM=offscreen
ctest --preset default -j"$(nproc)"
