#!/usr/bin/env bash
# Builds Norvane, makes the demo database (embedded engine, no server) and
# starts the window on it. On a first start the window's settings file names
# the demo database, so F9 makes a script at once. Without a display it runs
# norvane-cli on the demo database instead and prints the script.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

demo="$PWD/build/demo/demo.fdb"
bash scripts/demo-db.sh "$demo"

if [ -z "${DISPLAY:-}" ]; then
  echo "run: no display; the reproducing script of $demo by norvane-cli:" >&2
  # The script is Windows-1251, as the engine makes it; shown in UTF-8 here.
  build/norvane-cli -d "$demo" | iconv -f CP1251 -t UTF-8
  exit "${PIPESTATUS[0]}"
fi

# The settings file sits beside the executable: Windows-1251, CR LF lines,
# readable by its owner only (the window may store a password in it).
settings="build/norvane.ini"
if [ ! -e "$settings" ]; then
  # A path that Windows-1251 cannot hold is stored as its bytes behind the
  # UTF-8 byte order mark, with '%' written as %25, as the window stores it.
  if ! name="$(printf '%s' "$demo" | iconv -f UTF-8 -t CP1251 2>/dev/null)"; then
    name="$(printf '\357\273\277%s' "${demo//%/%25}")"
  fi
  (
    umask 077
    printf '[DB Access]\r\nDatabase file=%s\r\nUser name=SYSDBA\r\n' "$name" >"$settings"
  )
fi

exec build/norvane
