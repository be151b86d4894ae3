#!/usr/bin/env bash
# regsvr32 registers ArdenaX.dll per machine: the registry then holds exactly
# the class VotingX (in-process, apartment), its ProgID, the type library
# and the dual interface, and after regsvr32 /u none of them. The
# installer's per-user registration (regsvr32 /n /i:user) writes the same
# below HKCU. Usage: registration.sh DLL
set -euo pipefail
dll="Z:$(tr / '\\' <<<"$1")"
dir=${dll%\\*}
class='{3D1D35D9-5FAD-4879-82E2-CDF8F4F5AE18}'
library='{784B2BB8-3962-41D1-A9BC-3D04A4ACD0A8}'
interface='{D67E8013-26B6-456D-8AC8-DBA285C030CF}'
owned=("CLSID\\$class" "ArdenaX.VotingX" "TypeLib\\$library" "Interface\\$interface")
fail() { echo "FAILED: $*"; exit 1; }

# Every value below the owned keys as key|name|data, keys relative to Classes.
values() {
    local root=$1 key
    for key in "${owned[@]}"; do
        wine reg query "$root\\Software\\Classes\\$key" /s 2>/dev/null | tr -d '\r' |
            awk -v prefix="$root\\\\Software\\\\Classes\\\\" '
                /^HKEY_/ { key = $0; sub(/^HKEY_[A-Z_]+\\Software\\Classes\\/, "", key); next }
                /^    / { line = $0; sub(/^ +/, "", line); n = split(line, f, /    +/)
                          print key "|" f[1] "|" (n > 2 ? f[3] : "") }'
    done | sort
}
expected() {
    sort <<EOF2
CLSID\\$class|(Default)|VotingX
CLSID\\$class\\InprocServer32|(Default)|$dll
CLSID\\$class\\InprocServer32|ThreadingModel|Apartment
CLSID\\$class\\ProgID|(Default)|ArdenaX.VotingX
CLSID\\$class\\TypeLib|(Default)|$library
CLSID\\$class\\Version|(Default)|1.1
ArdenaX.VotingX|(Default)|VotingX
ArdenaX.VotingX\\CLSID|(Default)|$class
TypeLib\\$library\\1.1|(Default)|ArdenaX
TypeLib\\$library\\1.1\\0\\win64|(Default)|$dll
TypeLib\\$library\\1.1\\FLAGS|(Default)|0
TypeLib\\$library\\1.1\\HELPDIR|(Default)|$dir
Interface\\$interface|(Default)|_VotingX
Interface\\$interface\\ProxyStubClsid32|(Default)|{00020424-0000-0000-C000-000000000046}
Interface\\$interface\\TypeLib|(Default)|$library
Interface\\$interface\\TypeLib|Version|1.1
EOF2
}

check() {  # what root registered
    diff <(expected) <(values "$1") || fail "$2 registered other values than these"
}
check_none() {
    [ -z "$(values "$1")" ] || fail "$2 left: $(values "$1")"
}

wine regsvr32 /s "$dll" || fail "regsvr32 exited with $?"
check HKLM "regsvr32"
check_none HKCU "regsvr32 (per machine) wrote below HKCU"
wine regsvr32 /s /u "$dll" || fail "regsvr32 /u exited with $?"
check_none HKLM "regsvr32 /u"

wine regsvr32 /s /n /i:user "$dll" || fail "regsvr32 /n /i:user exited with $?"
check HKCU "regsvr32 /n /i:user"
check_none HKLM "the per-user registration wrote below HKLM"
wine regsvr32 /s /u /n /i:user "$dll" || fail "regsvr32 /u /n /i:user exited with $?"
check_none HKCU "regsvr32 /u /n /i:user"
echo "registration: OK"
