#!/usr/bin/env bash
# Creates the demo database: a small shop with the IBExpert change log and a
# day of logged changes, ready for norvane-cli or the window.
#   bash scripts/demo-db.sh <path.fdb>
# Uses the embedded engine (no server); an existing file is replaced. The
# change log is installed by `norvane-cli log install`: $NORVANE_CLI, else
# the one in build/, else the one on the PATH.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: bash scripts/demo-db.sh <path.fdb>" >&2
  exit 2
fi

here="$(cd "$(dirname "$0")" && pwd)"
demo="$here/demo"
db="$(realpath -m -- "$1")"
cli="${NORVANE_CLI:-$here/../build/norvane-cli}"
if [ ! -x "$cli" ]; then
  cli="$(command -v norvane-cli || true)"
fi
if [ -z "$cli" ]; then
  echo "demo-db: no norvane-cli (build it, or set NORVANE_CLI)" >&2
  exit 1
fi

mkdir -p -- "$(dirname -- "$db")"
rm -f -- "$db"

work="$(mktemp -d "${TMPDIR:-/tmp}/norvane-demo.XXXXXX")"
trap 'rm -rf -- "$work"' EXIT

# isql reads its scripts from files: from standard input it drops bytes that
# are not UTF-8, and the database and the connection speak Windows-1251.
{
  echo "set bail on;"
  # In an SQL string an apostrophe is doubled.
  echo "create database '${db//\'/\'\'}' user 'SYSDBA' page_size 8192 default character set WIN1251;"
  cat "$demo/schema.sql"
} >"$work/0-SYSDBA.sql"
isql-fb -q -b -ch WIN1251 -i "$work/0-SYSDBA.sql"
ISC_USER=SYSDBA ISC_PASSWORD= "$cli" log install -d "$db" >&2

# The changes are made by two users, so the comment lines of a script show who
# did what: each "-- user: NAME" part of changes.sql runs in NAME's own
# connection (the embedded engine trusts the name; the tables are granted to
# everyone). The SQL source is UTF-8.
iconv -f UTF-8 -t CP1251 "$demo/changes.sql" | LC_ALL=C awk -v dir="$work" '
  BEGIN { part = 1; user = "SYSDBA"; out = sprintf("%s/%d-%s.sql", dir, part, user); print "set bail on;" > out }
  /^-- user: / {
    print "commit;" > out; close(out); part++; user = $3
    out = sprintf("%s/%d-%s.sql", dir, part, user); print "set bail on;" > out; next
  }
  { print > out }
  END { print "commit;" > out }'
for part in $(cd "$work" && ls [1-9]*-*.sql | sort -n); do
  user="${part#*-}"
  user="${user%.sql}"
  isql-fb -q -b -ch WIN1251 -u "$user" -i "$work/$part" "$db"
done

echo "demo database: $db" >&2
