#!/usr/bin/env bash
# Sets up the team's card register on a Debian server with PostgreSQL 15, run as root:
#
#   sudo scripts/server-setup.sh [OPTION]... DATABASE [USER]...
#
#   --editor NAME        NAME is an editor (管理员: lookup lists, the team's defaults, 彻底删除,
#                        copies into the server); every USER is a member (成员). Repeatable.
#   --network CIDR       the office network the users connect from (e.g. 192.168.1.0/24);
#                        repeatable; the pg_hba.conf lines shown name it.
#   --certificates HOST  makes a certificate authority of the office and a certificate for the
#                        server named HOST (its name or address as the PCs write it), in
#                        /etc/postgresql/orvane-tls (or --certificate-dir DIR), keeping those
#                        made before; root.crt is the file to copy to each PC.
#
# Creates DATABASE (when missing) with the register's tables, owned by the role orvane_owner
# that nobody logs in as; the group roles orvane_users (成员) and orvane_editors (管理员) with
# the rights each needs and no more; and a login role per user, in one of the two groups, with
# a SCRAM password asked for on the terminal without echo (or read one a line from standard
# input when that is no terminal). Only the SCRAM verifier of a password reaches the server.
# Running it again adds users, moves a user to the group named, keeps every card, and brings a
# register made by an earlier version to the current roles, rights and rules.
#
# ORVANE_SETUP_ADMIN="<libpq connection>" runs the statements over that connection instead of
# as the system user postgres (the tests use it on their private server).
set -euo pipefail
export PGOPTIONS="${PGOPTIONS:-} -c client_min_messages=warning"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

usage() {
    echo "usage: $0 [--editor NAME]... [--network CIDR]... [--certificates HOST" \
        "[--certificate-dir DIR]] DATABASE [USER]..." >&2
    exit 2
}

