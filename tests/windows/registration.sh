#!/usr/bin/env bash
# regsvr32 registers ArdenaX.dll per machine, in the registry's view of the
# DLL's bitness: that view then holds exactly the class VotingX (in-process,
# apartment), its ProgID, the type library for the DLL's platform and the
# dual interface, and after regsvr32 /u none of them. The installer's
# per-user registration (regsvr32 /n /i:user) writes the same below HKCU.
# Each bitness's Wine loader starts its own regsvr32 and reg.
# Given two DLLs, the 64-bit and the 32-bit one: registered side by side,
# each is unregistered while the other stays, which keeps all of its values.
# Usage: registration.sh WINE PLATFORM DLL [WINE PLATFORM DLL]
set -euo pipefail
class='{3D1D35D9-5FAD-4879-82E2-CDF8F4F5AE18}'
library='{784B2BB8-3962-41D1-A9BC-3D04A4ACD0A8}'
interface='{D67E8013-26B6-456D-8AC8-DBA285C030CF}'
owned=("CLSID\\$class" "ArdenaX.VotingX" "TypeLib\\$library" "Interface\\$interface")
fail() { echo "FAILED: $*"; exit 1; }
windows_path() { echo "Z:$(tr / '\\' <<<"$1")"; }

# Every value below the owned keys of root $2 in the view of loader $1 as
# key|name|data, keys relative to Classes.
values() {
    local wine=$1 root=$2 key
    for key in "${owned[@]}"; do
        "$wine" reg query "$root\\Software\\Classes\\$key" /s 2>/dev/null | tr -d '\r' |
            awk '
                /^HKEY_/ { key = $0; sub(/^HKEY_[A-Z_]+\\Software\\Classes\\/, "", key); next }
                /^    / { line = $0; sub(/^ +/, "", line); n = split(line, f, /    +/)
                          print key "|" f[1] "|" (n > 2 ? f[3] : "") }'
    done | sort
}
# What registering DLL $2 for platform $1 writes.
expected() {
    local platform=$1 dll=$2
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
TypeLib\\$library\\1.1\\0\\$platform|(Default)|$dll
TypeLib\\$library\\1.1\\FLAGS|(Default)|0
TypeLib\\$library\\1.1\\HELPDIR|(Default)|${dll%\\*}
Interface\\$interface|(Default)|_VotingX
Interface\\$interface\\ProxyStubClsid32|(Default)|{00020424-0000-0000-C000-000000000046}
Interface\\$interface\\TypeLib|(Default)|$library
Interface\\$interface\\TypeLib|Version|1.1
EOF2
}

# regsvr32 of loader $1 with the options that follow, for the DLL last.
regsvr32() {
    local wine=$1
    shift
    "$wine" regsvr32 /s "$@" || fail "regsvr32 $* exited with $?"
}
check() {  # loader, platform, DLL, root: what the root holds in the loader's view
    diff <(expected "$2" "$3") <(values "$1" "$4") || fail "$4 holds other values than $3's"
}
check_none() {  # loader, root, what is checked
    [ -z "$(values "$1" "$2")" ] || fail "$3 left: $(values "$1" "$2")"
}
check_class() {  # loader, root, DLL: the class in the loader's view is the DLL's
    local server
    server=$("$1" reg query "$2\\Software\\Classes\\CLSID\\$class\\InprocServer32" /ve 2>/dev/null |
        tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p')
    [ "$server" = "$3" ] || fail "$2's class is '$server', not $3"
}

wine=$1 platform=$2 dll=$(windows_path "$3")
if [ $# -eq 3 ]; then
    regsvr32 "$wine" "$dll"
    check "$wine" "$platform" "$dll" HKLM
    check_none "$wine" HKCU "regsvr32 (per machine) wrote below HKCU"
    regsvr32 "$wine" /u "$dll"
    check_none "$wine" HKLM "regsvr32 /u"

    regsvr32 "$wine" /n /i:user "$dll"
    check "$wine" "$platform" "$dll" HKCU
    check_none "$wine" HKLM "the per-user registration wrote below HKLM"
    regsvr32 "$wine" /u /n /i:user "$dll"
    check_none "$wine" HKCU "regsvr32 /u /n /i:user"
    echo "registration: OK"
    exit 0
fi

other_wine=$4 other_platform=$5 other_dll=$(windows_path "$6")
# Root $1 with registration options $2... (none: per machine).
side_by_side() {
    local root=$1
    shift
    regsvr32 "$wine" "$@" "$dll"
    regsvr32 "$other_wine" "$@" "$other_dll"
    check_class "$wine" "$root" "$dll"
    check_class "$other_wine" "$root" "$other_dll"
    regsvr32 "$other_wine" /u "$@" "$other_dll"
    check "$wine" "$platform" "$dll" "$root"
    regsvr32 "$other_wine" "$@" "$other_dll"
    regsvr32 "$wine" /u "$@" "$dll"
    check "$other_wine" "$other_platform" "$other_dll" "$root"
    regsvr32 "$other_wine" /u "$@" "$other_dll"
    check_none "$wine" "$root" "unregistering both"
    check_none "$other_wine" "$root" "unregistering both"
}
side_by_side HKLM
side_by_side HKCU /n /i:user
echo "registration side by side: OK"
