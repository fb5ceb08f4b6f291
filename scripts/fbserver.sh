#!/usr/bin/env bash
# The Firebird 3 server that the tests reach over TCP on 127.0.0.1.
#
# Sourced by scripts/test.sh, which calls fbserver_start before the tests and
# fbserver_stop after them; or run by hand:
#
#   eval "$(bash scripts/fbserver.sh start)"   # starts it, prints the exports
#   bash scripts/fbserver.sh stop
#
# fbserver_start works from nothing on a machine where scripts/setup.sh has
# installed firebird3.0-server, without systemd: it reads the SYSDBA password
# from /etc/firebird/3.0/SYSDBA.password (making one up and writing it there
# when the file has none), writes it into the security database so that
# SYSDBA logs in over TCP with Srp, runs fbguard as the firebird user and
# waits until a login over TCP succeeds. It fails loudly when the server does
# not come up. It exports for the tests:
#
#   NORVANE_TEST_SERVER      127.0.0.1
#   NORVANE_TEST_USER        SYSDBA
#   NORVANE_TEST_PASSWORD    the SYSDBA password
#   NORVANE_TEST_SERVER_DIR  a fresh folder the firebird user owns, where the
#                            tests have the server create its database files
#
# Lock files: the server keeps its lock files in a folder of its own under
# /run/firebird3.0, never in /tmp/firebird, where the embedded engine of the
# tests (running as root) keeps its own. A lock file that root made first
# would otherwise be closed to the server, which runs as firebird. The
# embedded engine and the server never open the same database file: the tests
# keep embedded files in their own temporary folders.
#
# A server this script started is stopped by the last of its users to call
# fbserver_stop, so two test runs on one machine can share it. A server that
# was already running is left alone.

FB_GUARD=/usr/sbin/fbguard
FB_SERVER=/usr/sbin/firebird
FB_RUN_DIR=/run/firebird3.0
FB_LOCK_DIR=$FB_RUN_DIR/lock
FB_PID_FILE=$FB_RUN_DIR/firebird.pid      # fbguard writes the server's pid here
FB_OURS_FILE=$FB_RUN_DIR/norvane-started  # while the server is one we started: its guard pid
FB_USERS_DIR=$FB_RUN_DIR/norvane-users    # one file per test run using the server
FB_PASSWORD_FILE=/etc/firebird/3.0/SYSDBA.password
FB_VAR_DIR=/var/lib/firebird/3.0
FB_SECURITY_DB=$FB_VAR_DIR/system/security3.fdb
FB_LOG=/var/log/firebird/firebird3.0.log
FB_HOST=127.0.0.1
# Who uses the server: the shell that sourced this file, or "manual" for the
# start and stop commands run by hand.
FB_USER_ID=$$

_fb_log() { echo "fbserver: $*" >&2; }

