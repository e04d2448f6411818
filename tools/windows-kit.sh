#!/bin/sh
# Prints the folder of the Qt for Windows kit to build with, or nothing when
# none is given:
#   KESTRIX_QT_WINDOWS: a Qt for Windows folder (it holds lib/cmake/Qt5)
#   KESTRIX_QT_WINDOWS_ARCHIVE: or an archive of one, unpacked once into
#     build/qt-windows/ (a new archive replaces the old)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
if [ -n "${KESTRIX_QT_WINDOWS:-}" ]; then
    echo "$KESTRIX_QT_WINDOWS"
    exit 0
fi
[ -n "${KESTRIX_QT_WINDOWS_ARCHIVE:-}" ] || exit 0
archive=$KESTRIX_QT_WINDOWS_ARCHIVE
[ -f "$archive" ] || { echo "No Qt for Windows archive at $archive" >&2; exit 1; }
kit_dir=$top/build/qt-windows
sum=$(sha256sum "$archive" | cut -d' ' -f1)
if [ "$(cat "$kit_dir/.sha256" 2>/dev/null)" != "$sum" ]; then
    echo "=== unpacking $archive" >&2
    rm -rf "$kit_dir"
    mkdir -p "$kit_dir"
    tar -C "$kit_dir" -xJf "$archive"
    echo "$sum" >"$kit_dir/.sha256"
fi
qt5_config=$(find "$kit_dir" -path '*/lib/cmake/Qt5' -type d | head -n 1)
[ -n "$qt5_config" ] || { echo "No lib/cmake/Qt5 in $archive" >&2; exit 1; }
echo "${qt5_config%/lib/cmake/Qt5}"
