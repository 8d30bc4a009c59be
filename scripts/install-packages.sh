#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need.
# Quick when everything is already there: dpkg is asked first, apt only
# when something is missing.
set -eu

PACKAGES="
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev mingw-w64-tools libz-mingw-w64-dev
  cmake ninja-build make pkg-config dpkg-dev python3 file curl iproute2
  wixl msitools osslsigncode openssl
  wine wine64 wine32:i386
  xvfb xauth x11-utils xdotool imagemagick fonts-wqy-zenhei locales
  libpoco-dev libboost-dev libtinyxml-dev clang googletest nsis
  postgresql chromium
"

# Wine takes the Windows code page and interface language from the locale:
# Chinese (code page 936) and English must both exist.
ensure_locales() {
    local want="zh_CN.UTF-8 en_US.UTF-8" have changed=0
    have="$(locale -a 2>/dev/null | tr 'A-Z' 'a-z')"
    for l in $want; do
        echo "$have" | grep -qx "$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')" && continue
        grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" >> /etc/locale.gen
        changed=1
    done
    [ "$changed" = 0 ] || locale-gen >/dev/null
}

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed'; then
        missing="$missing $p"
    fi
done
if [ -z "$missing" ]; then ensure_locales; exit 0; fi

echo "pylonix: installing Debian packages:$missing"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends $missing
ensure_locales
