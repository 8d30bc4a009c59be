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
# A prefix of its own (and, in the test run, a display of its own), so that
# it runs beside the other tests; ending its Wine server ends its windows.
export PYLONIX_PREFIX="$BUILD/wine/e2e-skinview"
wine_setup win64 "$PYLONIX_PREFIX"
trap 'wineserver -k 2>/dev/null; stop_display "$PYLONIX_PREFIX"' EXIT

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

# Used as a person uses it: real pointer and keys on the window under Xvfb.
# Each step waits (with a deadline) until the screen shows its effect.
ensure_display "$PYLONIX_PREFIX" >/dev/null
"$ROOT/scripts/wine-run" "$BUILD/bin/SkinView.exe" "$(win "$POOLS/layer.xml")" "$(win "$WORK/held.png")" \
    --pools "$(win "$POOLS")" --hold >/dev/null 2>&1 &
window=""
for _ in $(seq 100); do window="$(xdotool search --name '系统设置' 2>/dev/null | head -1 || true)"; [ -n "$window" ] && break; sleep 0.2; done
origin() { xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p'; }
# screen_is X Y RRGGBB: the pixel at (X, Y) of the window turns that colour within 10 s.
screen_is() {
    local ox oy
    read -r ox oy < <(origin)
    for _ in $(seq 50); do
        [ "$(import -window root -crop "1x1+$((ox + $1))+$((oy + $2))" -depth 8 -format '%[hex:p{0,0}]' info: 2>/dev/null | cut -c1-6)" = "$3" ] && return 0
        sleep 0.2
    done
    return 1
}
at() { local ox oy; read -r ox oy < <(origin); xdotool mousemove $((ox + $1)) $((oy + $2)); }
check "the window opens for use" '[ -n "$window" ]'
if [ -n "$window" ]; then
    check "as it opens: first tab selected, box checked" 'screen_is 160 45 DCE8F5 && screen_is 34 157 2E7BD0'
    at 130 52; xdotool click 1
    check "a click on the second tab shows its page" 'screen_is 160 45 FFFFFF && screen_is 33 86 FFFFFF'
    at 33 86; xdotool click 1
    check "a click on a radio button checks it" 'screen_is 33 86 2E7BD0'
    at 55 52; xdotool click 1
    at 34 157; xdotool click 1
    check "back on the first tab, a click clears the box" 'screen_is 160 45 DCE8F5 && screen_is 34 157 FFFFFF'
    read -r x0 y0 < <(origin)
    xdotool mousemove $((x0 + 150)) $((y0 + 15)) mousedown 1 sleep 0.2 mousemove $((x0 + 200)) $((y0 + 65)) \
        sleep 0.2 mousemove $((x0 + 250)) $((y0 + 115)) sleep 0.2 mouseup 1
    moved() { read -r x1 y1 < <(origin); [ "$x1" = $((x0 + 100)) ] && [ "$y1" = $((y0 + 100)) ]; }
    check "the caption drags the window" 'for _ in $(seq 50); do moved && break; sleep 0.2; done; moved'
    import -window root -crop "400x250+$((x0 + 100))+$((y0 + 100))" "$WORK/used.png"
fi

echo "pictures: $WORK/offscreen.png $WORK/window.png $WORK/used.png"
[ "$failures" = 0 ]
