#!/usr/bin/env bash
# Builds libmosquitto's static client library for 64-bit Windows with the project's
# MinGW-w64 toolchain, from Debian's source package (the same library the Linux build
# links), into DIR/prefix: lib/libmosquitto_static.a and include/mosquitto.h. Users of
# the library define LIBMOSQUITTO_STATIC and link ws2_32 and winpthread.
# Only the client library: no TLS (it would need OpenSSL built the same way), no cJSON,
# SOCKS, Unix sockets, broker, clients, apps, plugins, C++ wrapper or documentation; the
# DLL target is never built (it asks for a pthreads library at a fixed Windows path).
# Cached: when DIR/prefix was made by this same script, a run does nothing.
# apt-get source needs a deb-src entry: one is added, for the Debian archive this machine
# already uses, in a file of our own (/etc/apt/sources.list.d/qv5300-deb-src.*).
# Installs what is missing (Debian 12); needs root (or sudo) for that.
# Usage: scripts/lib/mosquitto-win.sh DIR
set -euo pipefail
self=$(readlink -f "$0")
root=$(dirname "$self")/../..
cd "$root"
[ $# -eq 1 ] || { echo "usage: scripts/lib/mosquitto-win.sh DIR" >&2; exit 2; }
dir=$(realpath -m "$1")
prefix=$dir/prefix
key=$(sha256sum "$self" | cut -c1-16)
if [ -f "$prefix/lib/libmosquitto_static.a" ] && [ "$(cat "$prefix/made-by" 2>/dev/null)" = "$key" ]; then
    exit 0
fi

. scripts/lib/deps.sh
QV_DEB_PACKAGES=(cmake make mingw-w64 dpkg-dev)
qv_install_deps

# deb-src twins of the machine's Debian entries (deb822 or one-line style).
ensure_deb_src() {
    local own=/etc/apt/sources.list.d/qv5300-deb-src
    [ -e "$own.sources" ] || [ -e "$own.list" ] && return 0
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types:.*$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$dir/deb-src"
        qv_as_root cp "$dir/deb-src" "$own.sources"
    elif grep -qs '^deb ' /etc/apt/sources.list; then
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$dir/deb-src"
        qv_as_root cp "$dir/deb-src" "$own.list"
    else
        echo "mosquitto-win: no Debian archive found in /etc/apt to add a deb-src entry for" >&2
        exit 1
    fi
    qv_as_root apt-get update -qq
}

started=$(date +%s)
rm -rf "$dir"
mkdir -p "$dir/src"
ensure_deb_src
fetch_source() { (cd "$dir/src" && apt-get source -qq --only-source mosquitto >"$dir/source.log" 2>&1); }
# Package lists without the sources (our entry older than the last list refresh) are
# refreshed once.
fetch_source || { qv_as_root apt-get update -qq && fetch_source; } || {
    cat "$dir/source.log" >&2
    exit 1
}
source_dir=$(find "$dir/src" -mindepth 1 -maxdepth 1 -type d -name 'mosquitto-*' | head -n 1)
[ -n "$source_dir" ] || { echo "mosquitto-win: apt-get source gave no source folder" >&2; exit 1; }

cmake -S "$source_dir" -B "$dir/build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
    -DWITH_TLS=OFF -DWITH_CJSON=OFF -DWITH_SOCKS=OFF -DWITH_UNIX_SOCKETS=OFF \
    -DWITH_BROKER=OFF -DWITH_CLIENTS=OFF -DWITH_APPS=OFF -DWITH_PLUGINS=OFF \
    -DWITH_LIB_CPP=OFF -DDOCUMENTATION=OFF -DWITH_STATIC_LIBRARIES=ON \
    >"$dir/configure.log" 2>&1 || { cat "$dir/configure.log" >&2; exit 1; }
cmake --build "$dir/build" --target libmosquitto_static -j "$(nproc)" >"$dir/build.log" 2>&1 || {
    cat "$dir/build.log" >&2
    exit 1
}
mkdir -p "$prefix/lib" "$prefix/include"
cp "$dir/build/lib/libmosquitto_static.a" "$prefix/lib/"
cp "$source_dir/include/mosquitto.h" "$source_dir/include/mqtt_protocol.h" "$prefix/include/"
basename "$source_dir" >"$prefix/source"
echo "$key" >"$prefix/made-by"
echo "mosquitto-win: $(basename "$source_dir") built for Windows in $(($(date +%s) - started)) s"
