# Sourced by the Windows tests that vote: starts `ardenax serve` with the
# given arguments on a free loopback port, in the folder $work, and points
# the Windows programs at it through the ARDENAX_* variables. The caller's
# cleanup kills $server.
# Usage: start_reference_servers ARDENAX [SERVE-ARGS...]
winpath() { echo "Z:$1" | tr / '\\'; }

start_reference_servers() {
    local ardenax=$1 line promotor smv
    shift
    # The server says "Ready." once it listens; its addresses are in the lines before.
    mkfifo "$work/serve.out"
    "$ardenax" serve --port 0 --db "$work/election.db" --ca-file "$work/ca.pem" "$@" \
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
}
