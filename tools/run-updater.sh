#!/bin/sh
# Builds the updater (installing what is missing) and opens it.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

"$top/tools/install-deps.sh"
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "kestrix-updater: no display to open its window on (DISPLAY is not set); run this from a desktop session" >&2
    exit 1
fi

program=kestrix-updater
if ! command -v stmflshr >/dev/null 2>&1; then
    echo "NOTE: no stmflshr on PATH. Using the project's STAND-IN, which programs no device."
    PATH="$top/tools/standin:$PATH"
    export PATH
    # A file the updater lets through, where Browse opens, and a port the
    # stand-in pretends, which any user may choose on any machine.
    sh "$top/tools/standin/make-sample-firmware.sh" "$top/build/release/sample-firmware.bin"
    cmake --build --preset release --target kestrix-updater-trial >/dev/null
    program=kestrix-updater-trial
    echo "To try a run, choose sample-firmware.bin (a sample image, not Kestrix firmware) and the port STAND-IN."
fi

# The program finds its animation, load.gif, in the folder it is started in.
cd "$top/build/release"
exec "./$program" "$@"
