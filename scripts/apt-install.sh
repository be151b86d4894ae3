#!/usr/bin/env bash
# Installs the Debian packages named on the command line, non-interactively,
# as root or through sudo. Callers pass only what is missing.
set -euo pipefail
[ $# -gt 0 ] || exit 0

echo "apt-install: installing $*"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$@" </dev/null
