#!/bin/sh
# The window as a blind user hears it: the built updater, worked by the
# keyboard alone while Orca, the screen reader, speaks it. Orca's words are
# read from its debug file, which names each "SPEECH OUTPUT"; no sound is
# made. It needs a window manager: without one the focus does not come back
# from the file chooser.
# usage: orca.sh PROGRAM STANDIN_DIR ARTEFACT_DIR
set -u
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
standin=$(cd "$2" && pwd)
artefacts=$3/orca
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
folder="$work/José fw"
mkdir -p "$folder" "$artefacts"
title="Solvane Firmware Updater for Kestrix"
. "$here/session.sh"
app_pid=""
wm_pid=""
orca_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    # Orca ends on SIGTERM only once it is idle, if at all.
    [ -n "$orca_pid" ] && kill -9 "$orca_pid" 2>/dev/null && wait "$orca_pid" 2>/dev/null
    # Found by its settings: the pid file it writes at times names the
    # process that forked it.
    pkill -f -- "--config-dir $work/speechd" 2>/dev/null
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    stop_session
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL (orca): $*"
    cp "$work/orca.log" "$work/orca.err" "$artefacts/" 2>/dev/null
    [ -n "${DISPLAY:-}" ] && import -window root "$artefacts/on-failure.png" 2>/dev/null
    echo "--- Orca said:"
    spoken
    [ -f "$work/app.log" ] && { echo "--- program output:"; cat "$work/app.log"; }
    [ -f "$work/orca.err" ] && { echo "--- Orca's errors:"; tail -n 20 "$work/orca.err"; }
    exit 1
}

# Everything Orca has spoken, an utterance a line. In the log, an utterance
# of several lines goes on, indented, on the lines that follow.
spoken() {
    awk -v q="'" '
        function closed() {
            return text ~ (q " *[{]" q "established" q ".*[}]$") || text ~ (q "$")
        }
        function flush() {
            if (!open)
                return
            sub(q " *[{]" q "established" q ".*[}]$", "", text)
            sub(q "$", "", text)
            print text
            open = 0
        }
        / SPEECH OUTPUT: / {
            flush()
            sub("^.* SPEECH OUTPUT: " q, "")
            text = $0
            open = 1
            if (closed())
                flush()
            next
        }
        /^[0-9][0-9]:/ { flush(); next }
        open {
            sub("^ +", "")
            text = text " " $0
            if (closed())
                flush()
        }
        END { flush() }
    ' "$work/orca.log" 2>/dev/null
}

command -v orca >/dev/null 2>&1 || fail "no orca (package orca)"
command -v jwm >/dev/null 2>&1 || fail "no jwm (package jwm)"
command -v speech-dispatcher >/dev/null 2>&1 || fail "no speech-dispatcher (package speech-dispatcher)"
# Orca ends any other of the same user, and would take the other's place.
# One that is ending (another test's) is waited for.
wait_for 30 sh -c "! pgrep -u $(id -u) -x orca" \
    || fail "another Orca of this user is running: $(pgrep -a -u "$(id -u)" -x orca)"

start_session
jwm >"$work/jwm.log" 2>&1 &
wm_pid=$!

make_samples "$program"
standin_on_path "$standin"
# A settings folder of its own, so that Orca starts as it does the first
# time, with nothing the machine's user has set.
HOME=$work/home
XDG_CONFIG_HOME=$work/config
XDG_DATA_HOME=$work/data
KESTRIX_A11Y_PORTS="ttyS0 ttyUSB0"
XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_RUNTIME_DIR KESTRIX_A11Y_PORTS

# Orca logs what it speaks only where it has a speech server to speak
# through (Orca 48; 43 logs it regardless): speech-dispatcher, with its
# dummy module, through libao's null driver, so that no sound is made and
# no synthesizer is needed. Its socket goes where Orca looks for it, in
# XDG_RUNTIME_DIR.
mkdir "$work/speechd"
cat >"$work/speechd/speechd.conf" <<CONF
AudioOutputMethod "libao"
AddModule "dummy" "sd_dummy" ""
DefaultModule dummy
CONF
echo default_driver=null >"$HOME/.libao"
# It also starts the espeak-ng module it falls back on, which is not
# installed; now and then it writes to that module after the module has
# failed, and a SIGPIPE would end it before it makes its socket. Ignored,
# the write only fails.
(trap '' PIPE && exec speech-dispatcher --run-daemon --timeout 0 --config-dir "$work/speechd" \
    --log-dir "$work") >"$work/speechd.out" 2>&1
speech_ready() { [ -S "$XDG_RUNTIME_DIR/speech-dispatcher/speechd.sock" ]; }
wait_for 60 speech_ready \
    || fail "speech-dispatcher did not start: $(cat "$work/speechd.out" "$work/speech-dispatcher.log")"

/usr/bin/python3 "$here/orca_line_buffered.py" --debug-file "$work/orca.log" \
    >"$work/orca.out" 2>"$work/orca.err" &
