#!/bin/sh
# Starts the built updater where a screen reader can read it, and reads and
# works it through the AT-SPI registry (screen_reader.py), as a screen reader
# does on a Linux desktop.
# usage: screen-reader.sh PROGRAM STANDIN_DIR ARTEFACT_DIR
#
# What it takes for Qt to reach the registry, without a desktop session:
# - an X display: Qt's AT-SPI bridge belongs to its xcb platform, and the
#   offscreen platform has none;
# - a D-Bus session bus, named in DBUS_SESSION_BUS_ADDRESS;
# - at-spi-bus-launcher on it: it answers org.a11y.Bus.GetAddress with the
#   address of the accessibility bus it starts, on which D-Bus starts the
#   registry (at-spi2-registryd) when first called; Qt joins it once, as it
#   starts, so the registry is made to start before the program does;
# - QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1: otherwise Qt connects only once
#   org.a11y.Status says a screen reader is on, which a desktop's settings
#   say and a bare session does not.
# It works as root too; dbus-daemon only warns that it cannot raise its
# file limit.
set -u
program=$1
standin=$2
artefacts=$3/screen-reader
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
folder="$work/José fw"
mkdir -p "$folder" "$artefacts"
xvfb_pid=""
app_pid=""
bus_pid=""
launcher_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL (screen reader): $*"
    [ -n "${DISPLAY:-}" ] && import -window root "$artefacts/on-failure.png" 2>/dev/null
    [ -f "$work/app.log" ] && { echo "--- program output:"; cat "$work/app.log"; }
    exit 1
}

. "$here/../e2e/display.sh"
start_display

dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 \
    3>"$work/bus" 4>"$work/bus.pid" 2>"$work/dbus.log" || fail "no session bus: $(cat "$work/dbus.log")"
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
bus_pid=$(head -n 1 "$work/bus.pid")
export DBUS_SESSION_BUS_ADDRESS
launcher=$(ls /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher 2>/dev/null | head -n 1)
[ -n "$launcher" ] || fail "no at-spi-bus-launcher (package at-spi2-core)"
"$launcher" --launch-immediately >"$work/launcher.log" 2>&1 &
launcher_pid=$!
# Qt asks for the accessibility bus once, as it starts: the launcher must
# own its name by then.
launcher_ready() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
wait_for 60 launcher_ready || fail "the accessibility bus did not come up: $(cat "$work/launcher.log")"
# The registry starts when first called; the program's one call to join it
# may time out while it starts on a busy machine, so it is called first.
a11y_bus=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress | tr -d ' ')
registry_ready() {
    dbus-send --bus="$a11y_bus" --print-reply --dest=org.a11y.atspi.Registry \
        /org/a11y/atspi/registry org.freedesktop.DBus.Peer.Ping
}
wait_for 120 registry_ready || fail "the accessibility registry did not start"

sh "$here/../../tools/standin/make-sample-firmware.sh" "$folder/fw 1.bin"
: >"$folder/empty.bin"
cp "$(dirname "$program")/load.gif" "$folder/"
# The stand-in, through a programmer of the test's own that the reader can
# take away, or tell to fail as a device that does not answer.
mkdir "$work/bin"
cat >"$work/bin/stmflshr" <<EOF
#!/bin/sh
[ -e "$work/fail" ] && STMFLSHR_STANDIN_FAIL=1 && export STMFLSHR_STANDIN_FAIL
exec "$standin/stmflshr" "\$@"
EOF
chmod 755 "$work/bin/stmflshr"
PATH="$work/bin:$PATH"
STMFLSHR_STANDIN_STEP_SECONDS=0.1
STMFLSHR_STANDIN_HOLD=$work/release
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
XDG_CONFIG_HOME=$work/config
export PATH STMFLSHR_STANDIN_STEP_SECONDS STMFLSHR_STANDIN_HOLD QT_LINUX_ACCESSIBILITY_ALWAYS_ON \
    XDG_CONFIG_HOME
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
