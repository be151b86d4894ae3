#!/usr/bin/env bash
# The installer in a Wine prefix of its own, as a voter without
# administrator rights: /S installs the files, the per-user COM registration
# of both DLLs, each in the registry's view of its bitness, and, through
# ardenax-host.exe --install, a manifest and a native-messaging
# key for Chrome, Edge, Chromium and Firefox; the silent uninstaller then
# leaves the user's registry and files as they were before. Once it runs
# while other programs, one of each bitness, have the DLLs loaded: what
# points at them goes at once, the DLLs at the next restart, the
# uninstaller and its entry at the sign-in after it. The installer, the
# uninstaller, the DLLs and the host carry signatures that verify against
# SIGNING_CERT; the uninstall entry names the support link HELP_LINK and
# the language the installer spoke: the system's Portuguese, or English.
# Usage: installer.sh WINE64 WINE32 SETUP_EXE PREFIX HOLD_DLL_EXE HOLD_DLL32_EXE SIGNING_CERT HELP_LINK
set -euo pipefail
wine=$1 wine32=$2 setup=$3
export WINEPREFIX=$4
hold_dll=$5 hold_dll32=$6 signing_cert=$7 help_link=$8
fail() { echo "FAILED: $*"; exit 1; }
rm -rf "$WINEPREFIX"
# Its own wineserver, not kept alive: `wineserver -w` then waits for every
# process of the prefix, the uninstaller's copy of itself among them.
"$wine" wineboot -i >"$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log"; exit 1; }
wineserver -w
# Windows keeps 32-bit programs' per-user classes apart (below Wow6432Node);
# Wine 8 does only once that key exists.
"$wine" reg add 'HKCU\Software\Classes\Wow6432Node' /f >/dev/null
# The 64-bit view, or with $1 = 32 the 32-bit one.
query() {
    local loader=$wine
    [ "$1" != 32 ] || loader=$wine32
    "$loader" reg query "${@:2}" 2>/dev/null | tr -d '\r'
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"; wineserver -k 2>/dev/null || true' EXIT
# The user's files and keys, as snapshot $1.
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find users ! -path '*/Temp*' | sort) >"$tmp/$1.files"
    "$wine" reg export HKCU "$tmp/$1.reg" /y >/dev/null
}
# The keys of snapshot $1, but those whose names match $2.
keys() {
    # What Wine itself records while programs run is not the installer's.
    iconv -f UTF-16LE -t UTF-8 "$tmp/$1.reg" | tr -d '\r' |
        awk -v also="${2:-^$}" '/^\[/{skip = ($0 ~ /Console|Explorer|MuiCache|Wine\\|ShellNoRoam|Software\\Microsoft\\Windows NT|RecentDocs/ || $0 ~ also)} !skip'
}
# Asked before the snapshot: cmd records its console settings in HKCU.
local_app_data=$(winepath -u "$("$wine" cmd /c echo %LOCALAPPDATA% | tr -d '\r')")
dir=$local_app_data/Programs/ArdenaX
run_once='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ArdenaX'
# The uninstaller adds a value to the user's RunOnce key, which it must not
# remove: other programs' values live there too.
"$wine" reg add "$run_once" /f >/dev/null
wineserver -w
class='HKCU\Software\Classes\CLSID\{3D1D35D9-5FAD-4879-82E2-CDF8F4F5AE18}'

# An Authenticode signature, SHA-256, that verifies against the certificate.
check_signed() {
    local out
    out=$(osslsigncode verify -CAfile "$signing_cert" -in "$1" 2>&1) || fail "$1 is not signed: $out"
    grep -q '^Message digest algorithm *: SHA256' <<<"$out" || fail "$1 is not signed with SHA-256: $out"
}
entry() {  # the uninstall entry's value $1
    query 64 "$uninstall_key" /v "$1" | sed -n "s/^ *$1 *REG_[A-Z]* *//p"
}

