#!/bin/bash
# End to end: SkinView renders the sample layout off screen and in its own
# window; both pictures must be the same pixels, and those pixels must be
# what the layout says.
#   skinview.sh BUILD_DIR
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(cd "$1" && pwd)"
WORK="$BUILD/e2e/skinview"
POOLS="$WORK/pools"
failures=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi; }

rm -rf "$WORK"; mkdir -p "$POOLS"
cp "$ROOT"/tests/fixtures/skinsample/*.xml "$POOLS/"
# The images, one colour per region so that pixels can be told apart.
img() { local out="$1"; shift; convert "$@" "PNG32:$POOLS/$out"; }
img 1.png -size 60x60 xc:'#1E4E80' -fill '#2B6CB0' -draw 'rectangle 0,0 59,31' \
    -fill '#F7FAFD' -draw 'rectangle 6,32 53,53'
img 2.png -size 117x32 xc:'#2B6CB0' -fill '#E04343' -draw 'rectangle 39,0 77,31' \
    -fill '#B02020' -draw 'rectangle 78,0 116,31' -fill white -draw 'rectangle 15,14 23,17'
img 3.png -size 20x14 xc:'#A0A0A0' -fill '#EEEEEE' -draw 'rectangle 3,3 16,10'
img 4.png -size 20x14 xc:'#1F5FA8' -fill '#2E7BD0' -draw 'rectangle 3,3 16,10'
img 5.png -size 56x14 xc:'#707070' -fill white -draw 'rectangle 1,1 12,12' -draw 'rectangle 15,1 26,12' \
    -draw 'rectangle 29,1 40,12' -draw 'rectangle 43,1 54,12' -fill '#2E7BD0' -draw 'rectangle 32,4 37,9' \
    -draw 'rectangle 46,4 51,9'
img 6.png -size 56x14 xc:none -fill white -stroke '#707070' -draw 'circle 6,6 6,0' -draw 'circle 20,6 20,0' \
    -draw 'circle 34,6 34,0' -draw 'circle 48,6 48,0' -stroke none -fill '#2E7BD0' -draw 'circle 34,6 34,3' \
    -draw 'circle 48,6 48,3'
img 7.png -size 240x26 xc:'#DCE8F5' -fill '#EAF2FB' -draw 'rectangle 80,0 159,25' -fill white \
    -draw 'rectangle 160,0 239,25' -fill '#A8C4E0' -draw 'rectangle 0,25 239,25'

win() { winepath -w "$1" 2>/dev/null; }
run_view() { "$ROOT/scripts/wine-run" "$BUILD/bin/SkinView.exe" "$(win "$POOLS/layer.xml")" "$(win "$1")" \
    --pools "$(win "$POOLS")" "${@:2}" 2>"$1.err" | tr -d '\r'; }
source "$ROOT/scripts/wine-env.sh"
wine_base_env win64 "$BUILD/wine/win64" >/dev/null 2>&1 || true
export WINEPREFIX="$BUILD/wine/win64"

off="$(run_view "$WORK/offscreen.png")"
shown="$(run_view "$WORK/window.png" --window)"
check "off screen: 400 x 250" '[ "$off" = "400 x 250" ]'
check "in a window: 400 x 250" '[ "$shown" = "400 x 250" ]'

px() { convert "$WORK/offscreen.png" -format "%[hex:p{$1,$2}]" info: 2>/dev/null | cut -c1-6; }
# The two input fields are native edit windows on screen and drawn text off
# screen: they are left out of the comparison.
mask() { convert "$1" -fill black -draw 'rectangle 111,76 374,134' "$2"; }
mask "$WORK/offscreen.png" "$WORK/offscreen-masked.png"
mask "$WORK/window.png" "$WORK/window-masked.png"
diff_px="$(compare -metric AE "$WORK/offscreen-masked.png" "$WORK/window-masked.png" null: 2>&1 || true)"
check "the window shows exactly the off-screen picture (differing pixels: $diff_px)" '[ "$diff_px" = 0 ]'
# The frame: caption band at the top-left corner, border at the bottom-left,
# the close button's normal state against the right edge.
check "caption band" '[ "$(px 100 2)" = 2B6CB0 ]'
check "frame border" '[ "$(px 2 200)" = 1E4E80 ]'
check "close button" '[ "$(px 380 2)" = 2B6CB0 ] && [ "$(px 380 15)" = FFFFFF ]'
# The bar spans x 16..384; 64 % of 368 pixels ends at 251, its frame's right
# band just before; the frame's fill colour covers its centre.
check "progress bar filled to 64 %" '[ "$(px 30 199)" = 3C9AE8 ] && [ "$(px 250 199)" = 1F5FA8 ] && [ "$(px 251 199)" = EEEEEE ]'

echo "pictures: $WORK/offscreen.png $WORK/window.png"
[ "$failures" = 0 ]
