#!/bin/bash
# End to end: the program's main window used as a person would, with real
# clicks at the controls' places under X, against the demo server. Reads
# back screenshots, the log, the registry and the files.
#   mainwindow.sh BUILD_DIR [SHOTS_DIR]
# SHOTS_DIR receives the screenshots of each state (tools/make-screenshots.sh
# puts them under docs/).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)" ARCH=win64
WORK="$BUILD/e2e/mainwindow"
SHOTS="${2:-$WORK/shots}"
mkdir -p "$SHOTS"; SHOTS="$(cd "$SHOTS" && pwd)"
failures=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi; }

# A display of its own, with nothing else on it: the test runner's Wine
# desktop (another prefix) on the same screen takes the activation away.
unset DISPLAY
# The test components and installer stand-in are served from the build.
start_demo_server "$BUILD" "$WORK/server" --root "$BUILD/demo-root"
trap 'kill $DEMO_PID $DEMO2_PID 2>/dev/null; wineserver -k 2>/dev/null; stop_display "$WORK/prefix"' EXIT
new_prefix "$ARCH" "$WORK/prefix" "$BUILD"
write_local_ini 127.0.0.1 "$DEMO_PORT"
# The user's own lines, which saving the settings must keep; the
# IP-information service of the demo server.
printf 'ipinfo_host=127.0.0.1:%s\r\n[other]\r\nkeep=me\r\n' "$DEMO_PORT" >> "$APP_DIR/local.ini"
# The same demo server's content at a second loopback address, for a
# server changed in the settings dialog.
"$BUILD/demoserver/pylonix-demo-server" --host 127.0.0.2 --port "$DEMO_PORT" --root "$BUILD/demo-root" \
    > "$WORK/server2.log" 2>&1 &
DEMO2_PID=$!
SYS="$(system_folder)"
# The cache cleaning starts rundll32 with the Internet-options applet, which
# crashes under Wine; the debugger's console would then cover the screen.
for view in /reg:64 /reg:32; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d "" /f $view >/dev/null 2>&1 || true
done
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
# Wine's desktop, with its tray, before the program: as on a logged-in desktop.
wine explorer.exe /desktop > /dev/null 2>&1 &
xdotool mousemove 1270 1000

# Places of the controls in the window (800 x 500).
START="400 395" REPAIR="728 110" STOP="728 110" CLEAN="400 395"
TAB_CHECK="85 71" TAB_NET="216 71" TAB_CACHE="345 71" MINIMISE="697 17"
px() { convert "$1" -format "%[hex:p{$2,$3}]" info: 2>/dev/null | cut -c1-6; }
blue() { local p; p="$(px "$@")"; [ "${p:0:2}" \< 60 ] && [ "${p:4:2}" \> B0 ]; }
shot() { client_shot "$SHOTS/$1.png"; }
# The wheel over the rows, down to the end of the list.
scroll_rows() {
    client_click 400 300
    xdotool click --repeat 6 --delay 50 5
    sleep 0.5
}
ended() { log_text | tr -d '\r' | grep -o "check run $1 ended after [0-9]* ms: .*" | head -1; }
# wait_until COMMAND [SECONDS]: polls the condition, as a person watching would.
wait_until() {
    local end=$((SECONDS + ${2:-60}))
    until eval "$1"; do [ $SECONDS -lt $end ] || return 1; sleep 0.1; done
}

# As it opens: page 0 with its introduction and the start button.
start_client
check "the window shows" 'wait_log "main window shown" && wait_until "[ -n \"\$(client_window)\" ]" 10'
# Without a window manager Wine keeps its tray in a small window at the
# top left, over the program's logo: it goes to the bottom right, where a
# taskbar's notification area would be.
tray_aside() {
    wait_until '[ -n "$(visible_window "Wine System Tray")" ]' 10 || return 1
    xdotool windowmove "$(visible_window "Wine System Tray")" 1110 1000
}
check "the tray icon is added" 'tray_aside'
sleep 0.5
shot 1-introduction
check "introduction: the start button is blue" 'blue "$SHOTS/1-introduction.png" 340 395'

