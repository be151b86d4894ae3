#!/usr/bin/env bash
# Whole votes against the Linux reference servers on loopback, each exported
# from the ballot box and opened with the election's key (`ardenax open-vote`):
#   1. JScript under the script host of the DLL's bitness (ARCHITECTURE, as
#      the process reports it: AMD64 or x86), started by that bitness's Wine
#      loader, through ArdenaX.dll (registered per machine: Wine's COM
#      activation does not see per-user classes), its receipt then checked on
#      the board;
#   2. given WINDOWS_HOST: ardenax-host.exe --jsonl under Wine.
# Usage: whole-votes.sh ARDENAX WINE ARCHITECTURE DLL [WINDOWS_HOST]
set -euo pipefail
ardenax=$1 wine=$2 architecture=$3 dll=$4 windows_host=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
server=
cleanup() {
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    "$wine" regsvr32 /s /u "Z:$dll" || true
    rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=reference-servers.sh
. "$here/reference-servers.sh"
start_reference_servers "$ardenax"

fail() { echo "FAILED: $*"; exit 1; }
check_opened() {  # the last stored vote, opened with the election's key, names $1
    rm -rf "$work/audit"
    "$ardenax" export --db "$work/election.db" --out "$work/audit" >/dev/null
    local last out
    last=$(find "$work/audit/votes" -name '*.vote' | sort -V | tail -n1)
    out=$("$ardenax" open-vote --election-key "$work/election-key.pem" "$last") ||
        fail "the last vote does not open"
    grep -q "$1" <<<"$out" || fail "the last vote lacks $1: $out"
}

"$wine" regsvr32 /s "Z:$dll"
# Its exit code counts the failures, which its last line reports.
out=$(cd "$here" && "$wine" cscript //nologo vote.js "utilizador=eleitor1###senha=demo1" 2468 \
    BOT_Presidente Presidente "Maria Pereira" BOT_Referendo Referendo Sim) || true
echo "$out"
[ "$(tail -n1 <<<"$out" | tr -d '\r')" = "vote: OK" ] || fail "the script vote"
grep -qx "process $architecture" <<<"$(tr -d '\r' <<<"$out")" || fail "the script host is not $architecture"
# The receipt the script got is on the board of the SMV it voted through (the
# board found from ARDENAX_SMV_URL, as a voter's verifier finds it).
receipt=$(tr -d '\r' <<<"$out" | sed -n 's/^receipt //p')
XDG_DATA_HOME="$work/data" "$ardenax" verify-receipt "$receipt" --ca-file "$work/ca.pem" ||
    fail "the script's receipt is not on the board"
# The script's end released the control: the voter's key went with the page.
[ -z "$(ls -A "$work/stores/REQUEST")" ] || fail "the voter's key outlived the script"
check_opened "Maria Pereira"

if [ -n "$windows_host" ]; then
    replies=$(printf '%s\n' \
        '{"id":1,"method":"obtainToken","args":["utilizador=eleitor2###senha=demo2"]}' \
        '{"id":2,"method":"setChoice","args":["BOT_Presidente","Presidente","Rita Fonseca"]}' \
        '{"id":3,"method":"setPINHash","args":["1357"]}' '{"id":4,"method":"getConfirmationText"}' |
        "$wine" "$windows_host" --jsonl --auto-close-message-boxes)
    grep -q '^{"id":4,"kind":"ok","receipt":"[A-Za-z0-9_-]\{43\}","result":"Tem a certeza' <<<"$replies" ||
        fail "the host vote: $replies"
    check_opened "Rita Fonseca"
fi
echo "whole-votes: OK"
