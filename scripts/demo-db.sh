#!/usr/bin/env bash
# Creates the demo database: a small shop with the IBExpert change log and a
# day of logged changes, ready for norvane-cli or the window.
#   bash scripts/demo-db.sh <path.fdb>
# Uses the embedded engine (no server); an existing file is replaced.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: bash scripts/demo-db.sh <path.fdb>" >&2
  exit 2
fi

here="$(cd "$(dirname "$0")" && pwd)"
demo="$here/demo"
db="$(realpath -m -- "$1")"
# The path goes into SQL string literals.
db_sql="${db//\'/\'\'}"

mkdir -p -- "$(dirname -- "$db")"
rm -f -- "$db"

# The SQL sources are UTF-8; the database and the connection speak
# Windows-1251. isql must read the script from a file: on standard input it
# drops bytes that are not UTF-8. The changes connect as two users, so the
# comment lines of a script show who did what.
sql="$(mktemp "${TMPDIR:-/tmp}/norvane-demo.XXXXXX.sql")"
trap 'rm -f -- "$sql"' EXIT
{
  echo "set bail on;"
  echo "create database '$db_sql' user 'SYSDBA' page_size 8192 default character set WIN1251;"
  cat "$demo/log-tables.sql" "$demo/schema.sql" "$demo/log-triggers.sql"
  iconv -f UTF-8 -t CP1251 "$demo/changes.sql" | DB="$db_sql" LC_ALL=C awk '{ gsub(/:DB:/, ENVIRON["DB"]); print }'
} >"$sql"

isql-fb -q -b -ch WIN1251 -u SYSDBA -i "$sql"

echo "demo database: $db" >&2
