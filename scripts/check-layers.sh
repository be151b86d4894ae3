#!/usr/bin/env bash
# Checks that includes follow the layers: each folder may include only the
# folders listed for it (its own included), and OpenSSL, libcurl and the
# reference servers' libraries stay in the folders that wrap them.
# Prints every offending include and exits 1 if there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# Layer folders, most specific first, and the project folders each may include.
layers=(src/crypto/toolkit src/transport/http src/support src/crypto src/transport src/vote
    src/platform src/control src/server apps/common apps/ardenax-host apps/ardenax)
declare -A may_include=(
    [src/support]="support"
    [src/crypto/toolkit]="support crypto/toolkit"
    [src/crypto]="support crypto"
    [src/transport/http]="support transport/http"
    [src/transport]="support transport"
    [src/vote]="support vote"
    [src/platform]="support crypto transport vote platform"
    [src/control]="support crypto transport vote platform control"
    [src/server]="support crypto/toolkit server"
    [apps/common]="support common"
    [apps/ardenax-host]="support crypto transport vote platform control common web"
    [apps/ardenax]="support crypto transport vote platform control server common web"
)
# Outside libraries and the folders that may include them.
declare -A library_owners=(
    [openssl]="src/crypto/toolkit src/server"
    [curl]="src/transport/http"
    [httplib.h]="src/server"
    [sqlite3.h]="src/server"
    [libpq-fe.h]="src/server"
    [pugixml.hpp]="src/server"
)
project_tops=" support crypto transport vote platform control server common web "

status=0
while IFS= read -r match; do
    file=${match%%:*}
    rest=${match#*:}
    number=${rest%%:*}
    line=${rest#*:}
    layer=""
    for folder in "${layers[@]}"; do
        if [[ $file == "$folder"/* ]]; then
            layer=$folder
            break
        fi
    done
    [ -n "$layer" ] || continue
    if [[ $line =~ \#include[[:space:]]*\"([^\"]+)\" ]]; then
        target=${BASH_REMATCH[1]}
        top=${target%%/*}
        # A header beside the file, or one outside the project's layers.
        [[ $target == */* && $project_tops == *" $top "* ]] || continue
        allowed=0
        for folder in ${may_include[$layer]}; do
            [[ $target == "$folder"/* ]] && allowed=1
        done
        if [ $allowed -eq 0 ]; then
            echo "$file:$number: $layer may not include \"$target\""
            status=1
        fi
    elif [[ $line =~ \#include[[:space:]]*\<([^\>]+)\> ]]; then
        library=${BASH_REMATCH[1]%%/*}
        owners=${library_owners[$library]:-}
        if [ -n "$owners" ] && [[ " $owners " != *" $layer "* ]]; then
            echo "$file:$number: only ${owners// /, } may include <${BASH_REMATCH[1]}>"
            status=1
        fi
    fi
done < <(git ls-files -z 'src/*.cpp' 'src/*.h' 'src/*.in' 'apps/*.cpp' 'apps/*.h' |
    xargs -0 grep -nH '^[[:space:]]*#include' || true)

if [ $status -eq 0 ]; then
    echo "check-layers: every include follows the layers"
fi
exit $status
