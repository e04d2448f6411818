#!/bin/sh
# Builds the updater and its tests (installing what is missing) and runs the
# whole suite: in the debug build with warnings as errors, in the build with
# the address and undefined-behaviour sanitizers, and, where Qt for Windows is
# at hand, as a Windows program under Wine.
#   KESTRIX_QT_WINDOWS: a Qt for Windows folder (it holds lib/cmake/Qt5)
#   KESTRIX_QT_WINDOWS_ARCHIVE: or an archive of one, unpacked into build/
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

if [ -z "${KESTRIX_QT_WINDOWS:-}" ] && [ -n "${KESTRIX_QT_WINDOWS_ARCHIVE:-}" ]; then
    archive=$KESTRIX_QT_WINDOWS_ARCHIVE
    [ -f "$archive" ] || { echo "No Qt for Windows archive at $archive" >&2; exit 1; }
    # Unpacked once for each archive; a new one replaces the old.
    kit_dir=$top/build/qt-windows
    sum=$(sha256sum "$archive" | cut -d' ' -f1)
    if [ "$(cat "$kit_dir/.sha256" 2>/dev/null)" != "$sum" ]; then
        echo "=== unpacking $archive"
        rm -rf "$kit_dir"
        mkdir -p "$kit_dir"
        tar -C "$kit_dir" -xJf "$archive"
        echo "$sum" >"$kit_dir/.sha256"
    fi
    qt5_config=$(find "$kit_dir" -path '*/lib/cmake/Qt5' -type d | head -n 1)
    [ -n "$qt5_config" ] || { echo "No lib/cmake/Qt5 in $archive" >&2; exit 1; }
    KESTRIX_QT_WINDOWS=${qt5_config%/lib/cmake/Qt5}
fi
if [ -z "${KESTRIX_QT_WINDOWS:-}" ]; then
    echo "Windows suite skipped: no Qt for Windows (set KESTRIX_QT_WINDOWS to its folder, or KESTRIX_QT_WINDOWS_ARCHIVE to its archive, and run this again)"
    exit 0
fi
export KESTRIX_QT_WINDOWS
echo "=== windows build, with Qt from $KESTRIX_QT_WINDOWS"
cmake --preset windows
cmake --build --preset windows -j"$(nproc)"
ctest --preset windows
