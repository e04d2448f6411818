#!/bin/sh
# Runs one test program with a Wine prefix of its own, made once in a
# temporary folder and removed afterwards, so that each cmd.exe the program
# starts costs a fraction of a second rather than a new prefix.
# usage: with-prefix.sh PROGRAM [ARGUMENT...]
set -u
work=$(mktemp -d)
WINEPREFIX=$work/prefix
WINEDEBUG=-all
# No offer to install Mono or Gecko, which no test needs.
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
cleanup() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

if ! wineboot -i >"$work/wineboot.log" 2>&1; then
    echo "FAIL (wine): could not make a Wine prefix"
    cat "$work/wineboot.log"
    exit 1
fi
"$@"
