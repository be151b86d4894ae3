#!/usr/bin/env bash
# Makes the fresh Wine prefix that the Windows tests share ($WINEPREFIX, under
# the build tree), with a wineserver that stays up until the wine_stop test,
# so that each program starts without bringing the prefix up again.
# Usage: wine-prefix.sh WINE64
set -euo pipefail
wine64=$1
: "${WINEPREFIX:?the test preset sets WINEPREFIX}"
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# The server and the services that wineboot starts outlive this script: they
# must not hold the test runner's output pipe open.
log=$WINEPREFIX.log
wineserver -p </dev/null >"$log" 2>&1
wineboot -i </dev/null >>"$log" 2>&1 || { cat "$log"; exit 1; }
# Windows keeps 32-bit programs' per-user classes apart (below Wow6432Node);
# Wine 8 does only once that key exists.
"$wine64" reg add 'HKCU\Software\Classes\Wow6432Node' /f </dev/null >>"$log" 2>&1
