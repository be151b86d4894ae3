#!/usr/bin/env bash
# Cross-builds the Windows libraries Debian ships only as source: OpenSSL 3
# and libcurl, static, for 64-bit (x86_64) and 32-bit (i686) mingw-w64, from
# Debian's own source packages. They are kept in the user's cache, where
# every clone on the machine finds them:
# ${XDG_CACHE_HOME:-~/.cache}/ardenax/windows-deps/<processor>/prefix. Stamps
# named after the versions built make a second run a no-op; a new Debian
# version builds anew.
set -euo pipefail
cd "$(dirname "$0")/.."
root=${XDG_CACHE_HOME:-$HOME/.cache}/ardenax/windows-deps
jobs=${ARDENAX_JOBS:-2}
mkdir -p "$root"
# Two clones may build at once; the second finds the first one's stamps.
exec 9>"$root/.lock"
flock 9

# apt-get source needs a deb-src entry for the Debian sources already in use.
ensure_sources() {
    # Not grep -q: apt-cache, cut short, would fail the pipeline.
    if apt-cache showsrc openssl 2>/dev/null | grep '^Package: openssl' >/dev/null; then
        return
    fi
    local sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    echo "build-windows-deps: adding deb-src entries"
    sed -n '/^Types:/,$p' /etc/apt/sources.list.d/debian.sources | sed 's/^Types: deb$/Types: deb-src/' |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/ardenax-debian-src.sources >/dev/null
    "${sudo_cmd[@]}" apt-get update -qq
}

versions() {
    apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -rV
}

# Prints the version and the upstream tarball of the newest version whose
# files download whole, downloaded once into $root/download/<package>-<version>.
fetch() {
    local package=$1 version dir tarball
    for version in $(versions "$package"); do
        dir=$root/download/$package-$version
        tarball=$(find "$dir" -name '*.orig.tar.*' ! -name '*.asc' 2>/dev/null | head -1)
        if [ -z "$tarball" ]; then
            rm -rf "$dir" && mkdir -p "$dir"
            (cd "$dir" && apt-get source --download-only -qq "$package=$version" >/dev/null 2>&1) || true
            # The newest version's .dsc may be missing while its upstream tarball is whole.
            tarball=$(find "$dir" -name '*.orig.tar.*' ! -name '*.asc' | head -1)
        fi
        if [ -n "$tarball" ] && tar -tf "$tarball" >/dev/null 2>&1; then
            echo "$version $tarball"
            return
        fi
    done
    echo "build-windows-deps: no source of $package could be fetched" >&2
    return 1
}

# Unpacks tarball $2 into the fresh folder $1.
unpack() {
    rm -rf "$1" && mkdir -p "$1"
    tar -xf "$2" -C "$1" --strip-components=1
}

# Builds both libraries for processor $1: OpenSSL's mingw target $2, its
# libraries installed in $prefix/$3.
build() {
    local processor=$1 openssl_target=$2 libdir=$3
    local dir=$root/$processor prefix=$root/$processor/prefix src=$root/$processor/src
    mkdir -p "$dir/stamps" "$prefix"
    local openssl_stamp=$dir/stamps/openssl-$openssl_version
    local curl_stamp=$dir/stamps/curl-$curl_version-openssl-$openssl_version
    if [ ! -f "$openssl_stamp" ]; then
        echo "build-windows-deps: OpenSSL $openssl_version for $processor"
        unpack "$src" "$openssl_tarball"
        (
            cd "$src"
            ./Configure "$openssl_target" --cross-compile-prefix="$processor-w64-mingw32-" no-shared no-tests \
                --prefix="$prefix" --libdir="$libdir" >"$dir/openssl.log"
            # Only failures are worth reading; the log keeps the compiler's chatter.
            nice make -j"$jobs" build_libs >>"$dir/openssl.log" 2>&1 || { tail -40 "$dir/openssl.log"; exit 1; }
            make install_dev >>"$dir/openssl.log" 2>&1 || { tail -40 "$dir/openssl.log"; exit 1; }
        )
        rm -rf "$src"
        touch "$openssl_stamp"
    fi
    if [ ! -f "$curl_stamp" ]; then
        echo "build-windows-deps: curl $curl_version for $processor"
        unpack "$src" "$curl_tarball"
        cmake -S "$src" -B "$src/build-mingw" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-$processor.cmake" -DCMAKE_BUILD_TYPE=Release \
            -DARDENAX_WINDOWS_DEPS="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
            -DBUILD_CURL_EXE=OFF -DCURL_USE_OPENSSL=ON -DOPENSSL_ROOT_DIR="$prefix" \
            -DOPENSSL_USE_STATIC_LIBS=ON -DCURL_USE_LIBSSH2=OFF -DUSE_LIBIDN2=OFF -DCURL_ZLIB=OFF \
            -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DENABLE_MANUAL=OFF -DBUILD_TESTING=OFF \
            -DCURL_DISABLE_LDAP=ON >"$dir/curl.log"
        nice cmake --build "$src/build-mingw" -j"$jobs" >>"$dir/curl.log" 2>&1 || { tail -40 "$dir/curl.log"; exit 1; }
        cmake --install "$src/build-mingw" >>"$dir/curl.log" 2>&1 || { tail -40 "$dir/curl.log"; exit 1; }
        rm -rf "$src"
        touch "$curl_stamp"
    fi
}

ensure_sources
openssl_version=$(versions openssl | head -1)
curl_version=$(versions curl | head -1)
built=yes
for processor in x86_64 i686; do
    [ -f "$root/$processor/stamps/openssl-$openssl_version" ] &&
        [ -f "$root/$processor/stamps/curl-$curl_version-openssl-$openssl_version" ] || built=no
done
[ "$built" = no ] || exit 0

fetched=$(fetch openssl)
read -r openssl_version openssl_tarball <<<"$fetched"
fetched=$(fetch curl)
read -r curl_version curl_tarball <<<"$fetched"
# OpenSSL names its 32-bit mingw target "mingw"; its libraries then go to lib.
build x86_64 mingw64 lib64
build i686 mingw lib
