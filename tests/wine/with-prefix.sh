#!/bin/sh
# Runs a command with a Wine prefix of its own, made in a temporary folder and
# removed afterwards, so that each Windows program a test starts (cmd.exe and
# the programmer among them) costs a fraction of a second rather than a new
# prefix. No Mono or Gecko is offered; Wine says nothing on its own channels.
# usage: with-prefix.sh COMMAND [ARGUMENT...]      (COMMAND: wine, or a script)
#   KESTRIX_WINE_DLL_PATH: ':'-separated folders with the DLLs the program
#     needs (Qt's, MinGW's runtime), put on its PATH
#   KESTRIX_WINE_QT_PLUGIN_PATH: the folder with Qt's plugins
set -u
prefix_dir=$(mktemp -d)
WINEPREFIX=$prefix_dir/prefix
WINEDEBUG=${WINEDEBUG:--all}
WINEDLLOVERRIDES="mscoree,mshtml="
# Wine reads Unix file names in the locale's character set ("José" is not
# José without UTF-8) and takes its code pages from the locale: C.UTF-8 gives
# every machine the same, OEM 437 and ANSI 1252.
LC_ALL=C.UTF-8
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES LC_ALL

# This machine's folders as a Windows program names them: drive Z: is /.
windows_path() {
    printf 'Z:%s' "$1" | tr / '\\'
}
if [ -n "${KESTRIX_WINE_DLL_PATH:-}" ]; then
    WINEPATH=$(
        IFS=:
        for dir in $KESTRIX_WINE_DLL_PATH; do printf '%s;' "$(windows_path "$dir")"; done
    )
    export WINEPATH
fi
if [ -n "${KESTRIX_WINE_QT_PLUGIN_PATH:-}" ]; then
    QT_PLUGIN_PATH=$(windows_path "$KESTRIX_WINE_QT_PLUGIN_PATH")
    export QT_PLUGIN_PATH
fi
# Wine keeps QT_* variables from Windows programs unless they come with a
# WINE prefix, as it does PATH (QT_QPA_PLATFORM=offscreen among them).
for name in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
    eval "WINE$name=\$$name"
    export "WINE$name"
done

cleanup() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    rm -rf "$prefix_dir"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

if ! WINEDEBUG=-all wineboot -i >"$prefix_dir/wineboot.log" 2>&1; then
    echo "FAIL (wine): could not make a Wine prefix"
    cat "$prefix_dir/wineboot.log"
    exit 1
fi
"$@"
