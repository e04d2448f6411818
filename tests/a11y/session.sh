# Sourced by the screen reader tests: an X display, a D-Bus session bus and
# the accessibility bus with its registry, as a desktop session has them.
# The caller has $work, $folder and fail(), and calls stop_session as it
# cleans up.
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

. "$(dirname "$0")/../e2e/display.sh"

xvfb_pid=""
bus_pid=""
launcher_pid=""
stop_session() {
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}

start_session() {
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
    wait_for 60 launcher_ready || fail "the accessibility bus did not come up: $(cat "$work/launcher.log")"
    # The registry starts when first called; the program's one call to join
    # it may time out while it starts on a busy machine, so it is called first.
    a11y_bus=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress | tr -d ' ')
    wait_for 120 registry_ready || fail "the accessibility registry did not start"
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON
}

launcher_ready() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}

registry_ready() {
    dbus-send --bus="$a11y_bus" --print-reply --dest=org.a11y.atspi.Registry \
        /org/a11y/atspi/registry org.freedesktop.DBus.Peer.Ping
}

# The files a run chooses from, in $folder: the sample image, an empty one
# and, as the program opens it from where it starts, the animation of the
# program $1.
make_samples() {
    sh "$(dirname "$0")/../../tools/standin/make-sample-firmware.sh" "$folder/fw 1.bin"
    : >"$folder/empty.bin"
    cp "$(dirname "$1")/load.gif" "$folder/"
}

# The stand-in, through a programmer of the test's own in $work/bin that the
# test can take away, or tell to fail (with $work/fail) as a device that does
# not answer, or hold (until $work/release exists).
standin_on_path() {
    mkdir "$work/bin"
    cat >"$work/bin/stmflshr" <<PROGRAMMER
#!/bin/sh
[ -e "$work/fail" ] && STMFLSHR_STANDIN_FAIL=1 && export STMFLSHR_STANDIN_FAIL
exec "$1/stmflshr" "\$@"
PROGRAMMER
    chmod 755 "$work/bin/stmflshr"
    PATH="$work/bin:$PATH"
    STMFLSHR_STANDIN_STEP_SECONDS=0.1
    STMFLSHR_STANDIN_HOLD=$work/release
    export PATH STMFLSHR_STANDIN_STEP_SECONDS STMFLSHR_STANDIN_HOLD
}
