#!/usr/bin/env bash
# Installs the Debian 12 packages that cross-building ArdenaX for Windows and
# testing it under Wine need: the 64-bit mingw-w64 toolchain with widl, Wine
# (wine64) with the IDL files of its development package, NSIS, Xvfb for a
# real message box, and sqlite3 for reading the reference servers' ballot
# box. Idempotent: apt-get runs only when something is missing.
set -euo pipefail

packages=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
    wine wine64 libwine-dev nsis xvfb xauth sqlite3
)

"$(dirname "$0")/apt-install.sh" "${packages[@]}"
