#!/usr/bin/env bash
# A vote through ArdenaX.dll from a C++ client whose page timer must keep
# firing while the SMV takes 2 s to answer (WaitTest.cpp).
# Usage: slow-vote.sh ARDENAX WINE WAIT_TESTS
set -euo pipefail
ardenax=$1 wine=$2 wait_tests=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
server=
cleanup() {
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=reference-servers.sh
. "$here/reference-servers.sh"
start_reference_servers "$ardenax" --slow-votes 2
"$wine" "$wait_tests"
