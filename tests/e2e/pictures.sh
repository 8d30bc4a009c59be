#!/bin/bash
# End to end: the program's five windows rendered by SkinView from the built
# PylonixClient.exe, off screen and in real windows. Both pictures must be
# the same pixels (but for native edit boxes), and telling places must show
# what the resources say. Then the settings dialog is used with the keyboard.
#   pictures.sh BUILD_DIR
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(cd "$1" && pwd)"
WORK="$BUILD/e2e/pictures"
failures=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi; }

source "$ROOT/scripts/wine-env.sh"
# A prefix of its own (and, in the test run, a display of its own), so that
# it runs beside the other tests; ending its Wine server ends its windows.
export PYLONIX_PREFIX="$BUILD/wine/e2e-pictures"
trap 'wineserver -k 2>/dev/null; stop_display "$PYLONIX_PREFIX"' EXIT
rm -rf "$WORK"; mkdir -p "$WORK/off" "$WORK/on"
"$ROOT/tools/make-pictures.sh" "$BUILD" "$WORK/off" >/dev/null
wine_setup win64 "$PYLONIX_PREFIX"
win() { winepath -w "$1" 2>/dev/null; }
view() { "$ROOT/scripts/wine-run" "$BUILD/bin/SkinView.exe" "$@" | tr -d '\r'; }

# The windows open at the screen's top-left corner: the pointer, wherever an
# earlier test left it, must not hover over a control there.
ensure_display "$PYLONIX_PREFIX" >/dev/null
xdotool mousemove 1270 1000
view 105 "$(win "$WORK/on/main-window.png")" --push 6 --window >/dev/null
view 107 "$(win "$WORK/on/settings-dialog.png")" --window >/dev/null
view 108 "$(win "$WORK/on/close-prompt.png")" --window >/dev/null
view 115 "$(win "$WORK/on/message-box.png")" --text 101=提示 --text "102=服务器地址、端口、虚拟目录均不能为空" --window >/dev/null
view 602 "$(win "$WORK/on/tray-menu.png")" --window >/dev/null
# The main window checking: the progress bar half way.
running=(--push 6 --hide 9 --hide 1132 --hide 1133 --hide 1134 --hide 1135 --hide 1136 --hide 1137
         --show 1130 --show 1139 --show 1138 --show 1131 --show 13 --value 1130=50)
view 105 "$(win "$WORK/off/checking.png")" "${running[@]}" >/dev/null
view 105 "$(win "$WORK/on/checking.png")" "${running[@]}" --window >/dev/null

px() { convert "$1" -format "%[hex:p{$2,$3}]" info: 2>/dev/null | cut -c1-6; }
same() {  # NAME [MASK RECTANGLE]: on screen exactly as off screen
    local a="$WORK/off/$1.png" b="$WORK/on/$1.png"
    if [ -n "${2:-}" ]; then
        convert "$a" -fill black -draw "rectangle $2" "$WORK/a.png"; a="$WORK/a.png"
        convert "$b" -fill black -draw "rectangle $2" "$WORK/b.png"; b="$WORK/b.png"
    fi
    [ "$(compare -metric AE "$a" "$b" null: 2>&1 || true)" = 0 ]
}
for name in main-window close-prompt message-box tray-menu checking; do
    check "$name: the window shows the off-screen picture" "same $name"
done
# The three boxes are native edit windows on screen.
check "settings-dialog: the window shows the off-screen picture" 'same settings-dialog "112,86 372,184"'

for side in off on; do
    m="$WORK/$side/main-window.png" c="$WORK/$side/checking.png"
    s="$WORK/$side/settings-dialog.png" p="$WORK/$side/close-prompt.png"
    check "$side: caption band is blue" '[ "$(px "$m" 500 45 | cut -c1-2)" \< 40 ] && [ "$(px "$m" 500 45 | cut -c5-6)" \> B0 ]'
    check "$side: the first page's tab button is pushed, the second is not" \
        '[ "$(px "$m" 80 89)" = FFFFFF ] && [ "$(px "$m" 200 89)" != FFFFFF ]'
    check "$side: the progress bar is filled half way" \
        '[ "$(px "$c" 100 111)" = 2D7DD2 ] && [ "$(px "$c" 500 111)" = E6EBF0 ]'
    check "$side: the settings dialog's first tab is selected" \
        '[ "$(px "$s" 50 43)" = 2D7DD2 ] && [ "$(px "$s" 140 56)" = EEF2F6 ]'
    check "$side: the close prompt preselects closing the program" \
        '[ "$(px "$p" 48 114)" = 2D7DD2 ] && [ "$(px "$p" 48 88)" = FFFFFF ]'
done

# Used as a person would: the settings dialog held open, a click into the
# address box, a word typed, Tab to the port box, digits typed.
"$ROOT/scripts/wine-run" "$BUILD/bin/SkinView.exe" 107 "$(win "$WORK/held.png")" --hold >/dev/null 2>&1 &
window=""
for _ in $(seq 100); do window="$(xdotool search --name '系统设置' 2>/dev/null | head -1 || true)"; [ -n "$window" ] && break; sleep 0.2; done
check "the settings dialog opens for use" '[ -n "$window" ]'
if [ -n "$window" ]; then
    read -r ox oy < <(xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
    # darkest X Y W H: 0 when the screen shows a dark pixel there, else 1.
    darkest() {
        import -window root "$WORK/screen.png" 2>/dev/null
        convert "$WORK/screen.png" -crop "$3x$4+$((ox + $1))+$((oy + $2))" -colorspace gray \
            -threshold 50% -format '%[fx:minima]' info: 2>/dev/null
    }
    ink() {  # X Y W H: the screen shows dark pixels there within 10 s
        for _ in $(seq 50); do [ "$(darkest "$@")" = 0 ] && return 0; sleep 0.2; done
        return 1
    }
    # X Y W H: no dark pixel there within 10 s. A part of the window not yet
    # painted shows black for a moment (more so on a busy machine), so a box
    # is empty once it shows no ink; one holding text never gets there.
    blank() {
        for _ in $(seq 50); do [ "$(darkest "$@")" = 1 ] && return 0; sleep 0.2; done
        return 1
    }
    # A window just mapped shows black until it paints: wait for its body.
    painted() {
        for _ in $(seq 50); do
            import -window root "$WORK/screen.png" 2>/dev/null
            [ "$(convert "$WORK/screen.png" -format "%[hex:p{$((ox + 300)),$((oy + 125))}]" info: 2>/dev/null | cut -c1-6)" = FFFFFF ] && return 0
            sleep 0.2
        done
        return 1
    }
    check "the settings dialog paints" 'painted'
    check "the port box starts empty" 'blank 118 124 240 22'
    xdotool mousemove $((ox + 200)) $((oy + 99)) click 1
    sleep 0.5
    xdotool type --delay 50 srv
    xdotool key Tab
    xdotool type --delay 50 8080
    check "Tab moves from the address box to the port box" 'ink 118 92 240 16 && ink 118 124 240 22'
    import -window root -crop "400x250+$ox+$oy" "$WORK/used.png"
fi

echo "pictures: $WORK/off $WORK/on $WORK/used.png"
[ "$failures" = 0 ]
