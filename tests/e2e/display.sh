# Sourced by the scripts that drive windows: an Xvfb of their own, and a
# wait for a condition. The caller has $work (a temporary folder), fail(),
# and xvfb_pid, which its clean-up kills.

# Starts the X server and sets DISPLAY. For Wine (with "wine"), restarts the
# prefix's wineserver: a prefix made without a display leaves Wine's desktop
# without one, and started again it takes this one.
start_display() {
    # -noreset: a server that resets when its last client leaves turns the
    # next program away for a moment.
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" \
        2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_for 60 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY WINEQT_QPA_PLATFORM
    if [ "${1:-}" = wine ]; then
        wineserver -k 2>/dev/null
        wineserver -w
    fi
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
    limit=$1
    shift
    tries=$((limit * 20))
    while [ "$tries" -gt 0 ]; do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.05
        tries=$((tries - 1))
    done
    return 1
}
