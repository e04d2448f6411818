#!/bin/sh
# Builds the updater and its tests (installing what is missing) and runs the
# whole suite twice: in the debug build with warnings as errors, and in the
# build with the address and undefined-behaviour sanitizers.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

"$top/tools/install-deps.sh" test
for preset in dev asan; do
    echo "=== $preset build"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j"$(nproc)"
    ctest --preset "$preset"
done
