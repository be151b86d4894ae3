#!/usr/bin/env bash
# Cross-builds the Windows libraries Debian ships only as source: OpenSSL 3
# and libcurl, static, for x86_64-w64-mingw32, from Debian's own source
# packages. Each lands in build/windows-deps/prefix; a stamp named after the
# versions built makes a second run a no-op.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD/build/windows-deps
prefix=$root/prefix
jobs=${ARDENAX_JOBS:-2}
mkdir -p "$root/stamps" "$prefix"

# apt-get source needs a deb-src entry for the Debian sources already in use.
ensure_sources() {
    if apt-cache showsrc openssl 2>/dev/null | grep -q '^Package: openssl'; then
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

# Unpacks the upstream tarball of the newest version whose files download
# whole into $root/src/<package>-<version>; prints the version taken.
fetch() {
    local package=$1 version dir
    for version in $(versions "$package"); do
        dir=$root/src/$package-$version
        if [ -f "$dir/.unpacked" ]; then
            echo "$version"
            return
        fi
        rm -rf "$dir" && mkdir -p "$dir/download"
        (cd "$dir/download" && apt-get source --download-only -qq "$package=$version" >/dev/null 2>&1) || true
        # The newest version's .dsc may be missing while its upstream tarball is whole.
        local tarball
        tarball=$(find "$dir/download" -name '*.orig.tar.*' ! -name '*.asc' | head -1)
        if [ -n "$tarball" ] && tar -xf "$tarball" -C "$dir" --strip-components=1; then
            touch "$dir/.unpacked"
            echo "$version"
            return
        fi
    done
    echo "build-windows-deps: no source of $package could be fetched" >&2
    return 1
}

ensure_sources
openssl_version=$(versions openssl | head -1)
curl_version=$(versions curl | head -1)
openssl_stamp=$root/stamps/openssl-$openssl_version
curl_stamp=$root/stamps/curl-$curl_version-openssl-$openssl_version
if [ -f "$openssl_stamp" ] && [ -f "$curl_stamp" ]; then
    exit 0
fi

if [ ! -f "$openssl_stamp" ]; then
    openssl_version=$(fetch openssl)
    openssl_stamp=$root/stamps/openssl-$openssl_version
    echo "build-windows-deps: OpenSSL $openssl_version"
    (
        cd "$root/src/openssl-$openssl_version"
        ./Configure mingw64 --cross-compile-prefix=x86_64-w64-mingw32- no-shared no-tests \
            --prefix="$prefix" --libdir=lib64 >"$root/openssl.log"
        # Only failures are worth reading; the log keeps the compiler's chatter.
        nice make -j"$jobs" build_libs >>"$root/openssl.log" 2>&1 || { tail -40 "$root/openssl.log"; exit 1; }
        make install_dev >>"$root/openssl.log" 2>&1 || { tail -40 "$root/openssl.log"; exit 1; }
    )
    touch "$openssl_stamp"
fi

curl_version=$(fetch curl)
curl_stamp=$root/stamps/curl-$curl_version-openssl-$openssl_version
if [ ! -f "$curl_stamp" ]; then
    echo "build-windows-deps: curl $curl_version"
    build=$root/src/curl-$curl_version/build-mingw
    rm -rf "$build"
    cmake -S "$root/src/curl-$curl_version" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF \
        -DCURL_USE_OPENSSL=ON -DOPENSSL_ROOT_DIR="$prefix" -DOPENSSL_USE_STATIC_LIBS=ON \
        -DCURL_USE_LIBSSH2=OFF -DUSE_LIBIDN2=OFF -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF \
        -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DENABLE_MANUAL=OFF -DBUILD_TESTING=OFF \
        -DCURL_DISABLE_LDAP=ON >"$root/curl.log"
    nice cmake --build "$build" -j"$jobs" >>"$root/curl.log" 2>&1 || { tail -40 "$root/curl.log"; exit 1; }
    cmake --install "$build" >>"$root/curl.log" 2>&1 || { tail -40 "$root/curl.log"; exit 1; }
    touch "$curl_stamp"
fi
