#!/usr/bin/env bash
# A private PostgreSQL server for the tests and the benchmarks, reachable only through a Unix
# socket in its own folder, with every local connection trusted except those of the members of
# the group role orvane_password_users, whose SCRAM passwords are checked (a test of a login
# makes such a member). It runs as an unprivileged
# user: initdb refuses root, so under root the system user orvane-test runs it.
#
#   scripts/test-server.sh start DIR [SETTING...]  prints the libpq connection string
#   scripts/test-server.sh stop DIR [fast|immediate]
#
# start makes DIR and a new server in it when DIR holds none, and starts the server that DIR
# holds otherwise (after an immediate stop it recovers as after a crash). A SETTING is a
# server setting such as fsync=off, or one of the script's own: port=N (another port than
# 5433), tls=FOLDER (TLS with FOLDER's server.crt and server.key, listening on 127.0.0.1 too,
# where members of orvane_password_users log in with SCRAM). By hand:
#   export ORVANE_TEST_SERVER="$(scripts/test-server.sh start /tmp/orvane-pg)"
#   ... scripts/test-server.sh stop /tmp/orvane-pg
set -euo pipefail

PORT=5433
OWNER=orvane-test
ROLE=orvane_test

pg_bin() {
    local dir
    for dir in /usr/lib/postgresql/15/bin $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -rV); do
        [ -x "$dir/initdb" ] && { echo "$dir"; return; }
    done
    echo "PostgreSQL's server programs are missing (Debian package postgresql-15)" >&2
    exit 1
}

# Runs a server program as the user who owns the server.
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u "$OWNER" -- "$@"
    else
        "$@"
    fi
}

start() {
    local dir="$1"
    shift
    local bin tls="" setting settings=""
    bin="$(pg_bin)"
    for setting in "$@"; do
        case "$setting" in
        port=*) PORT="${setting#port=}" ;;
        tls=*) tls="${setting#tls=}" ;;
        *) settings+=" -c $setting" ;;
        esac
    done
    local options="-k $dir -p $PORT -c listen_addresses=$settings"
    if [ "$(id -u)" -eq 0 ] && ! id -u "$OWNER" >/dev/null 2>&1; then
        useradd --system --no-create-home --shell /usr/sbin/nologin "$OWNER"
    fi
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown "$OWNER" "$dir"
    chmod 0755 "$dir"
    if [ ! -f "$dir/data/PG_VERSION" ]; then
        as_owner "$bin/initdb" -D "$dir/data" -N --auth=trust --username="$ROLE" \
            --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log"
    fi
    # The first line that matches a connection decides: the password check goes first.
    if ! grep -q '^local all +orvane_password_users' "$dir/data/pg_hba.conf"; then
        as_owner sed -i '1i local all +orvane_password_users scram-sha-256' "$dir/data/pg_hba.conf"
    fi
    if ! grep -q '^host all +orvane_password_users' "$dir/data/pg_hba.conf"; then
        as_owner sed -i '1i host all +orvane_password_users 127.0.0.1/32 scram-sha-256' "$dir/data/pg_hba.conf"
    fi
    if [ -n "$tls" ]; then
        local file
        for file in server.crt server.key; do
            install -m 0600 "$tls/$file" "$dir/data/$file"
            [ "$(id -u)" -eq 0 ] && chown "$OWNER" "$dir/data/$file"
        done
        options+=" -c listen_addresses=127.0.0.1 -c ssl=on"
    fi
    as_owner "$bin/pg_ctl" -D "$dir/data" -w -l "$dir/server.log" -o "$options" start >/dev/null
    as_owner "$bin/psql" -q -h "$dir" -p "$PORT" -U "$ROLE" -d postgres -v ON_ERROR_STOP=1 -c \
        "DO \$\$ BEGIN CREATE ROLE orvane_password_users NOLOGIN;
         EXCEPTION WHEN duplicate_object THEN NULL; END \$\$" >/dev/null
    echo "host=$dir port=$PORT user=$ROLE dbname=postgres"
}

stop() {
    local dir="$1" mode="${2:-fast}"
    [ -f "$dir/data/postmaster.pid" ] || return 0
    as_owner "$(pg_bin)/pg_ctl" -D "$dir/data" -w -m "$mode" stop >/dev/null
}

case "${1:-}" in
start) shift; start "$@" ;;
stop) shift; stop "$@" ;;
*) echo "usage: $0 start DIR [SETTING...] | stop DIR [fast|immediate]" >&2; exit 2 ;;
esac