orca_pid=$!
# A blind user's screen reader runs before the updater is opened. Started
# at once, Orca sometimes found the window before it had asked for events,
# and then heard none of the window's events.
orca_ready() {
    grep -qE "ORCA: Starting (Atspi main event loop|ATSPI registry)" "$work/orca.log"
}
wait_for 60 orca_ready || fail "Orca did not start"
(cd "$folder" && exec "$program") >"$work/app.log" 2>&1 &
app_pid=$!

# What Orca says is read from the mark on: the words of one step.
mark=0
step="the window opening"
next_step() {
    mark=$(spoken | wc -l)
    step=$1
}
said_since_mark() {
    spoken | tail -n +"$((mark + 1))"
}
says() {
    said_since_mark | grep -qF -- "$1"
}
# Waits for each text to be said in this step, in any utterance.
hear() {
    for text in "$@"; do
        wait_for 60 says "$text" || fail "Orca did not say '$text' for $step"
    done
}
# A button said as the focus reaches it ("Start push button." with Orca 43,
# "Start button." with Orca 48), not a word of the procedure.
says_button() {
    said_since_mark | grep -qE "(^| )$1 (push )?button"
}
hear_button() {
    wait_for 60 says_button "$1" || fail "Orca did not say the button '$1' for $step"
}
# Said of a box as it opens, not in the news of the status that comes with it.
says_in_box() {
    said_since_mark | grep -vF "Status:" | grep -qF -- "$1"
}
hear_box() {
    for text in "$@"; do
        wait_for 60 says_in_box "$text" || fail "Orca did not say '$text' of the box for $step"
    done
}
# Said once only: checked once the step's words are all in.
hear_once() {
    hear "$1"
    count=$(said_since_mark | grep -cF -- "$1")
    [ "$count" -eq 1 ] || fail "Orca said '$1' $count times for $step"
}
keys() {
    xdotool key --delay 150 "$@"
}
window_named() {
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}
shown() { [ -n "$(window_named "$1")" ]; }
gone() { ! shown "$1"; }

# A file chosen through the chooser, from the keyboard: its name typed in
# the field that has the focus as it opens, in the folder it opens in.
choose() {
    next_step "Browse"
    keys shift+Tab shift+Tab
    hear_button Browse
    next_step "the file chooser"
    keys space
    wait_for 60 shown "Select Firmware File" || fail "the file chooser did not open"
    hear "Select Firmware File" "File name:"
    next_step "the file chooser closing"
    xdotool type --delay 50 "$1"
    keys Return
    wait_for 60 gone "Select Firmware File" || fail "the file chooser did not close"
    next_step "Start, with $1 chosen"
    for _ in 1 2 3 4 5; do
        keys Tab
        wait_for 10 says_button Start && break
    done
    hear_button Start
    keys space
}

# Closed from the keyboard, it ends as usual.
close_and_end() {
    keys Escape
    wait_for 60 sh -c "! kill -0 $app_pid" || fail "the program did not end after its window closed"
    wait "$app_pid"
    status=$?
    app_pid=""
    [ "$status" -eq 0 ] || fail "exit status $status"
    echo "--- Orca said:"
    spoken
    echo "PASS (orca)"
    exit 0
}

wait_for 60 shown "$title" || fail "the window did not open"
hear "$title"

next_step "Tab to Browse"
keys Tab
hear_button Browse
next_step "Tab to the port list"
keys Tab
hear "Serial port:" ttyS0 "combo box"
# Orca 43 says nothing of the change unless the updater tells it, which it
# does before Qt 6.5; Orca 48 then says the list again as well, and the new
# port is heard twice there.
orca_major=$(orca --version 2>/dev/null | head -n 1 | grep -o '[0-9][0-9]*' | head -n 1)
orca_major=${orca_major:-0}
qt5=false
ldd "$program" | grep -q libQt5Core && qt5=true
hear_port() {
    if [ "$orca_major" -ge 48 ] && $qt5; then
        hear "$1"
    else
        hear_once "$1"
    fi
}
next_step "Down in the port list"
keys Down
hear_port ttyUSB0
next_step "Up in the port list"
keys Up
hear_port ttyS0
next_step "Tab to Start"
keys Tab
hear_button Start
next_step "Start with no file chosen"
keys space
hear_once "Status: Please select the update file first!"
says "Programming procedure" && fail "Orca read the whole procedure for $step"

# A run, held until the test has heard it is in progress.
choose "fw 1.bin"
hear_once "Programming in progress"
hear_once "Status: Programming started"
next_step "the end of the run"
: >"$work/release"
hear_box alert "Programming SUCCESSFUL" "was written to the Kestrix on ttyS0"
hear_button OK
next_step "OK in the result box"
keys Return
hear_button Start

# A refused file: the box says why.
choose empty.bin
hear_box alert "Programming FAILED!!!" "The chosen file is empty."
hear_button OK
next_step "OK in the failure box"
keys Return
hear_button Start

close_and_end
