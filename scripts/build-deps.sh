#!/bin/bash
# Cross-builds the third-party libraries for i686-w64-mingw32 from Debian's
# source packages (with Debian's patches applied) into a cache outside the
# work tree, for the Windows floor the toolchain file names (XP SP3): curl,
# POCO, TinyXML, and the thread library that the C++ runtime links (Debian's
# own copy calls GetTickCount64, which XP lacks). Each build is keyed by
# package version, compiler version and floor, so a second run finds
# everything in place and returns at once.
#
# Prints the install prefix of every library as NAME=PATH lines on stdout
# (everything else goes to stderr), for the caller to hand to CMake.
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(dirname "$HERE")"
CACHE="${PYLONIX_CACHE:-/var/cache/pylonix}"
TOOLCHAIN="$ROOT/cmake/mingw-i686.cmake"
JOBS="$(nproc)"
log() { echo "pylonix deps: $*" >&2; }

mkdir -p "$CACHE/apt/lists/partial" "$CACHE/apt/sources.list.d" "$CACHE/deps" "$CACHE/src"

# A private deb-src list derived from the machine's own apt sources, so the
# system's apt configuration stays untouched and no archive host is written
# anywhere in the project.
APT_OPTS=(-o "Dir::Etc::SourceList=$CACHE/apt/sources.list"
          -o "Dir::Etc::SourceParts=$CACHE/apt/sources.list.d"
          -o "Dir::State::Lists=$CACHE/apt/lists"
          -o "Dir::Cache=$CACHE/apt/cache")
apt_index() {
    [ -n "$(ls "$CACHE/apt/lists" 2>/dev/null | grep -i sources)" ] && return 0
    log "building the deb-src index"
    : > "$CACHE/apt/sources.list"
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list > "$CACHE/apt/sources.list"
    fi
    rm -f "$CACHE/apt/sources.list.d/"*
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        sed 's/^Types: deb$/Types: deb-src/' "$f" > "$CACHE/apt/sources.list.d/$(basename "$f")"
    done
    for f in /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -n 's/^deb \(.*\)$/deb-src \1/p' "$f" > "$CACHE/apt/sources.list.d/$(basename "$f")"
    done
    mkdir -p "$CACHE/apt/cache/archives/partial"
    apt-get "${APT_OPTS[@]}" update -q >&2
}

src_version() {
    apt-cache "${APT_OPTS[@]}" showsrc "$1" 2>/dev/null | awk '/^Version:/{print $2}' | sort -V | tail -1
}

# Unpacks the Debian source package into a fresh folder and prints its path.
fetch_source() {
    local pkg="$1" ver="$2" dir="$CACHE/src/$1-$2"
    if [ ! -f "$dir/.unpacked" ]; then
        rm -rf "$dir"; mkdir -p "$dir"
        log "fetching source of $pkg $ver"
        (cd "$dir" && apt-get "${APT_OPTS[@]}" source -q "$pkg=$ver" >&2)
        touch "$dir/.unpacked"
    fi
    find "$dir" -mindepth 1 -maxdepth 1 -type d | head -1
}

COMPILER="$(i686-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null || i686-w64-mingw32-g++-posix -dumpversion)"
WINNT="$(sed -n 's/^set(PYLONIX_WINNT \(0x[0-9A-Fa-f]*\))$/\1/p' "$TOOLCHAIN")"
NTDDI="$(sed -n 's/^set(PYLONIX_NTDDI \(0x[0-9A-Fa-f]*\))$/\1/p' "$TOOLCHAIN")"
[ -n "$WINNT" ] && [ -n "$NTDDI" ] || { log "no PYLONIX_WINNT or PYLONIX_NTDDI in $TOOLCHAIN"; exit 1; }
FLOOR_FLAGS="-D_WIN32_WINNT=$WINNT -DWINVER=$WINNT -DNTDDI_VERSION=$NTDDI"
KEY="gcc$COMPILER-winnt$WINNT-ntddi$NTDDI"

# Case aliases: some sources include Windows headers with capitals, while
# MinGW's headers are lower case.
CASEDIR="$CACHE/deps/case-alias"
mkdir -p "$CASEDIR"
for h in Winsock2.h:winsock2.h Iphlpapi.h:iphlpapi.h WS2tcpip.h:ws2tcpip.h Windows.h:windows.h \
         IPHlpApi.h:iphlpapi.h Wincrypt.h:wincrypt.h ShlObj.h:shlobj.h; do
    ln -sfn "/usr/share/mingw-w64/include/${h#*:}" "$CASEDIR/${h%%:*}"
done
# POCO Net's ICMP header and <wincrypt.h> (pulled in through <iphlpapi.h>)
# both define TIMESTAMP_REQUEST; include the Windows side first and drop it.
cat > "$CASEDIR/poco-prelude.h" <<'EOF'
#ifndef PYLONIX_POCO_PRELUDE_H
#define PYLONIX_POCO_PRELUDE_H
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#undef TIMESTAMP_REQUEST
#endif
EOF

build_curl() {
    local src="$1" prefix="$2" b="$1/build-mingw"
    rm -rf "$b"
    cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
        -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DHTTP_ONLY=ON -DCURL_ZLIB=OFF -DUSE_LIBIDN2=OFF \
        -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF -DUSE_NGHTTP2=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF \
        -DENABLE_MANUAL=OFF -DCURL_DISABLE_LDAP=ON -DCURL_TARGET_WINDOWS_VERSION="$WINNT" >&2
    cmake --build "$b" -j "$JOBS" >&2
    cmake --install "$b" >&2
}

