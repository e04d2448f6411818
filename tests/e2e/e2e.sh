#!/bin/sh
# Drives the built updater in a real window, under an Xvfb of its own, by the
# keyboard alone: the Linux program, or the Windows one (PROGRAM ending in
# .exe) under Wine, in the Wine prefix the caller made (tests/wine/with-prefix.sh).
# Each step waits for what it must see before the next (a window by its
# title, the keyboard in it, a field holding a text, a line in the program's
# output), never for a fixed time.
# usage: e2e.sh CASE PROGRAM PROGRAMMER ARTEFACT_DIR [DATA_DIR]
#   CASE: open-close | run-success | run-failure | run-refused |
#     run-no-programmer | close-during-run
#   PROGRAMMER: the folder of the stand-in programmer; for Windows, the fake
#     programmer (.exe), which is put in a folder on PATH
#   DATA_DIR: where load.gif is, if not beside PROGRAM
# With E2E_START_IN_PROGRAM_FOLDER=1 the program starts in its own folder, as
# an installed program's shortcut starts it, load.gif already there; the file
# is then chosen by its full path. E2E_STOP_AFTER_BROWSE=N stops the program
# for N seconds once Browse is pressed, as a busy machine might.
set -u

case_name=$1
program=$2
programmer=$3
artefacts=$4/$case_name
data_dir=${5:-$(dirname "$program")}
here=$(cd "$(dirname "$0")" && pwd)
title="Solvane Firmware Updater for Kestrix"
chooser_title="Select Firmware File"
# The result box has no title of its own: the system names it after the program.
box_title="kestrix-updater"
case $program in
*.exe) windows=true ;;
*) windows=false ;;
esac

work=$(mktemp -d)
# Where the program starts and the chooser opens: a space and an accent.
folder="$work/José fw"
mkdir -p "$folder"
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill -CONT "$app_pid" 2>/dev/null && kill "$app_pid" 2>/dev/null
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
        echo "windows: $(windows_shown | tr '\n' ';')"
    fi
    [ -f "$work/app.log" ] && { echo "--- program output:"; cat "$work/app.log"; }
    exit 1
}

. "$here/display.sh"
if $windows; then
    start_display wine
else
    start_display
fi
# Keys go where the X focus is set; the pointer stays out of the way.
xdotool mousemove 0 0

# Every window shown, as "id name", by the name a user sees in its title.
windows_shown() {
    for id in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
        name=$(xdotool getwindowname "$id" 2>/dev/null)
        # The root window has no name.
        [ -n "$name" ] && echo "$id $name"
    done
}

# The id of the window shown with exactly this name.
window_named() {
    windows_shown | while read -r id name; do
        [ "$name" = "$1" ] && echo "$id" && break
    done
}

shown() {
    [ -n "$(window_named "$1")" ]
}

gone() {
    ! shown "$1"
}

main_window() {
    window_named "$title"
}

# Nothing but the main window: no chooser, box or pop-up left to take keys.
main_window_alone() {
    [ "$(windows_shown | cut -d' ' -f2-)" = "$title" ]
}

has_focus() {
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]
}

# Gives a window the keyboard, as a window manager would, and presses keys
# once it has it.
press_in() {
    window=$1
    shift
    has_focus "$window" || xdotool windowfocus --sync "$window" 2>/dev/null
    wait_for 30 has_focus "$window" || fail "the window $window did not take the keyboard"
    xdotool key --delay 80 "$@"
}

app_alive() {
    kill -0 "$app_pid" 2>/dev/null
}

# A debug line as Wine reports it: a Windows GUI program writes its lines
# to the debugger, which Wine shows on its seh channel, escaped.
wine_escaped() {
    printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g; s/é/\\xe9/g'
}

# Whether the program wrote this debug line.
logged() {
    if $windows; then
        grep -qF "warn:seh:OutputDebugStringA \"$(wine_escaped "$1")\\n\"" "$work/app.log"
    else
        grep -qxF "$1" "$work/app.log"
    fi
}

# Where the output first says this.
first_line_with() {
    grep -nF "$1" "$work/app.log" | head -n 1 | cut -d: -f1
}

in_output() {
    grep -qF "$1" "$work/app.log"
}

clipboard_is() {
    [ "$(xclip -o -selection clipboard 2>/dev/null)" = "$1" ]
}

