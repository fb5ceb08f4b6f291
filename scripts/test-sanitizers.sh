#!/usr/bin/env bash
# The whole test suite under AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer: the core tests on the embedded engine and
# against a Firebird server started here on 127.0.0.1, the command-line
# tests running the instrumented norvane-cli, and the window's tests on Qt's
# offscreen platform. Built in build-asan by the sanitizers preset (CMakePresets.json).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# The preset builds with -O1, which keeps the instrumented tests quick
# without losing exact stack traces.
cmake --preset sanitizers
cmake --build --preset sanitizers

# The sanitizer options go to ctest's children and to every program they
# start (norvane-cli run by its tests).
# shellcheck disable=SC1091
source scripts/sanitizers/env.sh

# shellcheck disable=SC1091
source scripts/fbserver.sh
# Set first, so that a server started by a failing fbserver_start stops too.
trap fbserver_stop EXIT
fbserver_start

export QT_QPA_PLATFORM=offscreen
ctest --preset sanitizers
