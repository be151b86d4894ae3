#!/usr/bin/env bash
# ardenax-host.exe --install writes a manifest per browser and the user's
# NativeMessagingHosts key that names it, for Chrome, Edge, Chromium and
# Firefox; --uninstall leaves no key and no file behind.
# Usage: host-install.sh WINDOWS_HOST
set -euo pipefail
host=$1
name=pt.ardenax.votingx
keys=("Software\\Google\\Chrome" "Software\\Microsoft\\Edge" "Software\\Chromium" "Software\\Mozilla")
local_app_data=$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')")
folder=$local_app_data/ArdenaX/NativeMessagingHosts
fail() { echo "FAILED: $*"; exit 1; }

wine "$host" --install >/dev/null
for key in "${keys[@]}"; do
    out=$(wine reg query "HKCU\\$key\\NativeMessagingHosts\\$name" /ve | tr -d '\r') ||
        fail "no key below $key"
    manifest=$(sed -n 's/^ *(Default) *REG_SZ *//p' <<<"$out")
    file=$(winepath -u "$manifest")
    [ -f "$file" ] || fail "$key names $manifest, which does not exist"
    grep -q '"path": ".*\\\\ardenax-host.exe"' "$file" || fail "$file does not name the host"
    case $key in
    *Mozilla) grep -q '"allowed_extensions"' "$file" || fail "$file is no Firefox manifest" ;;
    *) grep -q '"allowed_origins"' "$file" || fail "$file is no Chromium-family manifest" ;;
    esac
done

wine "$host" --uninstall >/dev/null
for key in "${keys[@]}"; do
    if wine reg query "HKCU\\$key\\NativeMessagingHosts" >/dev/null 2>&1; then
        fail "$key\\NativeMessagingHosts is still there"
    fi
done
[ ! -e "$folder" ] || fail "$folder is still there: $(find "$folder")"
echo "host-install: OK"
