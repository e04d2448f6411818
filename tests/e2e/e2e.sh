#!/bin/sh
# Drives the built updater in a real window, under an Xvfb of its own.
# usage: e2e.sh CASE PROGRAM STANDIN_DIR ARTEFACT_DIR [DATA_DIR]
#   CASE: open-close | run-success | run-failure | close-during-run
#   DATA_DIR: where load.gif is, if not beside PROGRAM
set -u

case_name=$1
program=$2
standin_dir=$3
artefacts=$4/$case_name
data_dir=${5:-$(dirname "$program")}
title="Solvane Firmware Updater for Kestrix"

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$artefacts"
mkdir -p "$artefacts"

fail() {
    echo "FAIL ($case_name): $*"
    if [ -n "${DISPLAY:-}" ]; then
        import -window root "$artefacts/on-failure.png" 2>/dev/null
        echo "screenshot: $artefacts/on-failure.png"
    fi
    [ -f "$work/app.log" ] && { echo "--- program output:"; cat "$work/app.log"; }
    exit 1
}

# -noreset: a server that resets when its last client leaves turns the next
# program away for a moment.
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

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

main_window() {
    xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1
}

has_main_window() {
    [ -n "$(main_window)" ]
}

# A top-level window other than the main one: the chooser or a message box.
second_window() {
    main=$(main_window)
    for id in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
        [ "$id" = "$main" ] && continue
        # The root window is the one without a name.
        name=$(xdotool getwindowname "$id" 2>/dev/null)
        [ -z "$name" ] || [ "$name" = "$title" ] && continue
        echo "$id"
        return 0
    done
    return 1
}

has_second_window() {
    [ -n "$(second_window)" ]
}

app_alive() {
    kill -0 "$app_pid" 2>/dev/null
}

# With no window manager, keys go where the pointer is.
press_in() {
    window=$1
    shift
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 5))
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key --delay 80 "$@"
}

start_app() {
    cp "$data_dir/load.gif" "$work/" || fail "no load.gif in $data_dir"
    (cd "$work" && exec "$program") >"$work/app.log" 2>&1 &
    app_pid=$!
    wait_for 20 has_main_window || fail "the window did not open"
}

# Chooses a file through the real chooser and starts a run.
choose_and_start() {
    file=$1
    main=$(main_window)
    # Focus starts in the file field; Tab reaches Browse.
    press_in "$main" Tab space
    wait_for 10 has_second_window || fail "the file chooser did not open"
    chooser=$(second_window)
    press_in "$chooser" ctrl+a
    xdotool type --delay 15 "$file"
    xdotool key Return
    wait_for 10 sh -c "! xdotool search --onlyvisible --name 'Select Firmware File' | grep -q ." \
        || fail "the file chooser did not close"
    # Back on Browse: Tab to the port list, Tab to Start.
    press_in "$main" Tab Tab space
}

# Counts pixels near a colour in a screenshot.
pixels_like() {
    convert "$1" -fuzz 12% -fill black +opaque "$2" -fill white -opaque "$2" \
        -format "%[fx:round(mean*w*h)]" info:
}

wait_for_exit() {
    limit=$1
    wait_for "$limit" sh -c "! kill -0 $app_pid" || return 1
    wait "$app_pid"
    status=$?
    app_pid=""
    return 0
}

firmware="$work/firmware image.bin"
printf 'not a real firmware image\n' >"$firmware"
: >"$work/empty.bin"
PATH="$standin_dir:$PATH"
export PATH
STMFLSHR_STANDIN_STEP_SECONDS=0.25
export STMFLSHR_STANDIN_STEP_SECONDS

case $case_name in
open-close)
    start_app
    name=$(xdotool getwindowname "$(main_window)")
    [ "$name" = "$title" ] || fail "title is '$name'"
    import -window root "$artefacts/window.png"
    press_in "$(main_window)" Escape
    wait_for_exit 3 || fail "the program did not end at once after its window closed"
    [ "$status" -eq 0 ] || fail "exit status $status"
    grep -q "^Ending Thread, wait$" "$work/app.log" || fail "no 'Ending Thread, wait' in the output"
    ;;
run-success | run-failure)
    if [ "$case_name" = run-success ]; then chosen=$firmware; else chosen=$work/empty.bin; fi
    start_app
    choose_and_start "$chosen"
    sleep 0.8
    import -window root "$artefacts/during-run.png"
    wait_for 30 has_second_window || fail "no result box appeared"
    sleep 0.3
    import -window root "$artefacts/after-run.png"
    green=$(pixels_like "$artefacts/after-run.png" "#00FF00")
    crimson=$(pixels_like "$artefacts/after-run.png" "#DC143C")
    if [ "$case_name" = run-success ]; then
        [ "$green" -gt 2000 ] || fail "no green success box ($green green pixels)"
        grep -q "^Done\.$" "$work/app.log" || fail "the programmer's Done. is not in the output"
    else
        [ "$green" -lt 100 ] || fail "a green box after a failed run ($green green pixels)"
        [ "$crimson" -gt 10 ] || fail "no crimson failure text ($crimson pixels)"
        grep -q "^Done\.$" "$work/app.log" && fail "Done. in the output of a failed run"
    fi
    grep -qF "stmflshr -b 115200 -e 40 -w \"$chosen\" " "$work/app.log" \
        || fail "the command line is not in the output"
    press_in "$(second_window)" Return
    wait_for 5 sh -c "! xdotool search --onlyvisible --name '^kestrix-updater\$' | grep -q ." \
        || fail "the result box did not close"
    press_in "$(main_window)" Escape
    wait_for_exit 5 || fail "the program did not end after its window closed"
    [ "$status" -eq 0 ] || fail "exit status $status"
    ;;
close-during-run)
    STMFLSHR_STANDIN_STEP_SECONDS=1
    start_app
    choose_and_start "$firmware"
    sleep 2.5
    import -window root "$artefacts/during-run.png"
    grep -q "^Writing" "$work/app.log" && fail "the run ended before the window was closed"
    press_in "$(main_window)" Escape
    wait_for 3 sh -c "! xdotool search --onlyvisible --name '^$title\$' | grep -q ." \
        || fail "the window stayed visible"
    app_alive || fail "the program ended before its run finished"
    import -window root "$artefacts/after-close.png"
    wait_for_exit 20 || fail "the program did not end after the run"
    [ "$status" -eq 0 ] || fail "exit status $status"
    # The worker said it was waiting before the run's last output arrived.
    ending=$(grep -n "^Ending Thread, wait$" "$work/app.log" | cut -d: -f1)
    done_line=$(grep -n "^Done\.$" "$work/app.log" | cut -d: -f1)
    [ -n "$ending" ] && [ -n "$done_line" ] && [ "$ending" -lt "$done_line" ] \
        || fail "the run did not finish after the window closed"
    ;;
*)
    fail "unknown case"
    ;;
esac

echo "PASS ($case_name)"