build_poco() {
    local src="$1" prefix="$2" b="$1/build-mingw" opts=()
    for c in ENCODINGS XML MONGODB DATA DATA_SQLITE DATA_MYSQL DATA_POSTGRESQL DATA_ODBC REDIS PDF UTIL \
             SEVENZIP ZIP CPPPARSER POCODOC PAGECOMPILER PAGECOMPILER_FILE2PAGE ACTIVERECORD \
             ACTIVERECORD_COMPILER NETSSL NETSSL_WIN CRYPTO JWT APACHECONNECTOR PROMETHEUS TESTS; do
        opts+=("-DENABLE_$c=OFF")
    done
    rm -rf "$b"
    cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DPOCO_UNBUNDLED=OFF \
        -DENABLE_FOUNDATION=ON -DENABLE_NET=ON -DENABLE_JSON=ON "${opts[@]}" \
        -DCMAKE_MC_COMPILER="$(command -v i686-w64-mingw32-windmc)" \
        -DCMAKE_C_FLAGS="-I$CASEDIR $FLOOR_FLAGS" \
        -DCMAKE_CXX_FLAGS="-I$CASEDIR $FLOOR_FLAGS -include $CASEDIR/poco-prelude.h" >&2
    cmake --build "$b" -j "$JOBS" >&2
    cmake --install "$b" >&2
}

build_tinyxml() {
    local src="$1" prefix="$2" cxx=i686-w64-mingw32-g++-posix
    mkdir -p "$prefix/include" "$prefix/lib" "$src/build-mingw"
    for f in tinyxml tinystr tinyxmlerror tinyxmlparser; do
        "$cxx" -O2 $FLOOR_FLAGS -DTIXML_USE_STL -c "$src/$f.cpp" -o "$src/build-mingw/$f.o"
    done
    i686-w64-mingw32-ar rcs "$prefix/lib/libtinyxml.a" "$src/build-mingw/"*.o
    cp "$src/tinyxml.h" "$src/tinystr.h" "$prefix/include/"
}

# The C++ runtime's threads (winpthreads, from Debian's mingw-w64 sources):
# built for the floor it times its waits with QueryPerformanceCounter instead
# of GetTickCount64. Installed also as libpthread.a, the name the compiler
# driver links, so a program takes this copy before the system's.
build_winpthreads() {
    local src="$1/mingw-w64-libraries/winpthreads" prefix="$2" b="$1/build-winpthreads"
    rm -rf "$b"; mkdir -p "$b"
    (cd "$b" && "$src/configure" --host=i686-w64-mingw32 --prefix="$prefix" --disable-shared --enable-static \
        CC=i686-w64-mingw32-gcc-posix CFLAGS="-O2 $FLOOR_FLAGS" >&2 && make -j "$JOBS" >&2 && make install >&2)
    cp "$prefix/lib/libwinpthread.a" "$prefix/lib/libpthread.a"
}

build_googletest() {
    local src="$1" prefix="$2" b="$CACHE/src/googletest-build"
    rm -rf "$b"
    cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF >&2
    cmake --build "$b" -j "$JOBS" >&2
    cmake --install "$b" >&2
}

# name, Debian source package
LIBS="curl:curl poco:poco tinyxml:tinyxml winpthreads:mingw-w64"
need_index=0
for entry in $LIBS; do
    ls -d "$CACHE/deps/${entry%%:*}-"*"-$KEY/.done" >/dev/null 2>&1 || need_index=1
done
[ "$need_index" = 1 ] && apt_index

for entry in $LIBS; do
    name="${entry%%:*}" pkg="${entry#*:}"
    # Offline and already built: reuse the newest cached build.
    cached="$(ls -d "$CACHE/deps/$name-"*"-$KEY" 2>/dev/null | sort -V | tail -1 || true)"
    if [ -n "$cached" ] && [ -f "$cached/.done" ] && [ "$need_index" = 0 ]; then
        echo "$name=$cached"; continue
    fi
    if [ "$name" = winpthreads ]; then
        # The runtime's own version: the headers it was built with are installed.
        ver="$(dpkg-query -W -f='${source:Version}' mingw-w64-i686-dev)"
    else
        ver="$(src_version "$pkg")"
    fi
    [ -n "$ver" ] || { log "no source package $pkg"; exit 1; }
    prefix="$CACHE/deps/$name-$ver-$KEY"
    if [ ! -f "$prefix/.done" ]; then
        src="$(fetch_source "$pkg" "$ver")"
        log "building $name $ver (first time only)"
        rm -rf "$prefix"
        start=$(date +%s)
        "build_$name" "$src" "$prefix"
        touch "$prefix/.done"
        log "$name built in $(( $(date +%s) - start )) s"
    fi
    echo "$name=$prefix"
done

# GoogleTest comes from Debian's googletest package (sources in /usr/src).
gtver="$(dpkg-query -W -f='${Version}' googletest)"
prefix="$CACHE/deps/googletest-$gtver-gcc$COMPILER"
if [ ! -f "$prefix/.done" ]; then
    log "building googletest $gtver (first time only)"
    rm -rf "$prefix"
    build_googletest /usr/src/googletest "$prefix"
    touch "$prefix/.done"
fi
echo "googletest=$prefix"
echo "casealias=$CASEDIR"
