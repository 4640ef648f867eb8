#!/bin/sh
# Runs one fuzz target for a while: sh scripts/fuzz.sh image|ini|movie SECONDS
# The seed corpus is written by the target's own test program (its FuzzSeeds tests); what the
# fuzzer adds is kept in build-fuzz/corpus/TARGET, crashes in build-fuzz/crashes/TARGET.
set -e
cd "$(dirname "$0")/.."
TARGET="$1"
SECONDS_TO_RUN="${2:-60}"
case "$TARGET" in
    image) TESTS=test_imageio; EXTRA="-max_len=4096 -malloc_limit_mb=64" ;;
    ini) TESTS=test_profile; EXTRA="-max_len=4096" ;;
    movie) TESTS=test_movie; EXTRA="-max_len=65536 -timeout=30" ;;
    *) echo "usage: sh scripts/fuzz.sh image|ini|movie SECONDS" >&2; exit 2 ;;
esac
sh scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXEL_FUZZ=ON \
    -DVEXEL_BUILD_UI=OFF -DVEXEL_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$(nproc)" --target "${TARGET}_fuzz" "$TESTS"

SEEDS="$PWD/build-fuzz/seeds"
CORPUS="build-fuzz/corpus/$TARGET"
CRASHES="build-fuzz/crashes/$TARGET"
mkdir -p "$CORPUS" "$CRASHES"
rm -rf "$SEEDS/$TARGET"
VEXEL_FUZZ_SEEDS="$SEEDS" VEXEL_TEST_DATA="$PWD/tests/data" QT_QPA_PLATFORM=offscreen \
    "build-fuzz/tests/$TESTS" --gtest_filter='FuzzSeeds.*' >/dev/null
# The regression files of earlier finds seed the run as well.
for f in tests/data/"$TARGET"/*; do [ -f "$f" ] && cp "$f" "$SEEDS/$TARGET/"; done

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# shellcheck disable=SC2086
exec "build-fuzz/tests/${TARGET}_fuzz" "$CORPUS" "$SEEDS/$TARGET" -max_total_time="$SECONDS_TO_RUN" \
    -artifact_prefix="$CRASHES/" -print_final_stats=1 $EXTRA
