#!/bin/bash
# Renders the program's five windows from the built PylonixClient.exe into
# docs/ (the pictures the README shows):
#   tools/make-pictures.sh [BUILD_DIR] [OUT_DIR]     (after ./pylonix build)
# Each picture is SkinView's off-screen rendering of the window's document,
# with the controls in the state the program first shows them.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
OUT="${2:-$ROOT/docs}"
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"

source "$ROOT/scripts/wine-env.sh"
# The project's prefix, or the one PYLONIX_PREFIX names (as scripts/wine-run).
export PYLONIX_PREFIX="${PYLONIX_PREFIX:-$BUILD/wine/win64}"
wine_setup win64 "$PYLONIX_PREFIX" >/dev/null 2>&1 || true
ensure_display "$PYLONIX_PREFIX" >/dev/null

picture() {  # NAME DOCUMENT [SkinView options...]
    local name="$1" doc="$2"; shift 2
    "$ROOT/scripts/wine-run" "$BUILD/bin/SkinView.exe" "$doc" "$(winepath -w "$OUT/$name.png" 2>/dev/null)" "$@" \
        | tr -d '\r' | sed "s/^/$name: /"
}

# The main window on its first page, its tab button pushed as the window shows it.
picture main-window 105 --push 6
picture settings-dialog 107
picture close-prompt 108
picture message-box 115 --text 101=提示 --text "102=服务器地址、端口、虚拟目录均不能为空"
picture tray-menu 602
