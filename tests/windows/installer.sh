#!/usr/bin/env bash
# The installer in a Wine prefix of its own, as a voter without
# administrator rights: /S installs the files, the per-user COM registration
# and, through ardenax-host.exe --install, a manifest and a native-messaging
# key for Chrome, Edge, Chromium and Firefox; the silent uninstaller then
# leaves the user's registry and files as they were before.
# Usage: installer.sh SETUP_EXE PREFIX
set -euo pipefail
setup=$1
export WINEPREFIX=$2
fail() { echo "FAILED: $*"; exit 1; }
rm -rf "$WINEPREFIX"
# Its own wineserver, not kept alive: `wineserver -w` then waits for every
# process of the prefix, the uninstaller's copy of itself among them.
wineboot -i >"$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log"; exit 1; }
wineserver -w
query() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"; wineserver -k 2>/dev/null || true' EXIT
# The user's files and keys, as snapshot $1.
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find users ! -path '*/Temp*' | sort) >"$tmp/$1.files"
    wine reg export HKCU "$tmp/$1.reg" /y >/dev/null
}
# The keys of snapshot $1.
keys() {
    # What Wine itself records while programs run is not the installer's.
    iconv -f UTF-16LE -t UTF-8 "$tmp/$1.reg" | tr -d '\r' |
        awk '/^\[/{skip = ($0 ~ /Console|Explorer|MuiCache|Wine\\|ShellNoRoam|Software\\Microsoft\\Windows NT|RecentDocs/)} !skip'
}
# Asked before the snapshot: cmd records its console settings in HKCU.
local_app_data=$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')")
dir=$local_app_data/Programs/ArdenaX
wineserver -w

check_installed() {
    for file in ArdenaX.dll ardenax-host.exe uninstall.exe extension/manifest.json; do
        [ -f "$dir/$file" ] || fail "$file was not installed"
    done
    query 'HKCU\Software\Classes\CLSID\{3D1D35D9-5FAD-4879-82E2-CDF8F4F5AE18}\InprocServer32' /ve |
        grep -q 'ArdenaX\\ArdenaX.dll' || fail "the class is not registered for the user"
    if query 'HKLM\Software\Classes\CLSID\{3D1D35D9-5FAD-4879-82E2-CDF8F4F5AE18}' >/dev/null; then
        fail "a per-user installation registered the class per machine"
    fi
    # ardenax-host.exe --install: each browser's key names a manifest of its
    # kind for the host; the uninstaller's --uninstall is in the comparison.
    for key in 'Google\Chrome' 'Microsoft\Edge' 'Chromium' 'Mozilla'; do
        manifest=$(query "HKCU\\Software\\$key\\NativeMessagingHosts\\pt.ardenax.votingx" /ve |
            sed -n 's/^ *(Default) *REG_SZ *//p') || fail "no key below $key"
        file=$(winepath -u "$manifest")
        [ -f "$file" ] || fail "$key names $manifest, which does not exist"
        grep -q '"path": ".*\\\\ardenax-host.exe"' "$file" || fail "$file does not name the host"
        kind='"allowed_origins"'
        [ "$key" != Mozilla ] || kind='"allowed_extensions"'
        grep -q "$kind" "$file" || fail "$file lacks $kind"
    done
    query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ArdenaX' /v DisplayVersion |
        grep -q '2.1.0.2239' || fail "no uninstall entry"
}

# Installs and uninstalls.
round() {
    snapshot before
    wine "$setup" /S
    wineserver -w
    check_installed
    wine "$dir/uninstall.exe" /S
    wineserver -w
    snapshot after
    diff "$tmp/before.files" "$tmp/after.files" || fail "the uninstaller left files behind"
    diff <(keys before) <(keys after) || fail "the uninstaller left keys behind"
}

round
# The folder for programs that the user already has stays.
mkdir "${dir%/*}"
round
echo "installer: OK"
