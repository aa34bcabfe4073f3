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
trap pg_cluster_stop EXIT
pg_cluster_start || echo "warning: the PostgreSQL server could not start; the server bars will say so" >&2
log=$(mktemp)
for b in "$build"/bench/*_bench; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" 2>&1 | tee -a "$log" || echo "$(basename "$b") stopped with an error" >&2
done
echo
echo "== Performance bars"
grep '^BAR ' "$log" || echo "(no bars reported)"
rm -f "$log"
exit 0
