#!/bin/sh
# Builds the updater and its tests (installing what is missing) and runs the
# whole suite: in the debug build with warnings as errors, in the build with
# the address and undefined-behaviour sanitizers, in a debug build with Qt 6,
# as a 64-bit ARM program (Raspberry Pi OS) under QEMU, and, where Qt for
# Windows is at hand, as a Windows program under Wine.
#   KESTRIX_QT_WINDOWS: a Qt for Windows folder (it holds lib/cmake/Qt5)
#   KESTRIX_QT_WINDOWS_ARCHIVE: or an archive of one, unpacked into build/
# Last, it builds a release twice, in two clones of the last commit, and
# checks that the two are the same to the byte.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

# build_and_test PRESET WHAT
build_and_test() {
    echo "=== $1 build$2"
    cmake --preset "$1"
    cmake --build --preset "$1" -j"$(nproc)"
    ctest --preset "$1"
}

"$top/tools/install-deps.sh" test
for preset in dev asan qt6; do
    build_and_test "$preset" ""
done

# Debian's arm64 Qt beside the machine's own, where its archive has it.
if "$top/tools/install-deps.sh" arm64; then
    build_and_test arm64 ", tested under QEMU"
else
    echo "arm64 suite skipped: the cross compiler and arm64 Qt could not be installed"
fi

KESTRIX_QT_WINDOWS=$(sh "$top/tools/windows-kit.sh")
if [ -n "$KESTRIX_QT_WINDOWS" ]; then
    export KESTRIX_QT_WINDOWS
    build_and_test windows ", with Qt from $KESTRIX_QT_WINDOWS"
else
    echo "Windows suite skipped: no Qt for Windows (set KESTRIX_QT_WINDOWS to its folder, or KESTRIX_QT_WINDOWS_ARCHIVE to its archive, and run this again)"
fi

echo "=== the release, made twice"
sh "$top/tools/check-reproducible.sh"
