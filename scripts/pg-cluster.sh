# Sourced by run-tests.sh: a private PostgreSQL 15 cluster on loopback for the tests.
# Exports ZARTAV_PG_* for the tests that use it.

pg_cluster_start() {
    local bindir=/usr/lib/postgresql/15/bin
    [ -x "$bindir/initdb" ] || return 1
    PG_DIR=$(mktemp -d /tmp/zartav-pg.XXXXXX)
    local port=$(( 20000 + RANDOM % 20000 ))
    local run_as=()
    if [ "$(id -u)" -eq 0 ]; then
        # the server refuses to run as root
        chown postgres: "$PG_DIR"
        run_as=(runuser -u postgres --)
    fi
    "${run_as[@]}" "$bindir/initdb" -D "$PG_DIR/data" -A trust -U zartav -E UTF8 >"$PG_DIR/initdb.log" 2>&1 || return 1
    "${run_as[@]}" "$bindir/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w \
        -o "-k $PG_DIR -p $port -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off" start >/dev/null || return 1
    "${run_as[@]}" "$bindir/createdb" -h 127.0.0.1 -p "$port" -U zartav zartav_test || return 1
    export ZARTAV_PG_HOST=127.0.0.1 ZARTAV_PG_PORT=$port ZARTAV_PG_USER=zartav ZARTAV_PG_DB=zartav_test
    PG_RUN_AS=("${run_as[@]}")
    PG_BINDIR=$bindir
}

pg_cluster_stop() {
    if [ -n "${PG_DIR:-}" ] && [ -d "$PG_DIR/data" ]; then
        "${PG_RUN_AS[@]}" "$PG_BINDIR/pg_ctl" -D "$PG_DIR/data" -m immediate stop >/dev/null 2>&1 || true
        rm -rf "$PG_DIR"
    fi
}
