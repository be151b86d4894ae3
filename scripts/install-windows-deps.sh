#!/usr/bin/env bash
# Installs the Debian 12 packages that cross-building ArdenaX for Windows and
# testing it under Wine need: the 64-bit and 32-bit mingw-w64 toolchains with
# widl, Wine for both bitnesses (wine64, and wine32 from Debian's i386
# architecture, which this adds when missing) with the IDL files of its
# development package, NSIS, osslsigncode for the Authenticode signatures,
# and Xvfb for a real message box. Idempotent: apt-get runs only when
# something is missing.
set -euo pipefail

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    echo "install-windows-deps: adding the i386 architecture"
    # apt-install.sh updates the package lists, as wine32:i386 is missing then.
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

packages=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools
    wine wine64 wine32:i386 libwine-dev nsis osslsigncode xvfb xauth
)

"$(dirname "$0")/apt-install.sh" "${packages[@]}"