# The start button: nine rows, the bar full, the busy animation gone.
client_click $START
check "the check runs to its end" 'wait_log "check run 1 ended" 120'
scroll_rows  # the last rows, where the failed ones are
shot 2-checked
echo "     $(ended 1)"
check "nine rows, progress 100" 'ended 1 | grep -q ": 9 rows (.*), progress 100$"'
check "checked: the progress bar is full" 'blue "$SHOTS/2-checked.png" 500 111'
check "checked: the repair button is shown (orange)" '[ "$(px "$SHOTS/2-checked.png" 700 110 | cut -c1-2)" \> E0 ]'
failed="$(ended 1 | sed 's/.*(\(.*\)).*/\1/' | tr -cd F | wc -c)"
check "a fresh profile fails some rows" '[ "$failed" -ge 1 ]'

# One-click repair: settings written, components fetched and registered.
client_click $REPAIR
check "every failed row gets its result" \
    'wait_until "[ \$(log_text | grep -c \"check row [0-9]* repaired:\") -ge $failed ]" 180'
scroll_rows
shot 3-repaired
check "every repair passed" '! log_text | grep "check row [0-9]* repaired:" | grep -v -q "repaired: passed"'
IE='HKCU\Software\Microsoft\Internet Explorer'
check "browser settings written" 'wine reg query "$IE\New Windows\Allow" /v 127.0.0.1 2>/dev/null | grep -q REG_BINARY'
check "components in $(basename "$SYS")" '[ -s "$SYS/PylonixPrint.ocx" ] && [ -s "$SYS/PylonixReport.dll" ] && [ -s "$SYS/PylonixCharts.ocx" ]'
check "no partial download left" '[ -z "$(ls "$SYS"/*.download 2>/dev/null)" ]'

# A second check passes them all.
client_click $TAB_CHECK
client_click $START
check "the second check runs" 'wait_log "check run 2 ended" 120'
echo "     $(ended 2)"
check "the second check passes every row" 'ended 2 | grep -q ": 9 rows (PPPPPPPPP), progress 100$"'

# Stop in the middle, start again at once: exactly one run's rows.
client_click $TAB_CHECK
client_click $START
wait_log "check run 3 started" 30 || true
client_click $STOP
check "the stopped run ends where it was" 'wait_log "check run 3 stopped after" 30'
client_click $TAB_CHECK
client_click $START
check "the next run ends" 'wait_log "check run 4 ended" 120'
echo "     $(log_text | grep -o "check run 3 stopped.*") / $(ended 4)"
check "the next run shows exactly its nine rows" 'ended 4 | grep -q ": 9 rows (PPPPPPPPP), progress 100$"'
check "the stopped run never ends" '! log_text | grep -q "check run 3 ended"'
shot 4-after-stop

# Pages: away and back gives the introduction again.
client_click $TAB_NET
sleep 0.3
shot 5-network-page
client_click $TAB_CHECK
sleep 0.3
shot 6-back-to-introduction
check "back on page 0: the introduction again" 'blue "$SHOTS/6-back-to-introduction.png" 340 395'

# The network page: the download test on a link the server holds at
# 16 MiB/s (two seconds for its 32 MiB), switching pages meanwhile, then
# the upload of a file chosen in the standard file dialog by typing its path.
SPEED_FILE=/norvik/Download/IE/IE8-WindowsServer2003-x86-CHS.exe RATE=16777216
demo_control "/_demo/fault?path=$SPEED_FILE&mode=rate:$RATE"
client_click $TAB_NET
client_click 205 448
sleep 1
shot 12-network-testing
client_click $TAB_CHECK
client_click $TAB_NET
check "the download test ends" 'wait_log "download speed test ended:" 60'
figure="$(log_text | tr -d '\r' | grep -o 'download speed test ended: [0-9]*KB/s' | grep -o '[0-9]*' | head -1)"
echo "     download figure ${figure}KB/s on a link of $((RATE / 1024))KB/s"
check "the figure is the link's rate within 5%" '[ -n "$figure" ] && [ "$figure" -ge $((RATE / 1024 * 95 / 100)) ] && [ "$figure" -le $((RATE / 1024 * 105 / 100)) ]'
demo_control "/_demo/fault?path=$SPEED_FILE&mode=normal"
head -c 3000000 /dev/urandom > "$WINEPREFIX/drive_c/upload.bin"
client_click 291 297
check "the upload button opens the file dialog" 'wait_window 打开'
# The dialog opens with its file-name box focused; without a window
# manager the keyboard must be given to it.
[ -z "$(visible_window 打开)" ] || xdotool windowfocus "$(visible_window 打开)"
xdotool type --delay 20 'C:\upload.bin'; xdotool key Return
check "the upload test ends" 'wait_log "upload speed test ended:" 60'
echo "     $(log_text | tr -d '\r' | grep -o 'upload speed test ended: .*' | head -1)"
check "the server received the whole file" 'curl -fsS "http://127.0.0.1:$DEMO_PORT/_demo/upload" | grep -q " complete"'
sleep 0.5
shot 13-network-tested

