#!/usr/bin/env bash
# Whole votes against the Linux reference servers on loopback, each opened
# again from the ballot box with `ardenax open-vote`:
#   1. JScript under cscript through ArdenaX.dll (registered per machine:
#      Wine's COM activation does not see per-user classes);
#   2. ardenax-host.exe --jsonl under Wine;
#   3. the Linux ardenax-host --jsonl, for the time beside the others.
# Usage: whole-votes.sh ARDENAX LINUX_HOST DLL WINDOWS_HOST
set -euo pipefail
ardenax=$1 linux_host=$2 dll=$3 windows_host=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
server=
cleanup() {
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    wine regsvr32 /s /u "Z:$dll" || true
    rm -rf "$work"
}
trap cleanup EXIT
winpath() { echo "Z:$1" | tr / '\\'; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# The server says "Ready." once it listens; its port is in the lines before.
mkfifo "$work/serve.out"
"$ardenax" serve --port 0 --db "$work/election.db" --ca-file "$work/ca.pem" \
    >"$work/serve.out" &
server=$!
exec 3<"$work/serve.out"
while read -r line <&3; do
    case $line in
    Promotor:*) promotor=${line#Promotor: } ;;
    SMV:*) smv=${line#SMV: } ;;
    Ready.) break ;;
    esac
done
export ARDENAX_PROMOTOR_URL=$promotor ARDENAX_SMV_URL=$smv
export ARDENAX_CA_FILE
ARDENAX_CA_FILE=$(winpath "$work/ca.pem")
export ARDENAX_STORE_DIR
ARDENAX_STORE_DIR=$(winpath "$work/stores")

opened() {  # the voter's stored vote, opened with the election's key
    sqlite3 "$work/election.db" "SELECT vote FROM ballot_box WHERE login = '$1'" >"$work/$1.vote"
    "$ardenax" open-vote --db "$work/election.db" "$work/$1.vote"
}
check_opened() {
    local out
    out=$(opened "$1") || { echo "FAILED: the vote of $1 does not open"; exit 1; }
    grep -q "$2" <<<"$out" || { echo "FAILED: the vote of $1 lacks $2"; echo "$out"; exit 1; }
}

wine regsvr32 /s "Z:$dll"
start=$(now_ms)
out=$(cd "$here" && wine cscript //nologo vote.js "utilizador=eleitor1###senha=demo1" 2468 \
    BOT_Presidente Presidente "Maria Pereira" BOT_Referendo Referendo Sim)
dll_ms=$(($(now_ms) - start))
echo "$out"
[ "$(tail -n1 <<<"$out" | tr -d '\r')" = "vote: OK" ] || { echo "FAILED: the script vote"; exit 1; }
check_opened eleitor1 "Maria Pereira"

requests() {  # a whole vote as JSON lines
    printf '%s\n' \
        "{\"id\":1,\"method\":\"obtainToken\",\"args\":[\"utilizador=$1###senha=$2\"]}" \
        '{"id":2,"method":"setChoice","args":["BOT_Presidente","Presidente","Rita Fonseca"]}' \
        '{"id":3,"method":"setPINHash","args":["1357"]}' \
        '{"id":4,"method":"getConfirmationText"}'
}
host_vote() {  # login password command...
    local login=$1 password=$2 replies
    shift 2
    replies=$(requests "$login" "$password" | "$@" --jsonl --auto-close-message-boxes)
    if ! grep -q '^{"id":4,"result":"Tem a certeza' <<<"$replies"; then
        echo "FAILED: the host vote of $login"
        echo "$replies"
        exit 1
    fi
    check_opened "$login" "Rita Fonseca"
}
start=$(now_ms)
host_vote eleitor2 demo2 wine "$windows_host"
windows_host_ms=$(($(now_ms) - start))
start=$(now_ms)
ARDENAX_CA_FILE=$work/ca.pem ARDENAX_STORE_DIR=$work/linux-stores host_vote eleitor3 demo3 "$linux_host"
linux_host_ms=$(($(now_ms) - start))

echo "whole vote: DLL under cscript ${dll_ms} ms, ardenax-host.exe ${windows_host_ms} ms (Wine)," \
    "Linux ardenax-host ${linux_host_ms} ms"
echo "whole-votes: OK"