start_app() {
    if $in_program_folder; then
        start_dir=$(dirname "$program")
    else
        start_dir=$folder
        cp "$data_dir/load.gif" "$folder/" || fail "no load.gif in $data_dir"
    fi
    if $windows; then
        (cd "$start_dir" && WINEDEBUG=-all,warn+seh exec wine "$program") >"$work/app.log" 2>&1 &
    else
        (cd "$start_dir" && exec "$program") >"$work/app.log" 2>&1 &
    fi
    app_pid=$!
    wait_for 60 shown "$title" || fail "the window did not open"
}

# Chooses a file of the folder the program started in through the real
# chooser, by typing its name: the chooser must open there.
choose() {
    name=$1
    if $in_program_folder; then
        # Wine's chooser takes a typed path only with Windows' separators.
        name=$(path_of "$name")
        $windows && name=$(printf '%s' "$name" | tr / '\\')
    fi
    # Focus starts in the file field; Tab reaches Browse.
    press_in "$(main_window)" Tab space
    if [ -n "${E2E_STOP_AFTER_BROWSE:-}" ]; then
        kill -STOP "$app_pid"
        sleep "$E2E_STOP_AFTER_BROWSE"
        kill -CONT "$app_pid"
    fi
    wait_for 60 shown "$chooser_title" || fail "the file chooser did not open"
    import -window root "$artefacts/chooser.png"
    # Typed over whatever the field holds, then read back through the
    # clipboard: what the chooser was not ready for is typed again. (Wine's
    # fields select all with Home and Shift+End, not Ctrl+A.)
    for _ in 1 2 3; do
        press_in "$(window_named "$chooser_title")" Home shift+End
        xdotool type --delay 30 "$name"
        xdotool key --delay 80 Home shift+End ctrl+c
        wait_for 10 clipboard_is "$name" && break
    done
    clipboard_is "$name" || fail "the chooser's name field holds '$(xclip -o -selection clipboard 2>/dev/null)'"
    xdotool key Return
    wait_for 60 gone "$chooser_title" || fail "the file chooser did not close"
}

# Presses Start: back on Browse once the chooser has gone, Tab to the port
# list, Tab to Start. The run logs its command line, or why it refused one.
runs_before=0
run_started() {
    [ "$(grep -cF -e 'stmflshr -b' -e 'Refusing to run' "$work/app.log")" -gt "$runs_before" ]
}

# Keys sent as the window takes the keyboard back from the chooser may be
# lost on a busy machine: they are sent again while nothing came of them,
# the main window still alone.
start_run() {
    for _ in 1 2 3; do
        wait_for 60 main_window_alone || fail "a window other than the main one is open"
        press_in "$(main_window)" Tab Tab space
        wait_for 20 run_started && return 0
    done
    fail "Start did not start a run"
}

# Wine's cmd.exe now and then says "Can't recognize" for a program it has in
# its path when starting it failed (seen once in CI, never here in many
# runs): the run is made once more then, and only then.
start_run_past_wine() {
    start_run
    $windows || return 0
    wait_for 120 shown "$box_title" || fail "no result box appeared"
    if ! programmer_called && in_output "Can't recognize"; then
        echo "NOTE: Wine's cmd.exe did not start the programmer in its path; running again"
        close_box
        runs_before=$(grep -cF 'stmflshr -b' "$work/app.log")
        # Start has the focus back from the box.
        press_in "$(main_window)" space
        wait_for 20 run_started || fail "Start did not start the second run"
    fi
}

# Counts pixels near a colour in a screenshot. Thin text, as Wine draws it,
# is mostly blended with the background: hence the width of "near".
pixels_like() {
    convert "$1" -fuzz 25% -fill black +opaque "$2" -fill white -opaque "$2" \
        -format "%[fx:round(mean*w*h)]" info:
}

# Whether the screen shows at least $2 pixels of colour $1, as it is now.
screen_shows() {
    import -window root "$work/screen.png" 2>/dev/null || return 1
    [ "$(pixels_like "$work/screen.png" "$1")" -ge "$2" ]
}

# Waits for the result box, painted in the colour its outcome is shown in.
wait_for_box() {
    colour=$1
    least=$2
    wait_for 120 shown "$box_title" || fail "no result box appeared"
    wait_for 30 screen_shows "$colour" "$least" \
        || fail "the result box does not show $least pixels of $colour"
    import -window root "$artefacts/after-run.png"
}