# Minimise: gone from the screen; the tray icon's double click brings it back.
client_click $MINIMISE
check "minimised: no window" 'wait_until "[ -z \"\$(client_window)\" ]" 10'
tray="$(visible_window "Wine System Tray")"
check "the tray still holds the icon" '[ -n "$tray" ]'
if [ -n "$tray" ]; then
    eval "$(xdotool getwindowgeometry --shell "$tray")"
    xdotool mousemove $((X + 10)) $((Y + 10)); sleep 0.2; xdotool click --repeat 2 --delay 80 1
fi
check "a tray double click brings it back" 'wait_until "[ -n \"\$(client_window)\" ]" 10'

# The settings dialog: an empty field is refused and changes nothing; a new
# server is saved, trusted, and the next check uses it.
SETUP=系统设置 WARNING=警告 PROMPT=关闭提示
ADDRESS="240 99" PORT_BOX="240 135" CONFIRM="150 211"
ini_before="$(md5sum < "$APP_DIR/local.ini")"
client_click 658 17
check "the settings dialog opens from its button" 'wait_window $SETUP'
sleep 0.5
window_shot() { local w; w="$(visible_window "$1")"; [ -n "$w" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$w")"; import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$SHOTS/$2.png"; }
window_shot $SETUP 9-settings-dialog
window_click $SETUP $ADDRESS; xdotool key End shift+Home BackSpace
window_click $SETUP $CONFIRM
check "an empty field is refused with a warning" 'wait_window $WARNING 10'
box="$(visible_window $WARNING)"
if [ -n "$box" ]; then eval "$(xdotool getwindowgeometry --shell "$box")"; window_click $WARNING $((WIDTH / 2)) $((HEIGHT - 20)); fi
check "the refusal writes nothing" '[ "$(md5sum < "$APP_DIR/local.ini")" = "$ini_before" ]'
check "the dialog stays open" '[ -n "$(visible_window $SETUP)" ]'
window_click $SETUP $ADDRESS; xdotool key End shift+Home BackSpace; xdotool type --delay 30 127.0.0.2
window_click $SETUP $PORT_BOX; xdotool key End shift+Home BackSpace; xdotool type --delay 30 "$DEMO_PORT"
window_click $SETUP $CONFIRM
check "confirming closes the dialog" 'wait_until "[ -z \"\$(visible_window $SETUP)\" ]" 10'
ini="$(tr -d '\r' < "$APP_DIR/local.ini")"
check "local.ini holds the new server" 'grep -qx "server_addr=127.0.0.2" <<<"$ini" && grep -qx "server_port=$DEMO_PORT" <<<"$ini"'
check "local.ini keeps the user's other lines" 'grep -qx "keep=me" <<<"$ini" && grep -qx "ipinfo_host=127.0.0.1:$DEMO_PORT" <<<"$ini"'
check "the new server is a trusted site" \
    'wine reg query "HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\ZoneMap\Ranges" /s 2>/dev/null | grep -q "127\.0\.0\.2"'
check "its address and carriers are looked up" 'wait_log "server address 127.0.0.2: ip 127.0.0.2, carriers looked up" 30'
client_click $TAB_CHECK
client_click $START
check "the next check runs against it" 'wait_log "check run 5 ended" 120 && ended 5 | grep -q ": 9 rows (PPPPPPPPP), progress 100$"'
echo "     $(ended 5)"
# With the new server gone (the old one still up) the check cannot reach it.
kill $DEMO2_PID; wait $DEMO2_PID 2>/dev/null || true
client_click $TAB_CHECK
client_click $START
check "with the new server down, the check stops at its connectivity row" \
    'wait_log "check run 6 ended" 120 && ended 6 | grep -q ": 2 rows (PF), progress 22$"'

# The close prompt: cancel keeps the window; the tray choice hides it.
client_click 775 17
check "the close button asks" 'wait_window $PROMPT'
sleep 0.5
window_shot $PROMPT 10-close-prompt
window_click $PROMPT 200 170
check "cancel keeps the window" 'wait_until "[ -z \"\$(visible_window $PROMPT)\" ]" 10 && [ -n "$(client_window)" ]'
# The cache page's button starts the cleaning.
client_click $TAB_CACHE
sleep 0.3
shot 7-cache-page
client_click $CLEAN
check "the cache cleaning is started, four times" \
    'wait_until "[ \$(log_text | grep -c \"ClearIECache: rundll32.exe InetCpl.cpl,ClearMyTracksByProcess [0-9]* started\") = 4 ]" 30'

client_click 775 17
check "the close button asks again" 'wait_window $PROMPT'
sleep 0.3
window_click $PROMPT 47 87
window_click $PROMPT 100 170
check "the tray choice hides the window" 'wait_until "[ -z \"\$(client_window)\" ]" 10 && kill -0 $CLIENT_PID && wait_log "close prompt: hide to the tray" 5'
[ -z "$(client_window)" ] || import -window root "$WORK/tray-choice-failed.png"

# The tray icon's right click: the menu; "退出" ends the program.
tray="$(visible_window "Wine System Tray")"
if [ -n "$tray" ]; then
    eval "$(xdotool getwindowgeometry --shell "$tray")"
    xdotool mousemove $((X + 10)) $((Y + 10)); sleep 0.2; xdotool click 3
fi
menu_window() {  # the untitled popup of the program
    local w
    for w in $(xdotool search --onlyvisible --classname pylonixclient.exe 2>/dev/null); do
        [ -z "$(xdotool getwindowname "$w" 2>/dev/null)" ] || continue
        eval "$(xdotool getwindowgeometry --shell "$w")"; [ "$HEIGHT" -gt 60 ] && { echo "$w"; return; }
    done
}
check "a right click on the tray icon opens the menu" 'wait_until "[ -n \"\$(menu_window)\" ]" 10'
menu="$(menu_window)"
if [ -n "$menu" ]; then
    eval "$(xdotool getwindowgeometry --shell "$menu")"
    # The pointer over the menu, away from the tray icon's tooltip.
    xdotool mousemove $((X + WIDTH / 2)) $((Y + 39)); sleep 0.4
    import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" +repage "$SHOTS/11-tray-menu.png"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + 74)); sleep 0.2; xdotool click 1
fi
set +e
end=$((SECONDS + 30)); while kill -0 "$CLIENT_PID" 2>/dev/null && [ $SECONDS -lt $end ]; do sleep 0.1; done
wait "$CLIENT_PID"; CLIENT_RC=$?
set -e
check "退出 ends the program with 0" '[ "$CLIENT_RC" = 0 ]'
check "the tray icon is gone" 'wait_until "[ -z \"\$(visible_window \"Wine System Tray\")\" ]" 10'

# An unreachable server: two rows, the bar stops at 22.
write_local_ini 127.0.0.1 "$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
rm -f "$(log_file)"
start_client
# The component list cannot be fetched: the program says so in a message
# box before its window; a person clicks its OK button.
box() { visible_window 警告; }
check "unreachable: the message box comes" 'wait_until "[ -n \"\$(box)\" ]" 60'
if [ -n "$(box)" ]; then
    eval "$(xdotool getwindowgeometry --shell "$(box)")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 20)); sleep 0.2; xdotool click 1
fi
wait_log "main window shown" || true
wait_until '[ -n "$(client_window)" ]' 10 || true
tray_aside || true
client_click $START
check "unreachable: the run ends" 'wait_log "check run 1 ended" 120'
sleep 0.5
shot 8-unreachable-server
echo "     $(ended 1)"
check "unreachable: two rows, progress 22" 'ended 1 | grep -q ": 2 rows (PF), progress 22$"'
close_client
check "the close prompt's exit ends the program with 0" '[ "$CLIENT_RC" = 0 ]'
check "and takes the tray icon away" 'wait_until "[ -z \"\$(visible_window \"Wine System Tray\")\" ]" 10'

if [ "$failures" -ne 0 ]; then
    echo "--- log ---"; log_text || true; echo "--- program output ---"; cat "$WINEPREFIX/client.out"
    exit 1
fi
