# Sourced by run-tests.sh and the benchmarks: a private PostgreSQL 15 cluster on loopback.
#
#   trap pg_cluster_stop EXIT   # first: a half-started server is always cleaned up
#   pg_cluster_start            # answers 1 when no server could be started
#
# Exports for the tests:
#   ZARTAV_PG_HOST, ZARTAV_PG_PORT, ZARTAV_PG_USER (a superuser, trusted), ZARTAV_PG_DB
#   ZARTAV_PG_PASSWORD_ROLE  a role name the server asks a password of (scram-sha-256); the
#                            tests create the role and choose its password
#   ZARTAV_PG_SSL=1          the server accepts TLS (self-signed certificate in ZARTAV_PG_CERT)
#   ZARTAV_PG_RESTART        a shell command that restarts the server (same port and settings)

PG_BINDIR=/usr/lib/postgresql/15/bin
PG_DIR=""
PG_RUN_AS=()

pg_cluster_stop() {
    if [ -n "$PG_DIR" ] && [ -d "$PG_DIR" ]; then
        if [ -f "$PG_DIR/data/postmaster.pid" ]; then
            "${PG_RUN_AS[@]}" "$PG_BINDIR/pg_ctl" -D "$PG_DIR/data" -m immediate stop >/dev/null 2>&1 || true
        fi
        rm -rf "$PG_DIR"
    fi
    PG_DIR=""
}

# True when something already listens on the TCP port of 127.0.0.1.
pg_port_busy() {
    ss -Hltn "sport = :$1" 2>/dev/null | grep -q . && return 0
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# One attempt at a fresh cluster on `port`; a failure leaves nothing running.
pg_cluster_try() {
    local port=$1
    pg_cluster_stop
    PG_DIR=$(mktemp -d /tmp/zartav-pg.XXXXXX) || return 1
    if [ "$(id -u)" -eq 0 ]; then
        # the server refuses to run as root
        chown postgres: "$PG_DIR"
        PG_RUN_AS=(runuser -u postgres --)
    fi
    # An explicit locale: a shell whose LANG names a locale that is not generated still gets a
    # server. Messages stay in English whatever the caller's language.
    if ! LANG=C.UTF-8 LC_ALL=C.UTF-8 "${PG_RUN_AS[@]}" "$PG_BINDIR/initdb" -D "$PG_DIR/data" -A trust -U zartav \
            -E UTF8 --locale=C.UTF-8 --lc-messages=C >"$PG_DIR/initdb.log" 2>&1; then
        echo "initdb failed:" >&2; tail -5 "$PG_DIR/initdb.log" >&2
        return 1
    fi
    # The password role first: trust for everyone else on loopback.
    cat >"$PG_DIR/data/pg_hba.conf" <<EOF
local all all trust
host all zartav_pw 127.0.0.1/32 scram-sha-256
host all all 127.0.0.1/32 trust
EOF
    local ssl_opts=""
    if command -v openssl >/dev/null && openssl req -x509 -nodes -newkey rsa:2048 -days 2 -subj "/CN=127.0.0.1" \
            -keyout "$PG_DIR/data/server.key" -out "$PG_DIR/data/server.crt" >/dev/null 2>&1; then
        chmod 600 "$PG_DIR/data/server.key"
        [ "$(id -u)" -eq 0 ] && chown postgres: "$PG_DIR/data/server.key" "$PG_DIR/data/server.crt"
        ssl_opts="-c ssl=on"
    fi
    if ! LANG=C.UTF-8 LC_ALL=C.UTF-8 "${PG_RUN_AS[@]}" "$PG_BINDIR/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w \
            -o "-k $PG_DIR -p $port -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off $ssl_opts" \
            start >/dev/null 2>&1; then
        echo "the test server did not start on port $port:" >&2; tail -3 "$PG_DIR/server.log" >&2
        return 1
    fi
    if ! "${PG_RUN_AS[@]}" "$PG_BINDIR/createdb" -h 127.0.0.1 -p "$port" -U zartav zartav_test; then
        return 1
    fi
    export ZARTAV_PG_HOST=127.0.0.1 ZARTAV_PG_PORT=$port ZARTAV_PG_USER=zartav ZARTAV_PG_DB=zartav_test
    export ZARTAV_PG_PASSWORD_ROLE=zartav_pw
    if [ -n "$ssl_opts" ]; then
        export ZARTAV_PG_SSL=1 ZARTAV_PG_CERT="$PG_DIR/data/server.crt"
    fi
    export ZARTAV_PG_RESTART="${PG_RUN_AS[*]} $PG_BINDIR/pg_ctl -D $PG_DIR/data -l $PG_DIR/server.log -w -m fast restart"
    return 0
}

pg_cluster_start() {
    [ -x "$PG_BINDIR/initdb" ] || { echo "PostgreSQL 15 is not installed" >&2; return 1; }
    local attempt port
    for attempt in 1 2 3 4 5; do
        port=$(( 20000 + RANDOM % 20000 ))
        pg_port_busy "$port" && continue
        pg_cluster_try "$port" && return 0
        pg_cluster_stop
    done
    return 1
}
