#!/bin/sh
# Runs a test program where Qt's accessibility is on, as the offscreen
# platform never has it: on a display with the accessibility bus, as a
# desktop session has them, or, with "wine" first, on a display Wine's
# desktop takes, with Qt's Windows platform and its UI Automation.
# usage: on-display.sh [wine] PROGRAM [ARGUMENT...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
fail() {
    echo "FAIL (on-display): $*"
    exit 1
}
. "$here/session.sh"
cleanup() {
    stop_session
    rm -rf "$work"
}
trap cleanup EXIT
if [ "$1" = wine ]; then
    start_display wine
else
    start_session
fi
"$@"