# Whether the result box says this, in the texts a Windows message box
# copies with Ctrl+C: its text, its informative text and its details.
box_says() {
    press_in "$(window_named "$box_title")" ctrl+c
    wait_for 30 sh -c "xclip -o -selection clipboard 2>/dev/null | grep -qF '$1'" \
        || fail "the box does not say '$1': $(xclip -o -selection clipboard 2>/dev/null)"
}

close_box() {
    press_in "$(window_named "$box_title")" Return
    wait_for 30 main_window_alone || fail "the result box did not close"
}

wait_for_exit() {
    limit=$1
    wait_for "$limit" sh -c "! kill -0 $app_pid" || return 1
    wait "$app_pid"
    status=$?
    app_pid=""
    return 0
}

close_and_exit() {
    press_in "$(main_window)" Escape
    wait_for_exit 30 || fail "the program did not end after its window closed"
    [ "$status" -eq 0 ] || fail "exit status $status"
}

# Each run chooses the sample image or an empty file; the programmer is the
# stand-in on PATH, or the Windows fake on PATH, told what to print. Either
# can be held mid-run until the file $work/release exists.
sh "$here/../../tools/standin/make-sample-firmware.sh" "$folder/fw 1.bin"
: >"$folder/empty.bin"
# Qt keeps the chooser's state among the user's settings: a fresh one each run.
XDG_CONFIG_HOME=$work/config
export XDG_CONFIG_HOME
in_program_folder=false
[ "${E2E_START_IN_PROGRAM_FOLDER:-}" = 1 ] && in_program_folder=true
# Where the shell looks, the programmer is nowhere in one case.
with_programmer=true
[ "$case_name" = run-no-programmer ] && with_programmer=false
if $windows; then
    mkdir "$work/programmer"
    if $with_programmer; then
        cp "$programmer" "$work/programmer/stmflshr.exe" || fail "no fake programmer at $programmer"
    fi
    WINEPATH=$(printf 'Z:%s' "$work/programmer" | tr / '\\')${WINEPATH:+;$WINEPATH}
    export WINEPATH
    FAKE_PROGRAMMER_RECORD=$(printf 'Z:%s' "$work/calls" | tr / '\\')
    FAKE_PROGRAMMER_OUTPUT="Writing... 100%
Done.
"
    export FAKE_PROGRAMMER_RECORD FAKE_PROGRAMMER_OUTPUT
    # As the chooser hands it over: Windows' drive letter, forward slashes.
    path_of() { printf 'Z:%s/%s' "$folder" "$1"; }
    port=COM1
    hold() { FAKE_PROGRAMMER_HOLD=$(printf 'Z:%s' "$work/release" | tr / '\\'); export FAKE_PROGRAMMER_HOLD; }
    programmer_started() { [ -s "$work/calls" ]; }
    programmer_called() { [ -e "$work/calls" ]; }
else
    $with_programmer && PATH="$programmer:$PATH"
    STMFLSHR_STANDIN_STEP_SECONDS=0.25
    export PATH STMFLSHR_STANDIN_STEP_SECONDS
    path_of() { printf '%s/%s' "$folder" "$1"; }
    port=
    hold() { STMFLSHR_STANDIN_HOLD=$work/release; export STMFLSHR_STANDIN_HOLD; }
    programmer_started() { [ -e "$work/release.started" ]; }
    # The stand-in says what it is on its first line.
    programmer_called() { in_output "stmflshr STAND-IN"; }
fi

case $case_name in
open-close)
    start_app
    import -window root "$artefacts/window.png"
    close_and_exit
    logged "Ending Thread, wait" || fail "no 'Ending Thread, wait' in the output"
    ;;
run-success | run-failure)
    if [ "$case_name" = run-failure ]; then
        FAKE_PROGRAMMER_OUTPUT="Writing... 25%
"
        FAKE_PROGRAMMER_ERROR="Error: no answer from the device
