#!/usr/bin/env bash
# Installs what the browser tests need: Debian's Chromium and the npm packages
# of package-lock.json. Idempotent and non-interactive: each is installed only
# when missing (or when the lock file is newer than node_modules).
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
[ -x /usr/bin/chromium ] || missing+=(chromium)
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
scripts/apt-install.sh "${missing[@]}"

if [ ! -d node_modules/playwright-core ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
    echo "install-browser-deps: npm ci"
    # playwright-core downloads no browser; the tests use /usr/bin/chromium.
    npm ci --no-audit --no-fund --loglevel=error </dev/null
fi
