#!/usr/bin/env bash
# Sets up the team's card register on a Debian server with PostgreSQL 15, run as root:
#
#   sudo scripts/server-setup.sh DATABASE USER...
#
# Creates DATABASE (when missing) with the register's tables, the group role orvane_users with
# the rights the program needs and no more (cards are never deleted, only marked deleted), and
# a login role per USER with a SCRAM password, asked for on the terminal (or read one a line
# from standard input when that is no terminal). Running it again adds users and keeps the
# cards. At the end it shows the lines that let the users in over TLS only.
#
# ORVANE_SETUP_ADMIN="<libpq connection>" runs the statements over that connection instead of
# as the system user postgres (the tests use it on their private server).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

if [ $# -lt 2 ]; then
    echo "usage: $0 DATABASE USER..." >&2
    exit 2
fi
DATABASE="$1"
shift
valid_name() { [[ "$1" =~ ^[a-z_][a-z0-9_]{0,62}$ ]]; }
for name in "$DATABASE" "$@"; do
    valid_name "$name" || { echo "not a plain name (a-z, 0-9, _): $name" >&2; exit 2; }
done

# psql on the given database (postgres when none), stopping at the first error.
admin_psql() {
    local database="${1:-postgres}"
    if [ -n "${ORVANE_SETUP_ADMIN:-}" ]; then
        psql -X -q -v ON_ERROR_STOP=1 "$ORVANE_SETUP_ADMIN dbname=$database"
    else
        runuser -u postgres -- psql -X -q -v ON_ERROR_STOP=1 -d "$database"
    fi
}
# The one value of a query on the given database.
admin_value() {
    if [ -n "${ORVANE_SETUP_ADMIN:-}" ]; then
        psql -X -At -v ON_ERROR_STOP=1 "$ORVANE_SETUP_ADMIN dbname=$1" -c "$2"
    else
        runuser -u postgres -- psql -X -At -v ON_ERROR_STOP=1 -d "$1" -c "$2"
    fi
}

if [ "$(admin_value postgres "select count(*) from pg_database where datname='$DATABASE'")" = 0 ]; then
    echo "CREATE DATABASE $DATABASE ENCODING 'UTF8' TEMPLATE template0" | admin_psql
    echo "Created the database $DATABASE."
fi

# The register's tables, made by the administrator so that users need no right to create.
if [ "$(admin_value "$DATABASE" "select to_regclass('d_b') is null")" = t ]; then
    { echo "BEGIN;"
      cat "$ROOT/src/db/serverschema.sql"
      sed -n '/^INSERT INTO/,/;$/p' "$ROOT/src/db/schema.sql"
      echo "COMMIT;"; } | admin_psql "$DATABASE"
    echo "Created the card register in $DATABASE."
fi

admin_psql "$DATABASE" <<SQL
DO \$\$ BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'orvane_users') THEN
        CREATE ROLE orvane_users NOLOGIN;
    END IF;
END \$\$;
REVOKE ALL ON DATABASE $DATABASE FROM PUBLIC;
GRANT CONNECT, TEMPORARY ON DATABASE $DATABASE TO orvane_users;
GRANT USAGE ON SCHEMA public TO orvane_users;
-- Cards are added, changed and marked deleted, never removed.
GRANT SELECT, INSERT, UPDATE ON D_B TO orvane_users;
-- A visit is removed for good by 注销拜访记录.
GRANT SELECT, INSERT, UPDATE, DELETE ON DList TO orvane_users;
-- The defaults are stored as one new row; the lookup lists are replaced by a copy from a file.
GRANT SELECT, INSERT, DELETE ON D_Type, D_Sex, D_P, D_Mr TO orvane_users;
-- UPDATE: a copy from a file sets where the keys go on.
GRANT USAGE, SELECT, UPDATE ON SEQUENCE d_b_id_seq, dlist_id_seq TO orvane_users;
SQL

read_password() {
    local user="$1" first second
    if [ -t 0 ]; then
        while true; do
            read -rsp "Password for $user: " first; echo >&2
            read -rsp "Again: " second; echo >&2
            [ "$first" = "$second" ] && [ ${#first} -ge 8 ] && break
            echo "The two differ or are shorter than 8 characters; once more." >&2
        done
    else
        IFS= read -r first
    fi
    printf '%s' "$first"
}

for user in "$@"; do
    password="$(read_password "$user")"
    # The password travels on standard input, never on a command line, is kept as a SCRAM
    # verifier, and the statement that carries it is kept out of the server's log.
    admin_psql "$DATABASE" <<SQL
\set password '$(printf '%s' "$password" | sed "s/'/''/g")'
SET log_statement = 'none';
SET password_encryption = 'scram-sha-256';
DO \$\$ BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = '$user') THEN
        CREATE ROLE $user LOGIN;
    END IF;
END \$\$;
GRANT orvane_users TO $user;
ALTER ROLE $user PASSWORD :'password';
SQL
    echo "User $user may use $DATABASE."
done

cat <<EOF2

Let the users in over TLS only, with their SCRAM passwords: add these lines to
/etc/postgresql/15/main/pg_hba.conf (before any other "host" line, with the network of the
office in place of 0.0.0.0/0 where you can):

hostssl  $DATABASE  +orvane_users  0.0.0.0/0  scram-sha-256
hostssl  $DATABASE  +orvane_users  ::/0       scram-sha-256

and in /etc/postgresql/15/main/postgresql.conf:

listen_addresses = '*'
ssl = on
ssl_cert_file = '/etc/ssl/certs/<server>.pem'
ssl_key_file = '/etc/ssl/private/<server>.key'
ssl_min_protocol_version = 'TLSv1.3'
password_encryption = scram-sha-256

then: systemctl reload postgresql
Each PC connects with: host=<server> dbname=$DATABASE user=<user> sslmode=verify-full
EOF2
