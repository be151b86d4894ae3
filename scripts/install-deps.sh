#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing ArdenaX needs.
# Idempotent and non-interactive: packages already present are left alone, and
# apt-get runs only when something is missing.
set -euo pipefail

packages=(
    g++ clang libclang-rt-14-dev make cmake ninja-build pkg-config ccache openssl clang-format
    clang-tidy
    libssl-dev libcurl4-openssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libcpp-httplib-dev libsqlite3-dev libpq-dev postgresql libpugixml-dev zlib1g-dev
    help2man lintian
    python3 python3-cryptography
)

"$(dirname "$0")/apt-install.sh" "${packages[@]}"
