#!/usr/bin/env bash
# Runs every benchmark program of a release build, then repeats the BAR lines together at the end.
# It reports; a missed bar never fails the command.
set -uo pipefail
build=${1:-build-bench}
export QT_QPA_PLATFORM=offscreen
here=$(cd "$(dirname "$0")" && pwd)
# The server bars run against a throw-away PostgreSQL cluster of their own on loopback.
# shellcheck source=../scripts/pg-cluster.sh
source "$here/../scripts/pg-cluster.sh"
relay_pid=
stop_all() {
    [ -z "$relay_pid" ] || kill "$relay_pid" 2>/dev/null
    pg_cluster_stop
}
trap stop_all EXIT
pg_cluster_start || echo "warning: the PostgreSQL server could not start; the server bars will say so" >&2
# ZARTAV_BENCH_DELAY_MS=20 puts a relay holding every packet 20 ms each way (a 40 ms round trip,
# a district office's link) between the benchmarks and that server.
if [ -n "${ZARTAV_BENCH_DELAY_MS:-}" ] && [ -n "${ZARTAV_PG_PORT:-}" ]; then
    relay_out=$(mktemp)
    # ZARTAV_BENCH_RELAY=plain takes the relay of another make, which queues chunks one behind another.
    if [ "${ZARTAV_BENCH_RELAY:-}" = plain ]; then relay=(python3 "$here/plain_relay.py"); else relay=("$build/bench/zartav-delay-relay"); fi
    "${relay[@]}" 0 "$ZARTAV_PG_HOST" "$ZARTAV_PG_PORT" "$ZARTAV_BENCH_DELAY_MS" >"$relay_out" &
    relay_pid=$!
    for _ in $(seq 50); do grep -q '^ready' "$relay_out" && break; sleep 0.1; done
    relay_port=$(awk '/^ready/ { print $2 }' "$relay_out")
    rm -f "$relay_out"
    [ -n "$relay_port" ] || { echo "the delay relay did not start" >&2; exit 1; }
    export ZARTAV_PG_PORT=$relay_port
    echo "== the server is reached through ${relay[*]##*/} holding packets ${ZARTAV_BENCH_DELAY_MS} ms each way"
fi
log=$(mktemp)
# The million-record Data.db the benchmarks share, made once in the build folder and made again
# only when the generator or the store's schema changes (their sources' checksum is its stamp).
million="$build/bench-data/Data.db"
# Every statement that makes the store's objects lives in the schema room.
stamp=$(cat "$here"/generate_data.cpp "$here"/support/data_generator.* "$here"/../src/data/schema/* | sha256sum | cut -c1-16)
if [ ! -f "$million" ] || [ "$(cat "$million.stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$build/bench-data" && mkdir -p "$build/bench-data"
    echo "== making the 1,000,000-record Data.db"
    started=$(date +%s.%N)
    if "$build/bench/zartav-gen" --db "$million" --records 1000000; then
        awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f\n", b - a }' >"$million.seconds"
        echo "$stamp" >"$million.stamp"
    fi
fi
if [ -f "$million.seconds" ]; then
    seconds=$(cat "$million.seconds")
    verdict=$(awk -v s="$seconds" 'BEGIN { print (s <= 120 ? "PASS" : "FAIL") }')
    echo "BAR zartav-gen makes the 1,000,000-record Data.db | $seconds s | - | bound 120 s | $verdict" | tee -a "$log"
fi
export ZARTAV_BENCH_MILLION="$million"
# ZARTAV_BENCH_ONLY="herd_bench find_bench" runs only those programs.
for b in "$build"/bench/*_bench; do
    [ -x "$b" ] || continue
    if [ -n "${ZARTAV_BENCH_ONLY:-}" ] && [[ " $ZARTAV_BENCH_ONLY " != *" $(basename "$b") "* ]]; then continue; fi
    echo "== $(basename "$b")"
    "$b" 2>&1 | tee -a "$log" || echo "$(basename "$b") stopped with an error" >&2
done
echo
echo "== Performance bars"
grep '^BAR ' "$log" || echo "(no bars reported)"
rm -f "$log"
exit 0
