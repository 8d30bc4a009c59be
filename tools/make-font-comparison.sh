#!/bin/bash
# The program's 12-pixel Chinese text with the face that stood in for "宋体"
# before (WenQuanYi Zen Hei) and with the prefix's own (scripts/wine-env.sh,
# PYLONIX_SONG_FACE), side by side, at 1:1 and enlarged 3 times, into
# docs/fonts-12px.png:
#   tools/make-font-comparison.sh [BUILD_DIR] [OUT.png]     (after ./pylonix build)
# Each side is a fresh copy of the template prefix; the "before" copy gets
# the former replacement back. The windows are SkinView's off-screen
# renderings of the main window's check page and network page, cut to the
# caption's subtitle, the introduction's lines and the connection texts.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
OUT="${2:-$ROOT/docs/fonts-12px.png}"
OLD_FACE="WenQuanYi Zen Hei"
WORK="$BUILD/font-comparison"
rm -rf "$WORK"; mkdir -p "$WORK"

source "$ROOT/scripts/wine-env.sh"
ensure_i386_exec

render() {  # SIDE: the two pages in a prefix of its own
    local side="$1"
    local dir="$WORK/$side/prefix"
    wine_fresh_prefix win64 "$dir"
    (
        wine_base_env win64 "$dir"
        export WINEPREFIX="$dir"
        ensure_display "$dir" >/dev/null
        if [ "$side" = before ]; then
            wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v '宋体' /t REG_SZ /d "$OLD_FACE" /f >/dev/null 2>&1
            wineserver -w
        fi
        local out
        out="$(winepath -w "$WORK/$side" 2>/dev/null)"
        wine "$BUILD/bin/SkinView.exe" 105 "$out\\check.png" --push 6 >/dev/null 2>&1
        wine "$BUILD/bin/SkinView.exe" 105 "$out\\network.png" --push 7 --page 103=1 \
            --text 1147=127.0.0.1 --text 1149=127.0.0.1 --text 11412=客户端与服务器为局域网 >/dev/null 2>&1
        wineserver -k 2>/dev/null || true
        stop_display "$dir"
    )
    [ -s "$WORK/$side/check.png" ] && [ -s "$WORK/$side/network.png" ] || {
        echo "make-font-comparison: SkinView drew nothing for the $side side" >&2; return 1; }
}
render before
render after

# The places of the 12-pixel texts in the 800x500 main window.
crops() {  # SIDE -> one column of the three cuts, 1:1
    local d="$WORK/$1"
    convert \( "$d/check.png" -crop 190x14+52+29 +repage \) \
            \( "$d/check.png" -crop 320x92+228+178 +repage \) \
            \( "$d/network.png" -crop 330x66+30+178 +repage \) \
            \( "$d/network.png" -crop 260x70+30+280 +repage \) \
            -background white -splice 0x6 -append "$d/cut.png"
}
crops before
crops after

label() { convert -background white -fill black -font DejaVu-Sans -pointsize 13 label:"$1" "$2"; }
label "before: \"$OLD_FACE\"" "$WORK/l-before.png"
label "after: \"$PYLONIX_SONG_FACE\"" "$WORK/l-after.png"
label "1:1" "$WORK/l-1.png"
label "3x (nearest neighbour)" "$WORK/l-3.png"
for side in before after; do
    convert "$WORK/l-$side.png" "$WORK/$side/cut.png" -background white -append "$WORK/$side/col1.png"
    convert "$WORK/l-$side.png" \( "$WORK/$side/cut.png" -filter point -resize 300% \) -background white -append "$WORK/$side/col3.png"
done
convert \( "$WORK/l-1.png" \( "$WORK/before/col1.png" "$WORK/after/col1.png" -background white -splice 16x0 +append \) -append \) \
        \( "$WORK/l-3.png" \( "$WORK/before/col3.png" "$WORK/after/col3.png" -background white -splice 16x0 +append \) -append \) \
        -background white -splice 0x12 -append -bordercolor white -border 8 -strip "$OUT"
echo "$OUT"
