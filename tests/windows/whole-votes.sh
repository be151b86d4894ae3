#!/usr/bin/env bash
# Whole votes against the Linux reference servers on loopback, each opened
# again from the ballot box with `ardenax open-vote`:
#   1. JScript under cscript through ArdenaX.dll (registered per machine:
#      Wine's COM activation does not see per-user classes);
#   2. ardenax-host.exe --jsonl under Wine.
# Usage: whole-votes.sh ARDENAX DLL WINDOWS_HOST
set -euo pipefail
ardenax=$1 dll=$2 windows_host=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
server=
cleanup() {
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    wine regsvr32 /s /u "Z:$dll" || true
    rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=reference-servers.sh
. "$here/reference-servers.sh"
start_reference_servers "$ardenax"

fail() { echo "FAILED: $*"; exit 1; }
check_opened() {  # the voter's stored vote, opened with the election's key, names $2
    sqlite3 "$work/election.db" "SELECT vote FROM ballot_box WHERE login = '$1'" >"$work/$1.vote"
    local out
    out=$("$ardenax" open-vote --db "$work/election.db" "$work/$1.vote") ||
        fail "the vote of $1 does not open"
    grep -q "$2" <<<"$out" || fail "the vote of $1 lacks $2: $out"
}

wine regsvr32 /s "Z:$dll"
out=$(cd "$here" && wine cscript //nologo vote.js "utilizador=eleitor1###senha=demo1" 2468 \
    BOT_Presidente Presidente "Maria Pereira" BOT_Referendo Referendo Sim)
echo "$out"
[ "$(tail -n1 <<<"$out" | tr -d '\r')" = "vote: OK" ] || fail "the script vote"
# The script's end released the control: the voter's key went with the page.
[ -z "$(ls -A "$work/stores/REQUEST")" ] || fail "the voter's key outlived the script"
check_opened eleitor1 "Maria Pereira"

replies=$(printf '%s\n' \
    '{"id":1,"method":"obtainToken","args":["utilizador=eleitor2###senha=demo2"]}' \
    '{"id":2,"method":"setChoice","args":["BOT_Presidente","Presidente","Rita Fonseca"]}' \
    '{"id":3,"method":"setPINHash","args":["1357"]}' '{"id":4,"method":"getConfirmationText"}' |
    wine "$windows_host" --jsonl --auto-close-message-boxes)
grep -q '^{"id":4,"result":"Tem a certeza' <<<"$replies" || fail "the host vote: $replies"
check_opened eleitor2 "Rita Fonseca"
echo "whole-votes: OK"
