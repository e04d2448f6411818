#!/bin/sh
# Starts the built updater where a screen reader can read it, and reads and
# works it through the AT-SPI registry (screen_reader.py), as a screen reader
# does on a Linux desktop.
# usage: screen-reader.sh PROGRAM STANDIN_DIR ARTEFACT_DIR

set -u
program=$1
standin=$2
artefacts=$3/screen-reader
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
folder="$work/José fw"
mkdir -p "$folder" "$artefacts"
. "$here/session.sh"
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    stop_session
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL (screen reader): $*"
    [ -n "${DISPLAY:-}" ] && import -window root "$artefacts/on-failure.png" 2>/dev/null
    [ -f "$work/app.log" ] && { echo "--- program output:"; cat "$work/app.log"; }
    exit 1
}

start_session

make_samples "$program"
standin_on_path "$standin"
XDG_CONFIG_HOME=$work/config
export XDG_CONFIG_HOME
(cd "$folder" && exec "$program") >"$work/app.log" 2>&1 &
app_pid=$!

/usr/bin/python3 "$here/screen_reader.py" "$folder" "$work/release" "$work/bin/stmflshr" \
    "$work/fail" >"$work/reader.log" 2>&1
status=$?
cat "$work/reader.log"
[ "$status" -eq 0 ] || fail "the screen reader's run failed"
kill -0 "$app_pid" 2>/dev/null || fail "the program ended"

# Closed from the keyboard, it ends as usual.
main=$(xdotool search --onlyvisible --name "^Solvane Firmware Updater for Kestrix\$" | head -n 1)
xdotool windowfocus --sync "$main" && xdotool key Escape
wait_for 60 sh -c "! kill -0 $app_pid" || fail "the program did not end after its window closed"
wait "$app_pid"
status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "exit status $status"