"
        STMFLSHR_STANDIN_FAIL=1
        export FAKE_PROGRAMMER_ERROR STMFLSHR_STANDIN_FAIL
    fi
    start_app
    choose "fw 1.bin"
    start_run_past_wine
    import -window root "$artefacts/during-run.png"
    if [ "$case_name" = run-success ]; then
        wait_for_box "#00FF00" 2000
        [ -n "$(first_line_with Done.)" ] || fail "the programmer's Done. is not in the output"
    else
        wait_for_box "#DC143C" 20
        [ "$(pixels_like "$artefacts/after-run.png" "#00FF00")" -lt 100 ] \
            || fail "a green box after a failed run"
        [ -z "$(first_line_with Done.)" ] || fail "Done. in the output of a failed run"
        programmer_called || fail "the programmer was not called"
        # What it wrote to standard error, in the debug output and, on
        # Windows, read from the box, where its details hold it.
        in_output "Error: no answer from the device" || fail "the programmer's error is not in the output"
        if $windows; then
            box_says "did not report success"
            box_says "Error: no answer from the device"
        fi
    fi
    file=$(path_of "fw 1.bin")
    if $windows; then
        # The line as written, its own line feed included.
        line="stmflshr -b 115200 -e 40 -w \\\"$(wine_escaped "$file")\\\" $port \\n"
        grep -qF "OutputDebugStringA \"$line\\n\"" "$work/app.log" \
            || fail "the command line is not in the output"
        # The file chosen reached the programmer exactly, as UTF-8.
        printf -- '-b\000115200\000-e\00040\000-w\000%s\000%s\000\n' "$file" "$port" >"$work/expected"
        cmp -s "$work/calls" "$work/expected" \
            || fail "the programmer was called with: $(tr '\000' '|' <"$work/calls" 2>/dev/null)"
    else
        # Whatever ports this machine has, the first goes after the file.
        grep -qF "stmflshr -b 115200 -e 40 -w \"$file\" " "$work/app.log" \
            || fail "the command line is not in the output"
    fi
    close_box
    close_and_exit
    ;;
run-refused)
    # An empty file never reaches the programmer; the box says why.
    start_app
    choose empty.bin
    start_run
    wait_for_box "#DC143C" 20
    logged "Refusing to run: the firmware file $(path_of empty.bin) is empty" \
        || fail "no refusal naming the file in the output"
    in_output "stmflshr -b" && fail "a command line was run"
    programmer_called && fail "the programmer was called"
    $windows && box_says "The chosen file is empty."
    close_box
    close_and_exit
    ;;
run-no-programmer)
    # Nowhere the shell would look: refused, and the box says where to put it.
    start_app
    choose "fw 1.bin"
    start_run
    wait_for_box "#DC143C" 20
    # Wine shows a debug line more than once: as an exception too, and
    # Wine 10 in its wide form as well.
    refusal="Refusing to run: the flash programmer is"
    $windows && refusal="OutputDebugStringA \"$refusal"
    refusals=$(grep -cF "$refusal" "$work/app.log")
    [ "$refusals" -eq 1 ] || fail "no one refusal for the missing programmer in the output"
    in_output "stmflshr -b" && fail "a command line was run"
    $windows && box_says "stmflshr.exe was not found"
    close_box
    close_and_exit
    ;;
close-during-run)
    hold
    start_app
    choose "fw 1.bin"
    start_run
    wait_for 60 programmer_started || fail "the programmer did not start"
    import -window root "$artefacts/during-run.png"
    shown "$box_title" && fail "the run ended while the programmer was held"
    press_in "$(main_window)" Escape
    wait_for 30 logged "Ending Thread, wait" || fail "the worker did not say it waits for the run"
    # Wine 10 takes a window off the screen only once its thread reads its
    # messages again, which this one does when the run has ended; Windows
    # and Wine 8 hide it at once.
    $windows || wait_for 30 gone "$title" || fail "the window stayed visible"
    app_alive || fail "the program ended before its run finished"
    import -window root "$artefacts/after-close.png"
    : >"$work/release"
    wait_for_exit 60 || fail "the program did not end after the run"
    [ "$status" -eq 0 ] || fail "exit status $status"
    # The worker said it was waiting before the run's last output arrived.
    ending=$(first_line_with "Ending Thread, wait")
    done_line=$(first_line_with "Done.")
    [ -n "$ending" ] && [ -n "$done_line" ] && [ "$ending" -lt "$done_line" ] \
        || fail "the run did not finish after the window closed"
    ;;
*)
    fail "unknown case"
    ;;
esac

echo "PASS ($case_name)"
