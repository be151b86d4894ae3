#!/usr/bin/env bash
# Signs the Windows program or DLL FILE in place: an Authenticode signature
# (SHA-256) made with osslsigncode from CERT (PEM: the certificate, then its
# chain) and KEY, timestamped by the RFC 3161 server TIMESTAMP_URL when one
# is given. The Windows build runs it on the DLLs and the host, makensis on
# the installer and on its uninstaller.
# Usage: sign-windows.sh FILE CERT KEY [TIMESTAMP_URL]
set -euo pipefail
file=$1 cert=$2 key=$3 timestamp_url=${4:-}
timestamp=()
[ -z "$timestamp_url" ] || timestamp=(-ts "$timestamp_url")
# Beside the file, so that the signed copy replaces it by a rename;
# osslsigncode writes only a new file.
work=$(mktemp -d "$file.XXXXXX")
trap 'rm -rf "$work"' EXIT
signed=$work/signed
log=$(osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n ArdenaX "${timestamp[@]}" \
    -in "$file" -out "$signed" 2>&1) || { echo "$log" >&2; exit 1; }
chmod --reference="$file" "$signed"
mv "$signed" "$file"
