#!/bin/sh
# Fresh machine to passing tests: packages, configure, build, ctest (headless); then the whole
# suite again under AddressSanitizer + UndefinedBehaviorSanitizer, and the movie tests under
# ThreadSanitizer with the renderer's threads. VEXEL_QUICK=1 runs the plain build only.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
JOBS="$(nproc)"
export QT_QPA_PLATFORM=offscreen

# VEXEL_WERROR=ON (set by CI) makes any compiler warning fail the plain build; the sanitizer
# builds keep warnings as warnings, since instrumentation can make GCC warn where plain code does not.
WERROR="-DVEXEL_WERROR=${VEXEL_WERROR:-OFF}"

# Through the compiler cache: a later run, from any clone of the repository, compiles only what
# changed. Paths are taken relative to the clone so that clones share their entries.
CACHE=""
if command -v ccache >/dev/null 2>&1; then
    CACHE="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    export CCACHE_BASEDIR="$(pwd)" CCACHE_NOHASHDIR=1
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXEL_BUILD_BENCH=ON "$WERROR" $CACHE
cmake --build build -j"$JOBS"
ctest --test-dir build --no-tests=error --output-on-failure -j"$JOBS"
[ "${VEXEL_QUICK:-0}" = 1 ] && exit 0

export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXEL_SANITIZE=address,undefined \
    -DVEXEL_BUILD_BENCH=OFF $CACHE
cmake --build build-asan -j"$JOBS"
ctest --test-dir build-asan --no-tests=error --output-on-failure -j"$JOBS"

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXEL_SANITIZE=thread \
    -DVEXEL_BUILD_UI=OFF -DVEXEL_BUILD_BENCH=OFF $CACHE
cmake --build build-tsan -j"$JOBS" --target test_movie test_picture
export TSAN_OPTIONS="halt_on_error=1"
ctest --test-dir build-tsan --no-tests=error --output-on-failure -j"$JOBS" -L '^movie$'
# The renderer's row pool.
ctest --test-dir build-tsan --no-tests=error --output-on-failure -R 'RowPool\.|AtAnyThreadCount'
