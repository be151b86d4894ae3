#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing ArdenaX needs.
# Idempotent and non-interactive: packages already present are left alone, and
# apt-get runs only when something is missing.
set -euo pipefail

packages=(
    g++ make cmake ninja-build pkg-config ccache openssl
    libssl-dev libcurl4-openssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libcpp-httplib-dev libsqlite3-dev libpugixml-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
