#!/bin/sh
# Builds the MSI package from the programs in BIN_DIR:
#   installer/build-msi.sh VERSION BIN_DIR OUT.msi
# VERSION is the product version (a higher one upgrades, its first three
# fields count). wixl finds sources by relative paths only, so it runs in
# BIN_DIR.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
version="$1" bin="$(cd "$2" && pwd)" out="$3"
case "$out" in /*) ;; *) out="$(pwd)/$out" ;; esac
icon="$(realpath --relative-to="$bin" "$here/../gui/res/pylonix.ico")"
cd "$bin"
wixl -a x86 -D Version="$version" -D Bin=. -D Icon="$icon" -o "$out" "$here/PylonixClient.wxs"
