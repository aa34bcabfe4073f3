#!/usr/bin/env bash
# Runs the whole test suite of a build folder. Tests that need a database server get a
# throw-away PostgreSQL cluster, stopped at the end whatever the outcome.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)

# shellcheck source=pg-cluster.sh
source "$here/pg-cluster.sh"
trap pg_cluster_stop EXIT
pg_cluster_start || echo "warning: the PostgreSQL test server could not start; its tests will say so" >&2

export QT_QPA_PLATFORM=offscreen
# A sanitized build reports leaks of its own code only.
export LSAN_OPTIONS="suppressions=$here/../tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Tests that need the server fail instead of skipping when it is missing.
export ZARTAV_REQUIRE_PG=1
# A test that restarts the server runs after the others: a restart drops every connection.
status=0
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -LE '^alone$' || status=$?
ctest --test-dir "$build" --output-on-failure -L '^alone$' || status=$?
exit "$status"
