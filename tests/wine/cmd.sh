#!/bin/sh
# cmd.exe under Wine, as the worker's shell in tests, in the prefix that
# with-prefix.sh made. Each start is noted, so that a test can tell that a
# run started no shell.
[ -z "${WINE_CMD_STARTS:-}" ] || echo started >>"$WINE_CMD_STARTS"
WINEDEBUG=-all
export WINEDEBUG
exec wine cmd.exe