EDITORS=()
NETWORKS=()
CERT_HOST=""
CERT_DIR=/etc/postgresql/orvane-tls
while [ $# -gt 0 ]; do
    case "$1" in
    --editor) [ $# -ge 2 ] || usage; EDITORS+=("$2"); shift 2 ;;
    --network) [ $# -ge 2 ] || usage; NETWORKS+=("$2"); shift 2 ;;
    --certificates) [ $# -ge 2 ] || usage; CERT_HOST="$2"; shift 2 ;;
    --certificate-dir) [ $# -ge 2 ] || usage; CERT_DIR="$2"; shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
    esac
done
[ $# -ge 1 ] || usage
DATABASE="$1"
shift
MEMBERS=("$@")

# Any name PostgreSQL takes: 1 to 63 bytes, no control character; written into statements
# only as a quoted identifier or literal by psql itself.
valid_name() { [ -n "$1" ] && [ "$(printf '%s' "$1" | wc -c)" -le 63 ] && [[ ! "$1" =~ [[:cntrl:]] ]]; }
for name in "$DATABASE" "${MEMBERS[@]}" "${EDITORS[@]}"; do
    valid_name "$name" || { echo "not a name PostgreSQL accepts (1 to 63 bytes): $name" >&2; exit 2; }
done
for network in "${NETWORKS[@]}"; do
    [[ "$network" =~ ^[0-9A-Fa-f:.]+/[0-9]{1,3}$ ]] || { echo "not a network (CIDR): $network" >&2; exit 2; }
done

# psql on a database (postgres when none), stopping at the first error, the script on
# standard input; names go in as psql variables (-v), quoted by psql (:"name", :'name').
admin_psql() {
    local database="${1:-postgres}"
    shift || true
    if [ -n "${ORVANE_SETUP_ADMIN:-}" ]; then
        PGDATABASE="$database" psql -X -q -v ON_ERROR_STOP=1 "$@" "$ORVANE_SETUP_ADMIN"
    else
        runuser -u postgres -- env PGDATABASE="$database" psql -X -q -v ON_ERROR_STOP=1 "$@"
    fi
}

# Sets a login's password from what is typed: psql's \password asks for it (twice, on
# standard input, as the process has no terminal of its own) and sends only its SCRAM verifier.
set_password() {
    local user="$1" password="$2"
    local command=(psql -X -q -v ON_ERROR_STOP=1 -v "user=$user" -f "$ROOT/scripts/setup-password.psql")
    if [ -n "${ORVANE_SETUP_ADMIN:-}" ]; then
        printf '%s\n%s\n' "$password" "$password" |
            PGDATABASE=postgres setsid -w "${command[@]}" "$ORVANE_SETUP_ADMIN"
    else
        printf '%s\n%s\n' "$password" "$password" |
            runuser -u postgres -- env PGDATABASE=postgres setsid -w "${command[@]}"
    fi 2> >(grep -v '^Enter ' >&2)
}

make_certificates() {
    local host="$1" dir="$2" san
    command -v openssl >/dev/null || { echo "openssl is missing (apt install openssl)" >&2; exit 1; }
    mkdir -p "$dir"
    chmod 0755 "$dir"
    if [[ "$host" =~ ^[0-9.]+$|: ]]; then san="IP:$host"; else san="DNS:$host"; fi
    if [ ! -f "$dir/root.crt" ]; then
        openssl req -x509 -new -nodes -newkey rsa:3072 -sha256 -days 3650 -subj "/CN=Orvane 名片服务器 CA" \
            -keyout "$dir/root.key" -out "$dir/root.crt" 2>/dev/null
        chmod 0600 "$dir/root.key"
    fi
    openssl req -new -nodes -newkey rsa:3072 -subj "/CN=$host" \
        -keyout "$dir/server.key" -out "$dir/server.csr" 2>/dev/null
    openssl x509 -req -in "$dir/server.csr" -CA "$dir/root.crt" -CAkey "$dir/root.key" \
        -CAcreateserial -days 1825 -sha256 -out "$dir/server.crt" \
        -extfile <(printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\n' "$san") 2>/dev/null
    rm -f "$dir/server.csr"
    chmod 0600 "$dir/server.key"
    if [ "$(id -u)" -eq 0 ] && id -u postgres >/dev/null 2>&1; then
        chown postgres "$dir/server.key" "$dir/server.crt"
    fi
    echo "Made the server certificate for $host in $dir (root.crt: the file to copy to each PC)."
}

if [ -n "$CERT_HOST" ]; then
    make_certificates "$CERT_HOST" "$CERT_DIR"
fi

admin_psql postgres -v "database=$DATABASE" <<'SQL'
SELECT format('CREATE DATABASE %I ENCODING ''UTF8'' TEMPLATE template0', :'database')
WHERE NOT EXISTS (SELECT FROM pg_database WHERE datname = :'database') \gexec
SQL

# The register's tables, made by the administrator so that users need no right to create;
# then the rules of the current version (again on a register made by an earlier one).
{
    echo "BEGIN;"
    echo "SELECT to_regclass('d_b') IS NULL AS missing \\gset"
    echo "\\if :missing"
    cat "$ROOT/src/db/serverschema.sql"
    sed -n '/^INSERT INTO/,/;$/p' "$ROOT/src/db/schema.sql"
    echo "\\echo 'Created the card register.'"
    echo "\\endif"
    cat "$ROOT/src/db/serverrules.sql"
    cat "$ROOT/scripts/setup-rights.psql"
    echo "COMMIT;"
} | admin_psql "$DATABASE" -v "database=$DATABASE"

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

# Each login in its group, with its limits: settings of a group role do not reach the
# sessions of its members, so they are set on each login, for this database.
add_user() {
    local user="$1" group="$2" other="$3" password # other: the group the user leaves
    password="$(read_password "$user")"
    admin_psql "$DATABASE" -v "user=$user" -v "group=$group" -v "other=$other" \
        -v "database=$DATABASE" <<'SQL'
SELECT format('CREATE ROLE %I LOGIN', :'user')
WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = :'user') \gexec
SELECT format('REVOKE %I FROM %I', :'other', :'user')
WHERE :'other' <> :'group' AND pg_has_role(:'user', :'other', 'MEMBER') \gexec
GRANT :"group" TO :"user";
ALTER ROLE :"user" IN DATABASE :"database" SET lock_timeout = '10s';
ALTER ROLE :"user" IN DATABASE :"database" SET idle_in_transaction_session_timeout = '2min';
SELECT format('ALTER ROLE %I IN DATABASE %I SET statement_timeout = %L', :'user', :'database',
              CASE :'group' WHEN 'orvane_editors' THEN '0' ELSE '2min' END) \gexec
SQL
    set_password "$user" "$password"
    echo "User $user may use $DATABASE as $( [ "$group" = orvane_editors ] && echo "管理员 (editor)" || echo "成员 (member)")."
}
for user in "${MEMBERS[@]}"; do
    add_user "$user" orvane_users orvane_editors
done
for user in "${EDITORS[@]}"; do
    add_user "$user" orvane_editors orvane_editors
done

[ ${#NETWORKS[@]} -gt 0 ] || NETWORKS=("<office network, e.g. 192.168.1.0/24>")
hba_database="\"${DATABASE//\"/\"\"}\""
echo
echo "Let the users in over TLS only, with their SCRAM passwords: put these lines at the top of"
echo "/etc/postgresql/15/main/pg_hba.conf (the first line that matches decides):"
echo
for network in "${NETWORKS[@]}"; do
    echo "hostssl  $hba_database  +orvane_users  $network  scram-sha-256"
done
echo "hostnossl  all  all  0.0.0.0/0  reject"
echo "hostnossl  all  all  ::/0       reject"
cat <<EOF2

and in /etc/postgresql/15/main/postgresql.conf:

listen_addresses = '*'
ssl = on
ssl_cert_file = '$CERT_DIR/server.crt'
ssl_key_file = '$CERT_DIR/server.key'
ssl_min_protocol_version = 'TLSv1.3'
password_encryption = scram-sha-256

then: systemctl reload postgresql
Copy $CERT_DIR/root.crt to each PC and choose it as 根证书 under 加密连接 (验证服务器证书)
in the program's 连接服务器 window.
EOF2
