#!/usr/bin/env bash
# Installs those of the Debian packages named on the command line that are
# not installed yet, non-interactively, as root or through sudo.
set -euo pipefail

# The test stages install what they need side by side: one apt at a time, and
# each looks for what is missing only once it holds the lock.
exec 9>"${TMPDIR:-/tmp}/ardenax-apt-install.lock"
flock 9

missing=()
for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -gt 0 ] || exit 0
set -- "${missing[@]}"

echo "apt-install: installing $*"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "$@" </dev/null
