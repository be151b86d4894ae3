#!/usr/bin/env bash
# Makes the fresh Wine prefix that the Windows tests share ($WINEPREFIX, under
# the build tree), with a wineserver that stays up until the wine_stop test,
# so that each program starts without bringing the prefix up again.
set -euo pipefail
: "${WINEPREFIX:?the test preset sets WINEPREFIX}"
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# The server and the services that wineboot starts outlive this script: they
# must not hold the test runner's output pipe open.
log=$WINEPREFIX.log
wineserver -p </dev/null >"$log" 2>&1
wineboot -i </dev/null >>"$log" 2>&1 || { cat "$log"; exit 1; }
