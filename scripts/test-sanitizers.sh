#!/usr/bin/env bash
# The whole test suite under AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer: the core tests on the embedded engine and
# against a Firebird server started here on 127.0.0.1, the command-line
# tests running the instrumented norvane-cli, and the window's tests on Qt's
# offscreen platform. Built in build-asan with NORVANE_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# -O1 keeps the instrumented tests quick without losing exact stack traces.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DNORVANE_SANITIZE=ON
cmake --build build-asan -j2

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
cd build-asan
ctest --output-on-failure -j2
