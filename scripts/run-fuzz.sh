#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for SECONDS (default 15)
# on its seed corpus in fuzz/corpus/<target>/ plus, read-only, the test files in tests/fixtures.
# New inputs found go to build-fuzz/corpus/<target>/; a crash leaves its input in
# build-fuzz/artifacts/ and makes the script fail. FUZZ_EXCLUDE names targets to leave out.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-15}
BUILD=${FUZZ_BUILD:-build-fuzz}
JOBS=${JOBS:-$(nproc)}
FIXTURES=$(pwd)/tests/fixtures

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARTAV_FUZZ=ON >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target fuzz_all

# Extra read-only seed folders per target (only those that exist).
extra_corpus() {
    case "$1" in
        fuzz_photo) ls -d "$FIXTURES"/photos 2>/dev/null || true ;;
        fuzz_legacy_mdb) ls -d "$FIXTURES"/legacy 2>/dev/null || true ;;
        *) ;;
    esac
}

mkdir -p "$BUILD/artifacts"
status=0
for seeds in fuzz/corpus/*/; do
    target=$(basename "$seeds")
    if [[ " ${FUZZ_EXCLUDE:-} " == *" $target "* ]]; then
        echo "== $target left out of this run"
        continue
    fi
    [ -x "$BUILD/fuzz/$target" ] || { echo "no fuzz target $target"; status=1; continue; }
    work="$BUILD/corpus/$target"
    mkdir -p "$work"
    max_len=262144
    [ "$target" = fuzz_legacy_mdb ] && max_len=400000
    echo "== $target (${SECONDS_PER_TARGET}s)"
    # Qt and libmdb keep a few objects for the life of the process: not leaks worth failing on.
    if ! ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        QT_QPA_PLATFORM=offscreen \
        "$BUILD/fuzz/$target" -max_total_time="$SECONDS_PER_TARGET" -max_len="$max_len" -rss_limit_mb=4096 \
        -timeout=20 -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/$target-" \
        "$work" "$seeds" $(extra_corpus "$target") 2>"$BUILD/$target.log"; then
        echo "!! $target failed; see $BUILD/$target.log and $BUILD/artifacts/"
        tail -40 "$BUILD/$target.log"
        status=1
    fi
    grep -E "^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+.*DONE" "$BUILD/$target.log" | tr '\n' ' '
    echo
done
exit $status
