#!/bin/sh
# Builds the updater and its tests (installing what is missing) and runs them.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

"$top/tools/install-deps.sh" test
cmake --preset dev
cmake --build --preset dev -j"$(nproc)"
ctest --preset dev
