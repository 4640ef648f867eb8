#!/bin/sh
# Fresh machine to running program.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target vexel-helper
exec ./build/vexel-helper "$@"