check_installed() {  # the language, as the LANGID the installer was to speak
    for file in ArdenaX.dll x86/ArdenaX.dll ardenax-host.exe uninstall.exe extension/manifest.json; do
        [ -f "$dir/$file" ] || fail "$file was not installed"
    done
    # Each view's class is the DLL of its bitness.
    local bits server
    for bits in 64 32; do
        server=$(query $bits "$class\\InprocServer32" /ve | sed -n 's/^ *(Default) *REG_SZ *//p')
        [ "$server" = "$(winepath -w "$dir/${dlls[$bits]}")" ] ||
            fail "the $bits-bit class for the user is '$server'"
        if query $bits "${class/HKCU/HKLM}" >/dev/null; then
            fail "a per-user installation registered the $bits-bit class per machine"
        fi
    done
    # ardenax-host.exe --install: each browser's key names a manifest of its
    # kind for the host; the uninstaller's --uninstall is in the comparisons.
    for key in 'Google\Chrome' 'Microsoft\Edge' 'Chromium' 'Mozilla'; do
        manifest=$(query 64 "HKCU\\Software\\$key\\NativeMessagingHosts\\pt.ardenax.votingx" /ve |
            sed -n 's/^ *(Default) *REG_SZ *//p') || fail "no key below $key"
        file=$(winepath -u "$manifest")
        [ -f "$file" ] || fail "$key names $manifest, which does not exist"
        grep -q '"path": ".*\\\\ardenax-host.exe"' "$file" || fail "$file does not name the host"
        kind='"allowed_origins"'
        [ "$key" != Mozilla ] || kind='"allowed_extensions"'
        grep -q "$kind" "$file" || fail "$file lacks $kind"
    done
    [ "$(entry DisplayVersion)" = 2.1.0.2239 ] || fail "no uninstall entry"
    check_signed "$setup"
    for file in ArdenaX.dll x86/ArdenaX.dll ardenax-host.exe uninstall.exe; do
        check_signed "$dir/$file"
    done
    [ "$(entry DisplayIcon)" = "$(winepath -w "$dir")\\uninstall.exe" ] || fail "DisplayIcon is $(entry DisplayIcon)"
    [ "$(entry HelpLink)" = "$help_link" ] || fail "HelpLink is $(entry HelpLink)"
    local size
    size=$(find "$dir" -type f -printf '%s\n' | awk '{ bytes += $1 } END { print int(bytes / 1024) }')
    [ "$(($(entry EstimatedSize)))" = "$size" ] || fail "EstimatedSize is $(entry EstimatedSize), not $size KB"
    [ "$(($(entry Language)))" = "$1" ] || fail "the installer spoke $(entry Language), not $1"
}

# A copy outside the folder runs the uninstaller in place (_?=), as it does
# itself, but before `wine` returns: `wineserver -w` would wait for a holder.
uninstall() {
    cp "$dir/uninstall.exe" "$tmp/uninstall.exe"
    "$wine" "$tmp/uninstall.exe" /S "_?=$(winepath -w "$dir")"
}

# The installed DLL of each bitness, and the program of that bitness that holds it.
declare -A dlls=([64]=ArdenaX.dll [32]=x86/ArdenaX.dll)
declare -A loaders=([64]=$wine [32]=$wine32) holders=([64]=$hold_dll [32]=$hold_dll32)
declare -A holder_pids holder_ins
hold() {  # bitness
    local loaded in
    mkfifo "$tmp/hold$1.in" "$tmp/hold$1.out"
    (
        # Without the other holders' input: they would never see its end.
        for in in "${holder_ins[@]}"; do
            exec {in}>&-
        done
        exec "${loaders[$1]}" "${holders[$1]}" "$(winepath -w "$dir/${dlls[$1]}")"
    ) <"$tmp/hold$1.in" >"$tmp/hold$1.out" &
    holder_pids[$1]=$!
    exec {in}>"$tmp/hold$1.in"
    holder_ins[$1]=$in
    read -r loaded <"$tmp/hold$1.out" || true
    [ "${loaded%$'\r'}" = loaded ] || fail "the $1-bit DLL could not be held loaded"
}
release() {  # bitness: its standard input closes
    local in=${holder_ins[$1]}
    exec {in}>&-
    wait "${holder_pids[$1]}" || fail "the $1-bit hold_dll failed"
}

