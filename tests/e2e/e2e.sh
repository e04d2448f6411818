#!/bin/sh
# Drives the built updater in a real window, under an Xvfb of its own: the
# Linux program, or the Windows one (PROGRAM ending in .exe) under Wine, in
# the Wine prefix the caller made (tests/wine/with-prefix.sh).
# usage: e2e.sh CASE PROGRAM PROGRAMMER ARTEFACT_DIR [DATA_DIR]
#   CASE: open-close | run-success | run-failure | close-during-run
#   PROGRAMMER: the folder of the stand-in programmer; for Windows, the fake
#     programmer (.exe), which is put in a folder on PATH
#   DATA_DIR: where load.gif is, if not beside PROGRAM
# With E2E_START_IN_PROGRAM_FOLDER=1 the program starts in its own folder, as
# an installed program's shortcut starts it, load.gif already there; the file
# is then chosen by its full path.
set -u

case_name=$1
program=$2
programmer=$3
artefacts=$4/$case_name
data_dir=${5:-$(dirname "$program")}
title="Solvane Firmware Updater for Kestrix"
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

. "$(dirname "$0")/display.sh"
if $windows; then
    start_display wine
else
    start_display
fi

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
    wait_for 30 has_main_window || fail "the window did not open"
}

# Chooses a file of the folder the program started in through the real
# chooser, by its name alone: the chooser must open there. Then starts a run.
choose_and_start() {
    name=$1
    if $in_program_folder; then
        # Wine's chooser takes a typed path only with Windows' separators.
        name=$(path_of "$name")
        $windows && name=$(printf '%s' "$name" | tr / '\\')
    fi
    main=$(main_window)
    # Focus starts in the file field; Tab reaches Browse.
    press_in "$main" Tab space
    wait_for 10 has_second_window || fail "the file chooser did not open"
    chooser=$(second_window)
    [ "$(xdotool getwindowname "$chooser")" = "Select Firmware File" ] \
        || fail "the chooser is titled '$(xdotool getwindowname "$chooser")'"
    import -window root "$artefacts/chooser.png"
    press_in "$chooser" ctrl+a
    xdotool type --delay 15 "$name"
    xdotool key Return
    wait_for 10 sh -c "! xdotool search --onlyvisible --name 'Select Firmware File' | grep -q ." \
        || fail "the file chooser did not close"
    # Back on Browse: Tab to the port list, Tab to Start.
    press_in "$main" Tab Tab space
}

# Counts pixels near a colour in a screenshot. Thin text, as Wine draws it,
# is mostly blended with the background: hence the width of "near".
pixels_like() {
    convert "$1" -fuzz 25% -fill black +opaque "$2" -fill white -opaque "$2" \
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

# The programmer: the stand-in on PATH, which fails on an empty file; or the
# Windows fake on PATH, told what to print and how long to take.
printf 'not a real firmware image\n' >"$folder/fw 1.bin"
: >"$folder/empty.bin"
in_program_folder=false
[ "${E2E_START_IN_PROGRAM_FOLDER:-}" = 1 ] && in_program_folder=true
if $windows; then
    mkdir "$work/programmer"
    cp "$programmer" "$work/programmer/stmflshr.exe" || fail "no fake programmer at $programmer"
    WINEPATH=$(printf 'Z:%s' "$work/programmer" | tr / '\\')${WINEPATH:+;$WINEPATH}
    export WINEPATH
    FAKE_PROGRAMMER_RECORD=$(printf 'Z:%s' "$work/calls" | tr / '\\')
    FAKE_PROGRAMMER_OUTPUT="Writing... 100%
Done.
"
    FAKE_PROGRAMMER_SLEEP_MS=1500
    export FAKE_PROGRAMMER_RECORD FAKE_PROGRAMMER_OUTPUT FAKE_PROGRAMMER_SLEEP_MS
    # As the chooser hands it over: Windows' drive letter, forward slashes.
    path_of() { printf 'Z:%s/%s' "$folder" "$1"; }
    port=COM1
else
    PATH="$programmer:$PATH"
    STMFLSHR_STANDIN_STEP_SECONDS=0.25
    export PATH STMFLSHR_STANDIN_STEP_SECONDS
    path_of() { printf '%s/%s' "$folder" "$1"; }
    port=
fi

case $case_name in
open-close)
    start_app
    name=$(xdotool getwindowname "$(main_window)")
    [ "$name" = "$title" ] || fail "title is '$name'"
    import -window root "$artefacts/window.png"
    press_in "$(main_window)" Escape
    wait_for_exit 10 || fail "the program did not end at once after its window closed"
    [ "$status" -eq 0 ] || fail "exit status $status"
    logged "Ending Thread, wait" || fail "no 'Ending Thread, wait' in the output"
    ;;
run-success | run-failure)
    chosen="fw 1.bin"
    if [ "$case_name" = run-failure ]; then
        # The stand-in fails on an empty file; the fake is told to fail.
        if $windows; then
            FAKE_PROGRAMMER_OUTPUT="Error: no answer from the device
"
        else
            chosen=empty.bin
        fi
    fi
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
        [ -n "$(first_line_with Done.)" ] || fail "the programmer's Done. is not in the output"
    else
        [ "$green" -lt 100 ] || fail "a green box after a failed run ($green green pixels)"
        [ "$crimson" -gt 20 ] || fail "no crimson failure text ($crimson pixels)"
        [ -z "$(first_line_with Done.)" ] || fail "Done. in the output of a failed run"
    fi
    file=$(path_of "$chosen")
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
    press_in "$(second_window)" Return
    wait_for 5 sh -c "! xdotool search --onlyvisible --name '^kestrix-updater\$' | grep -q ." \
        || fail "the result box did not close"
    press_in "$(main_window)" Escape
    wait_for_exit 10 || fail "the program did not end after its window closed"
    [ "$status" -eq 0 ] || fail "exit status $status"
    ;;
close-during-run)
    STMFLSHR_STANDIN_STEP_SECONDS=1
    FAKE_PROGRAMMER_SLEEP_MS=5000
    start_app
    choose_and_start "fw 1.bin"
    sleep 2.5
    import -window root "$artefacts/during-run.png"
    has_second_window && fail "the run ended before the window was closed"
    press_in "$(main_window)" Escape
    wait_for 3 sh -c "! xdotool search --onlyvisible --name '^$title\$' | grep -q ." \
        || fail "the window stayed visible"
    app_alive || fail "the program ended before its run finished"
    import -window root "$artefacts/after-close.png"
    wait_for_exit 30 || fail "the program did not end after the run"
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