_fb_as_root()
{
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

_fb_as_firebird()
{
    _fb_as_root runuser -u firebird -- env FIREBIRD_LOCK="$FB_LOCK_DIR" "$@"
}

# The SYSDBA password of /etc/firebird/3.0/SYSDBA.password; makes one up and
# writes the file when it has none.
_fb_password()
{
    local password=""
    if _fb_as_root test -f "$FB_PASSWORD_FILE"; then
        password=$(_fb_as_root sed -n 's/^ *ISC_PASSWORD=//p' "$FB_PASSWORD_FILE" | tail -n 1)
        password=${password#\"}
        password=${password%\"}
    fi
    if [ -z "$password" ]; then
        password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n' | cut -c 1-16)
        _fb_as_root sh -c "umask 077; printf '%s\n' \
            '# Password for firebird SYSDBA user' \
            'ISC_USER=sysdba' \
            'ISC_PASSWORD=\"$password\"' > '$FB_PASSWORD_FILE'"
        _fb_log "wrote a new SYSDBA password to $FB_PASSWORD_FILE"
    fi
    printf '%s' "$password"
}

# Succeeds when SYSDBA logs in to the server over TCP with the password; a
# listener that never answers counts as no server.
_fb_login_works()
{
    timeout -k 2 10 fbsvcmgr "$FB_HOST:service_mgr" -user SYSDBA -password "$1" -info_server_version >/dev/null 2>&1
}

# The command name and the parent of a process, read from /proc (procps is
# not on every machine).
_fb_comm() { cat "/proc/$1/comm" 2>/dev/null || true; }
_fb_ppid() { sed -n 's/^PPid:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null || true; }

# The processes with the command name.
_fb_pids_named()
{
    local proc
    for proc in /proc/[0-9]*; do
        [ "$(cat "$proc/comm" 2>/dev/null)" = "$1" ] && echo "${proc#/proc/}"
    done
    return 0
}
_fb_any_named() { [ -n "$(_fb_pids_named "$1")" ]; }

# The processes whose parent is the given one.
_fb_children()
{
    local proc
    for proc in /proc/[0-9]*; do
        [ "$(_fb_ppid "${proc#/proc/}")" = "$1" ] && echo "${proc#/proc/}"
    done
    return 0
}

_fb_server_running()
{
    local pid
    pid=$(_fb_as_root cat "$FB_PID_FILE" 2>/dev/null) || return 1
    # A pid file left by a server that has gone may name another process now.
    [ -n "$pid" ] && [ "$(_fb_comm "$pid")" = firebird ]
}

_fb_prepare_dirs()
{
    _fb_as_root mkdir -p "$FB_RUN_DIR" "$FB_LOCK_DIR" "$FB_USERS_DIR" /var/log/firebird
    _fb_as_root chown firebird:firebird "$FB_RUN_DIR" "$FB_LOCK_DIR" /var/log/firebird
    _fb_as_root chmod 0770 "$FB_RUN_DIR" "$FB_LOCK_DIR" /var/log/firebird
    # A database file or folder made by root (an earlier run of isql-fb as
    # root, say) would be closed to the server.
    _fb_as_root chown -R firebird:firebird "$FB_VAR_DIR"
}

# Writes the password into the security database, with the server stopped:
# the embedded engine opens security3.fdb as the firebird user, so every file
# it touches stays the server's.
_fb_set_password()
{
    local quoted=${1//\'/\'\'}
    printf "create or alter user SYSDBA password '%s' using plugin Srp;\ncommit;\n" "$quoted" |
        _fb_as_firebird isql-fb -q -bail -user SYSDBA "$FB_SECURITY_DB"
}

_fb_start_guard()
{
    _fb_as_root rm -f "$FB_PID_FILE"
    _fb_as_firebird "$FB_GUARD" -daemon -forever -pidfile "$FB_PID_FILE"
}

_fb_export()
{
    export NORVANE_TEST_SERVER=$FB_HOST
    export NORVANE_TEST_USER=SYSDBA
    export NORVANE_TEST_PASSWORD=$1
    export NORVANE_TEST_SERVER_DIR=$2
}

fbserver_start()
{
    if [ ! -x "$FB_GUARD" ] || [ ! -x "$FB_SERVER" ] || ! command -v isql-fb >/dev/null ||
        ! command -v fbsvcmgr >/dev/null; then
        _fb_log "the Firebird 3 server is not installed (run scripts/setup.sh)"
        return 1
    fi
    local password
    password=$(_fb_password) || return 1
    _fb_prepare_dirs || return 1

    if _fb_login_works "$password"; then
        _fb_log "using the server already running on $FB_HOST"
    else
        if _fb_server_running || _fb_any_named fbguard || _fb_any_named firebird; then
            _fb_log "a Firebird server is running but SYSDBA cannot log in with the password of $FB_PASSWORD_FILE"
            return 1
        fi
        _fb_set_password "$password" || { _fb_log "could not set the SYSDBA password"; return 1; }
        # Marked as ours before it starts, so that fbserver_stop also ends a
        # server that never came up properly. No guard ran before: the one
        # running now is ours, and the mark keeps its pid.
        _fb_as_root touch "$FB_OURS_FILE"
        local started=yes guard
        _fb_start_guard || started=no
        guard=$(_fb_pids_named fbguard | head -n 1)
        _fb_as_root sh -c "echo '$guard' > '$FB_OURS_FILE'"
        if [ "$started" = no ]; then
            _fb_log "fbguard did not start the server"
            _fb_as_root tail -n 30 "$FB_LOG" >&2 2>/dev/null || true
            return 1
        fi
        local i
        for i in $(seq 1 100); do
            _fb_login_works "$password" && break
            sleep 0.2
        done
        if ! _fb_login_works "$password"; then
            _fb_log "the server did not come up on $FB_HOST:3050"
            timeout -k 2 10 fbsvcmgr "$FB_HOST:service_mgr" -user SYSDBA -password "$password" -info_server_version >&2 || true
            _fb_as_root tail -n 30 "$FB_LOG" >&2 2>/dev/null || true
            return 1
        fi
        _fb_log "started the Firebird server on $FB_HOST"
    fi

    local dir
    dir=$(_fb_as_root cat "$FB_USERS_DIR/$FB_USER_ID" 2>/dev/null) || true
    if [ -z "$dir" ] || ! _fb_as_root test -d "$dir"; then
        dir=$(_fb_as_root mktemp -d "$FB_VAR_DIR/data/norvane-tests.XXXXXX") || return 1
        _fb_as_root chown firebird:firebird "$dir" && _fb_as_root chmod 0770 "$dir" || return 1
        _fb_as_root sh -c "echo '$dir' > '$FB_USERS_DIR/$FB_USER_ID'"
    fi
    _fb_export "$password" "$dir"
}

fbserver_stop()
{
    local users_file=$FB_USERS_DIR/$FB_USER_ID
    local dir
    dir=$(_fb_as_root cat "$users_file" 2>/dev/null) || true
    if [ -n "$dir" ]; then
        _fb_as_root rm -rf "$dir"
    fi
    _fb_as_root rm -f "$users_file"

    # Users whose run ended without fbserver_stop no longer count.
    local f
    for f in $(_fb_as_root ls "$FB_USERS_DIR" 2>/dev/null); do
        if [ "$f" != manual ] && ! kill -0 "$f" 2>/dev/null; then
            dir=$(_fb_as_root cat "$FB_USERS_DIR/$f" 2>/dev/null) || true
            [ -n "$dir" ] && _fb_as_root rm -rf "$dir"
            _fb_as_root rm -f "$FB_USERS_DIR/$f"
        fi
    done
    if [ -n "$(_fb_as_root ls "$FB_USERS_DIR" 2>/dev/null)" ] || ! _fb_as_root test -f "$FB_OURS_FILE"; then
        return 0
    fi

    # The guard is stopped first: it would otherwise start the server again.
    local server guard
    guard=$(_fb_as_root cat "$FB_OURS_FILE" 2>/dev/null) || true
    server=$(_fb_as_root cat "$FB_PID_FILE" 2>/dev/null) || true
    if [ -z "$server" ] || [ "$(_fb_comm "$server")" != firebird ]; then
        server=""
    fi
    if [ -n "$guard" ] && [ "$(_fb_comm "$guard")" = fbguard ]; then
        [ -n "$server" ] || server=$(_fb_children "$guard" | head -n 1)
        _fb_as_root kill "$guard" 2>/dev/null || true
    else
        guard=""
    fi
    local i pid
    for i in $(seq 1 50); do
        pid=""
        for pid in $guard $server; do
            _fb_as_root kill -0 "$pid" 2>/dev/null && break
            pid=""
        done
        [ -z "$pid" ] && break
        if [ "$i" -eq 25 ] && [ -n "$server" ]; then
            _fb_as_root kill "$server" 2>/dev/null || true
        fi
        sleep 0.2
    done
    for pid in $guard $server; do
        case "$(_fb_comm "$pid")" in
            fbguard | firebird) _fb_as_root kill -9 "$pid" 2>/dev/null || true ;;
        esac
    done
    _fb_as_root rm -f "$FB_OURS_FILE" "$FB_PID_FILE"
    _fb_log "stopped the Firebird server"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -uo pipefail
    FB_USER_ID=manual
    case "${1:-}" in
        start)
            fbserver_start >&2 || exit 1
            printf 'export %s=%q\n' NORVANE_TEST_SERVER "$NORVANE_TEST_SERVER" \
                NORVANE_TEST_USER "$NORVANE_TEST_USER" \
                NORVANE_TEST_PASSWORD "$NORVANE_TEST_PASSWORD" \
                NORVANE_TEST_SERVER_DIR "$NORVANE_TEST_SERVER_DIR"
            ;;
        stop) fbserver_stop ;;
        *)
            echo "usage: bash scripts/fbserver.sh start|stop" >&2
            exit 2
            ;;
    esac
fi