# Installs and uninstalls, the installer under the system locale $2, in
# which it is to speak LANGID $3 (the rest in Wine's English: reg's output is
# read); "held": with each DLL loaded by another process of
# its bitness while the uninstaller runs, "free": over a folder for programs
# that the user has already and an uninstallation still to finish at
# sign-in.
round() {
    snapshot before
    # An uninstallation still to finish at the next sign-in must not remove
    # a new installation.
    if [ "$1" = free ]; then
        "$wine" reg add "$run_once" /v ArdenaX /d "\"$(winepath -w "$dir")\\uninstall.exe\" /S" /f >/dev/null
    fi
    LC_ALL=$2 "$wine" "$setup" /S
    wineserver -w
    check_installed "$3"
    if query 64 "$run_once" /v ArdenaX >/dev/null; then
        fail "the installation is to be removed at the next sign-in"
    fi
    if [ "$1" = held ]; then
        hold 64
        hold 32
        uninstall
        # Nothing points at the DLLs any more; the DLLs, the uninstaller and
        # its entry stay, and the uninstaller is to run at the next sign-in.
        snapshot held
        kept=$(realpath -m --relative-to="$WINEPREFIX/drive_c" "$dir")
        { cat "$tmp/before.files"; printf '%s\n' "${kept%/*}" "$kept" "$kept/ArdenaX.dll" "$kept/x86" \
            "$kept/x86/ArdenaX.dll" "$kept/uninstall.exe"; } | sort | diff - "$tmp/held.files" ||
            fail "the uninstaller left other files than the DLLs in use and itself"
        diff <(keys before 'Uninstall|RunOnce') <(keys held 'Uninstall|RunOnce') ||
            fail "the uninstaller left keys behind while the DLLs were in use"
        query 64 "$uninstall_key" /v DisplayVersion | grep -q '2.1.0.2239' || fail "the uninstall entry is gone"
        finish=$(query 64 "$run_once" /v ArdenaX | sed -n 's/^ *ArdenaX *REG_SZ *//p') ||
            fail "the uninstaller is not to run at the next sign-in"
        [ "$finish" = "\"$(winepath -w "$dir")\\uninstall.exe\" /S" ] ||
            fail "at the next sign-in, not the uninstaller but '$finish' is to run"
        release 64
        release 32
        # The restart: the session ends with its last process, and Wine
        # deletes what is pending as the next one starts.
        wineserver -w
        "$wine" wineboot -r
        if [ -e "$dir/ArdenaX.dll" ] || [ -e "$dir/x86" ]; then
            fail "the restart left the DLLs"
        fi
        # The sign-in: Windows' shell deletes each RunOnce value and runs its
        # command; Wine's does not.
        "$wine" reg delete "$run_once" /v ArdenaX /f >/dev/null
        printf '%s\r\n' "$finish" | "$wine" cmd >/dev/null
        wineserver -w
    else
        # A key a control left behind, which the uninstaller takes along.
        mkdir -p "$local_app_data/ArdenaX/stores/REQUEST"
        echo "left behind" >"$local_app_data/ArdenaX/stores/REQUEST/1.cer"
        uninstall
    fi
    snapshot after
    diff "$tmp/before.files" "$tmp/after.files" || fail "the uninstaller left files behind"
    diff <(keys before) <(keys after) || fail "the uninstaller left keys behind"
}

round held pt_PT.UTF-8 2070
mkdir "${dir%/*}"
# German is none of the installer's languages.
round free de_DE.UTF-8 1033
echo "installer: OK"
