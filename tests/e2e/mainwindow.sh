#!/bin/bash
# End to end: the main window and its dialogs used as a person would, with
# real clicks and keys under X against the demo server; reads back the log,
# the registry, the files and screenshots.
#   mainwindow.sh BUILD_DIR [SHOTS_DIR]     (tools/make-screenshots.sh: docs/)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)"
WORK="$BUILD/e2e/mainwindow" SHOTS="${2:-$BUILD/e2e/mainwindow/shots}"
mkdir -p "$SHOTS"; SHOTS="$(cd "$SHOTS" && pwd)"

# A display of its own: the test runner's Wine desktop (another prefix) on
# the same screen takes the activation away.
unset DISPLAY
start_demo_server "$BUILD" "$WORK/server" --root "$BUILD/demo-root"
# The same content at a second loopback address, for the settings dialog.
"$BUILD/demoserver/pylonix-demo-server" --host 127.0.0.2 --port "$DEMO_PORT" --root "$BUILD/demo-root" >/dev/null 2>&1 &
DEMO2_PID=$!
GATE_PID=""
trap 'kill $DEMO_PID $DEMO2_PID $GATE_PID 2>/dev/null; wineserver -k 2>/dev/null; stop_display "$WORK/prefix"' EXIT
new_prefix win64 "$WORK/prefix" "$BUILD"
write_local_ini 127.0.0.1 "$DEMO_PORT"
REPORT_TOKEN=desk-token-1
printf 'ipinfo_host=127.0.0.1:%s\r\nreport_url=http://127.0.0.1:%s/norvik/SM/Report/Collect.aspx\r\nreport_token=%s\r\n' \
    "$DEMO_PORT" "$DEMO_PORT" "$REPORT_TOKEN" >> "$APP_DIR/local.ini"
printf '[other]\r\nkeep=me\r\n' >> "$APP_DIR/local.ini"  # the user's own lines
# Saved by Notepad as UTF-8, with its mark and a comment in Chinese.
{ printf '\xef\xbb\xbf; 本文件由信息部维护\r\n'; cat "$APP_DIR/local.ini"; } > "$WORK/local.ini"
mv "$WORK/local.ini" "$APP_DIR/local.ini"
SYS="$(system_folder)"
# The cache cleaning's applet crashes under Wine; its debugger's console
# and crash dialog would cover the window.
for view in /reg:64 /reg:32; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d "" /f $view >/dev/null 2>&1 || true
done
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
wine explorer.exe /desktop > /dev/null 2>&1 &   # the desktop with its tray
xdotool mousemove 1270 1000

# What a screen reader reads of a window (tools/accprobe, from another
# process), and clicks on the controls it names there: the window test
# finds its controls as a person does, by what they say.
ACC="$ROOT/tests/e2e/acc.py"
read_tree() { timeout 120 wine "$BUILD/bin/accprobe.exe" --shown "${@:-PylonixClient}" > "$WORK/tree.json" 2>"$WORK/accprobe.err"; }
acc() { python3 "$ACC" "$WORK/tree.json" "$@"; }
# press NAME ROLE [WINDOW | --class CLASS]: once the window shows that
# control, a real click at its middle.
press() {
    local name="$1" role="$2" xy=""; shift 2
    local where=("$@")
    if ! wait_until 'read_tree "${where[@]}" && xy="$(acc find "$name" "$role")"' 20; then
        echo "     (no $role \"$name\" to press)"; return 0
    fi
    [ "${1:-}" = --class ] || xdotool windowfocus "$(visible_window "${1:-PylonixClient}")" 2>/dev/null || true
    xdotool mousemove ${xy% *} ${xy#* }
    sleep 0.2   # the control takes the hover before the press, as under a hand
    xdotool click 1
}
tab() { press "$1" "push button"; }
TAB_CHECK=环境检测修复 TAB_NET=网速测试 TAB_CACHE=其他工具
# shot NAME: the window once two looks in a row agree (drawing has settled).
shot() {
    local last="" now
    for _ in $(seq 20); do
        window_shot PylonixClient "$SHOTS/$1.png" || { echo "     (no window for $1)"; return 0; }
        now="$(md5sum < "$SHOTS/$1.png")"; [ "$now" = "$last" ] && return 0; last="$now"
    done
}
blue() { local p; p="$(convert "$SHOTS/$1.png" -format "%[hex:p{$2,$3}]" info:)"; [ "${p:0:2}" \< 60 ] && [ "${p:4:2}" \> B0 ]; }
ended() { log_text | tr -d '\r' | grep -o "check run $1 ended after .*" | head -1; }
start_check() { tab $TAB_CHECK; press 立即检测 "push button"; }
check_run() { start_check; wait_log "check run $1 ended"; echo "     $(ended "$1")"; }
# rows_read_as STATES: the check list read aloud is one row per letter (P
# passed, F failed, W warning), titled in the catalogue's order, each row's
# icon reading as its state and only failed and warned rows offering their
# button; the rows' own texts follow their titles.
rows_read_as() {
    read_tree || return 1
    acc rows > "$WORK/rows.txt"
    python3 - "$WORK/rows.txt" "$1" <<'PY'
import sys
rows = [line.rstrip("\n").split("|") for line in open(sys.argv[1], encoding="utf-8")]
states = sys.argv[2]
titles = ["CPU检测", "服务器端连通性", "内存检测", "操作系统", "系统补丁", "浏览器(IE)", "IE设置/优化",
          "系统/IE补丁检测", "第三方组件检测"]
icon = {"P": "通过", "F": "未通过", "W": "警告"}
button = {"P": "", "F": "立即修复", "W": "查看详情"}
print("     " + "; ".join("%s %s%s" % (r[0], r[1], " [%s]" % r[2] if r[2] else "") for r in rows))
ok = len(rows) == len(states) and [r[0] for r in rows] == titles[:len(rows)] and \
     all(r[1] == icon[s] and r[2] == button[s] for r, s in zip(rows, states)) and \
     all(r[3].split(";")[0] == r[0] for r in rows)
sys.exit(0 if ok else 1)
PY
}
letters() { ended "$1" | sed 's/.*(\(.*\)).*/\1/'; }
tray() { visible_window "Wine System Tray"; }
# Wine keeps its tray at the top left, over the logo: to the bottom right.
tray_aside() { wait_until '[ -n "$(tray)" ]' 10 && xdotool windowmove "$(tray)" 1110 1000; }
tray_click() {  # BUTTON [REPEAT]
    eval "$(xdotool getwindowgeometry --shell "$(tray)")"
    xdotool mousemove $((X + 10)) $((Y + 10)); sleep 0.2; xdotool click --repeat "${2:-1}" --delay 80 "$1"
}

start_client
check "the window and its tray icon show" 'wait_log "main window shown" && wait_until "[ -n \"\$(client_window)\" ]" 10 && tray_aside'
shot 1-introduction
check "page 0 opens with its introduction and its start button" \
    'blue 1-introduction 340 395 && read_tree && acc find 立即检测 "push button" >/dev/null && acc find 客户端检测功能介绍: "static text" >/dev/null'

# The check, then the one-click repair and a second check. What the window
# shows is read as a screen reader reads it: the rows with their states and
# texts, the overall bar.
press 立即检测 "push button"
check "nine rows, the bar at 100" 'wait_log "check run 1 ended" && ended 1 | grep -q ": 9 rows (.*F.*), progress 100"'
echo "     $(ended 1)"
check "the rows read as the run found them, the bar at 100" 'rows_read_as "$(letters 1)" && [ "$(acc bar)" = 100% ]'
# The collector in local.ini gets the finished check's rows with the token.
reported_states() {
    curl -fsS "http://127.0.0.1:$DEMO_PORT/_demo/reports?last=report" | python3 -c '
import json, sys
print("".join("PFW"[r["state"] - 1] for r in json.load(sys.stdin)["rows"]))'
}
check "the finished check is reported to the collector, with the token" \
    'wait_until "[ \"\$(reported_states 2>/dev/null)\" = $(letters 1) ]" 30 && [ "$(curl -fsS "http://127.0.0.1:$DEMO_PORT/_demo/reports?last=token")" = $REPORT_TOKEN ]'
xy="$(acc find checkitem list)"
xdotool mousemove ${xy% *} ${xy#* } click --repeat 6 --delay 50 5   # the wheel, down to the failed rows
check "the wheel brings the last row into view" 'wait_until "read_tree && acc find 第三方组件检测 \"list item\" >/dev/null" 10'
shot 2-checked
failed="$(letters 1 | tr -cd F | wc -c)"
press 一键修复 "push button"
check "every failed row is repaired" 'wait_until "[ \$(log_text | grep -c \"repaired: passed\") = $failed ]" 180 && ! log_text | grep -q "repaired: [^p]"'
check "the repaired rows read as passed, their buttons gone" 'rows_read_as "$(letters 1 | tr F P)"'
shot 3-repaired
check "browser settings and components are in place" \
    'wine reg query "HKCU\Software\Microsoft\Internet Explorer\New Windows\Allow" /v 127.0.0.1 | grep -q REG_BINARY &&
     [ -s "$SYS/PylonixPrint.ocx" ] && [ -s "$SYS/PylonixReport.dll" ] && [ -s "$SYS/PylonixCharts.ocx" ] && ! ls "$SYS"/*.download 2>/dev/null'
check_run 2
check "a second check passes every row" 'ended 2 | grep -q ": 9 rows (PPPPPPPPP), progress 100" && rows_read_as PPPPPPPPP'

# Pages; the network page's tests on a link the server holds at 16 MiB/s,
# a page switch during the download, the upload through the file dialog.
tab $TAB_NET
shot 5-network-page
# The internet test: the pane opens the test page (Wine has no HTML engine,
# so it stays blank, but the control asks its host and fetches the page).
press 点击测试 "push button"
check "the internet button opens the test page in the pane" \
    'wait_log "BeforeNavigate2 http://127.0.0.1:$DEMO_PORT/speedtest.htm: allowed" 20 &&
     wait_until "demo_has /_demo/requests \"GET /speedtest.htm\"" 20'
SPEED_FILE=/norvik/Download/IE/IE8-WindowsServer2003-x86-CHS.exe RATE=16384
demo_control "/_demo/fault?path=$SPEED_FILE&mode=rate:$((RATE * 1024))"
# Away and back while the download runs: the tabs are found first, then
# clicked at once.
read_tree; away="$(acc find $TAB_CHECK "push button")"; back="$(acc find $TAB_NET "push button")"
press 网速检测 "push button"
window_shot PylonixClient "$SHOTS/12-network-testing.png" || true
for xy in "$away" "$back"; do xdotool mousemove ${xy% *} ${xy#* } click 1; done
wait_log "download speed test ended:" 60 || true
# The figures as the page shows them. A figure can't beat its link by more
# than the clocks' grain; a loaded or emulated machine may fall behind the
# link, but a figure in the wrong unit or over the wrong time misses by far
# more than half.
figure_shown() { read_tree && acc figures | sed -n "${1}p" | sed 's/KB\/s$//'; }
within_link() { python3 -c 'import sys; f, r = float(sys.argv[1] or 0), int(sys.argv[2]); sys.exit(0 if r / 2 <= f <= r * 1.05 else 1)' "$1" "$2"; }
figure="$(figure_shown 1)" || true
echo "     download figure ${figure}KB/s on a link of ${RATE}KB/s"
check "the download figure is the link's, the log's the same" \
    'within_link "$figure" $RATE && log_text | grep -qF "download speed test ended: ${figure}KB/s"'
demo_control "/_demo/fault?path=$SPEED_FILE&mode=normal"
# The upload on a link the server reads at 4 MiB/s.
UPLOAD_PAGE=/norvik/SM/Upload/TestUploadSpeed.aspx UPLOAD_RATE=4096
demo_control "/_demo/fault?path=$UPLOAD_PAGE&mode=rate:$((UPLOAD_RATE * 1024))"
head -c 12000000 /dev/urandom > "$WINEPREFIX/drive_c/upload.bin"
press 上传测试 "push button"
wait_window 打开 || true
xdotool windowfocus "$(visible_window 打开)" 2>/dev/null || true   # the file-name box has the focus
xdotool type --delay 20 'C:\upload.bin'; xdotool key Return
# The client ends once the last bytes are handed to the system; the server,
# reading at its link's rate, may still be taking them in.
check "the upload of the typed file arrives whole" 'wait_log "upload speed test ended:" 60 && wait_until "demo_has /_demo/upload \" complete\"" 20'
demo_control "/_demo/fault?path=$UPLOAD_PAGE&mode=normal"
upfigure="$(figure_shown 2)" || true
echo "     upload figure ${upfigure}KB/s on a link of ${UPLOAD_RATE}KB/s"
check "the upload figure is the link's, the log's the same" \
    'within_link "$upfigure" $UPLOAD_RATE && log_text | grep -qF "upload speed test ended: ${upfigure}KB/s"'
shot 13-network-tested
tab $TAB_CHECK
shot 6-back-to-introduction
check "back on page 0: the introduction again" 'blue 6-back-to-introduction 340 395'

# Minimise to the tray and back.
press 最小化到系统托盘 "push button"
check "minimised: no window" 'wait_until "[ -z \"\$(client_window)\" ]" 10'
tray_click 1 2
check "a tray double click brings it back" 'wait_until "[ -n \"\$(client_window)\" ]" 10'

# Settings: an empty field is refused and changes nothing; a new server is
# saved, trusted, and the next check uses it. The boxes are found by the
# labels a screen reader reads them by.
SETUP=系统设置 ADDRESS=服务器地址: PORT_BOX=服务器端口:
# type_into BOX TEXT: the settings dialog's box emptied and TEXT typed in.
type_into() {
    press "$1" "editable text" $SETUP; xdotool key End shift+Home BackSpace
    [ -z "$2" ] || xdotool type --delay 30 "$2"
}
confirm() { press 确定 "push button" "$1"; }
# The system's message box (its buttons are the system's, which Wine gives
# no accessible names): answered by its default button, with Enter.
answer_warning() {
    wait_window 警告 "${1:-10}" || return 1
    xdotool windowfocus "$(visible_window 警告)" 2>/dev/null || true
    xdotool key Return
}
before="$(md5sum < "$APP_DIR/local.ini")"
press 系统设置 "push button"
wait_window $SETUP || true
window_shot $SETUP "$SHOTS/9-settings-dialog.png" || true
check "the settings dialog reads the server's address and port in their boxes" \
    'read_tree $SETUP && [ "$(acc value $ADDRESS "editable text")" = 127.0.0.1 ] && [ "$(acc value $PORT_BOX "editable text")" = "$DEMO_PORT" ]'
type_into $ADDRESS ""
confirm $SETUP
check "an empty field: a warning, nothing written, the dialog stays" \
    'wait_window 警告 10 && [ "$(md5sum < "$APP_DIR/local.ini")" = "$before" ] && [ -n "$(visible_window $SETUP)" ]'
answer_warning
check "the warning answered, the dialog is back" 'wait_until "[ -z \"\$(visible_window 警告)\" ]" 10'
type_into $ADDRESS 127.0.0.2
type_into $PORT_BOX "$DEMO_PORT"
confirm $SETUP
ini() { tr -d '\r' < "$APP_DIR/local.ini"; }
check "saved: the new server, the user's other lines kept, still UTF-8 with its mark" 'wait_until "[ -z \"\$(visible_window $SETUP)\" ]" 10 &&
    ini | grep -qx "server_addr=127.0.0.2" && ini | grep -qx "keep=me" && ini | grep -qx "ipinfo_host=127.0.0.1:$DEMO_PORT" &&
    [ "$(head -n 1 "$APP_DIR/local.ini" | tr -d "\r")" = "$(printf "\xef\xbb\xbf; 本文件由信息部维护")" ]'
check "the new server is trusted and looked up" \
    'grep -q "127\.0\.0\.2" <<< "$(wine reg query "HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\ZoneMap\Ranges" /s)" &&
     wait_log "server address 127.0.0.2: ip 127.0.0.2, carriers looked up" 30'
check_run 3
check "the next check uses it" 'ended 3 | grep -q "(PPPPPPPPP)"'

# The stop, made certain to land while the run goes on: the server is
# replaced by a gate that holds connections (the system drops them while its
# queue is full), so the run waits in its connectivity row until let go.
kill $DEMO2_PID; wait $DEMO2_PID 2>/dev/null || true
GATE="$WORK/gate"
rm -f "$GATE"; python3 "$ROOT/tests/e2e/gate.py" 127.0.0.2 "$DEMO_PORT" "$GATE" & GATE_PID=$!
gate() {  # open|hold
    kill -"$([ "$1" = open ] && echo USR1 || echo USR2)" $GATE_PID
    wait_until "grep -q '^${1/hold/held}' '$GATE' 2>/dev/null" 10
}
wait_until "grep -q '^held' '$GATE' 2>/dev/null" 10
# held_at: the run shows its first row, the bar at 11, and its stop button.
held_at_first_row() { wait_until 'read_tree && acc find 停止检测 "push button" >/dev/null && [ "$(acc rows | wc -l)" = 1 ] && [ "$(acc bar)" = 11% ]' 30; }
start_check
check "a held connection keeps the run going: one row, the bar at 11, the stop button shown" held_at_first_row
press 停止检测 "push button"
check "stopped: the row and the bar stay, the repair button is back" \
    'wait_until "read_tree && acc find 一键修复 \"push button\" >/dev/null" 10 && rows_read_as P && [ "$(acc bar)" = 11% ]'
gate open
check "the stopped run's thread ends later and changes nothing" \
    'wait_log "check run 4: its thread ended after the stop" 60 && ! log_text | grep -q "check run 4 ended" && rows_read_as P && [ "$(acc bar)" = 11% ]'
shot 4-after-stop
# Stopped and started again at once, both runs held: only the second's rows.
gate hold
start_check
held_at_first_row || true
press 停止检测 "push button"; start_check
wait_log "check run 6 started" 10 || true
gate open
check "stopped and started again at once: the new run's nine rows alone" \
    'wait_log "check run 6 ended" 60 && ended 6 | grep -q ": 9 rows (PPPPPPPPP), progress 100" &&
     wait_log "check run 5: its thread ended after the stop" 60 && rows_read_as PPPPPPPPP'
kill $GATE_PID; wait $GATE_PID 2>/dev/null || true
check_run 7
check "with the server gone: unreachable, two rows and the bar at 22" \
    'ended 7 | grep -q ": 2 rows (PF), progress 22" && rows_read_as PF && [ "$(acc bar)" = 22% ]'

# The close prompt: "关闭程序" is chosen when it opens; cancel keeps the
# window; the tray choice hides it.
press 关闭 "push button"
wait_window 关闭提示 || true
window_shot 关闭提示 "$SHOTS/10-close-prompt.png" || true
check "the close prompt opens with 关闭程序 chosen" \
    'read_tree 关闭提示 && acc state 关闭程序 "radio button" | grep -qw checked && ! acc state 最小化到系统托盘区,不关闭程序 "radio button" | grep -qw checked'
press 取消 "push button" 关闭提示
check "cancel keeps the window" 'wait_until "[ -z \"\$(visible_window 关闭提示)\" ]" 10 && [ -n "$(client_window)" ]'
tab $TAB_CACHE
shot 7-cache-page
press 立即清理 "push button"
check "the cache cleaning is started, four times" 'wait_until "[ \$(log_text | grep -c \"ClearMyTracksByProcess [0-9]* started\") = 4 ]" 30'
# The cleaning runs in processes of its own, one of them shown: the prompt
# below opens once they are gone, so none comes up over it.
check "the cleaning processes end" 'wait_until "! pgrep -f rundll32 >/dev/null" 60'
press 关闭 "push button"
wait_window 关闭提示 || true
press 最小化到系统托盘区,不关闭程序 "radio button" 关闭提示
check "a click chooses the tray" 'read_tree 关闭提示 && acc state 最小化到系统托盘区,不关闭程序 "radio button" | grep -qw checked'
confirm 关闭提示
check "the tray choice hides the window" 'wait_until "[ -z \"\$(client_window)\" ]" 10 && wait_log "close prompt: hide to the tray" 5'

# The tray icon's right click opens the menu, read as a popup menu with
# "检查更新" greyed; "退出" ends the program.
MENU="--class SkinEngineMenu"
tray_click 3
check "a right click on the tray opens the menu, 检查更新 greyed" \
    'wait_until "read_tree $MENU && acc find 退出 \"menu item\" >/dev/null" 10 &&
     acc state 检查更新 "menu item" | grep -qw unavailable && ! acc state 更新日志 "menu item" | grep -qw unavailable'
xy="$(acc find 更新日志 "menu item")"
xdotool mousemove ${xy% *} ${xy#* }   # off the tray icon's tooltip
check "the pointed item is the hot one" 'wait_until "read_tree $MENU && acc state 更新日志 \"menu item\" | grep -q \"hot tracked\"" 10'
read_tree $MENU && python3 - "$WORK/tree.json" > "$WORK/menu.geom" <<'PY'
import json, sys
box = json.load(open(sys.argv[1], encoding="utf-8"))["location"]
print(box["x"], box["y"], box["w"], box["h"])
PY
read -r MX MY MW MH < "$WORK/menu.geom"
import -window root -crop "$((MW + 40))x$((MH + 40))+$((MX - 20))+$((MY - 20))" +repage "$SHOTS/11-tray-menu.png"
press 退出 "menu item" $MENU
set +e; wait_until '! kill -0 $CLIENT_PID 2>/dev/null' 30; wait "$CLIENT_PID"; CLIENT_RC=$?; set -e
check "退出 ends the program with 0, the tray icon gone" '[ "$CLIENT_RC" = 0 ] && wait_until "[ -z \"\$(tray)\" ]" 10'
check "the browser pane gave back every object" 'wait_log "browser pane: destroyed, 0 of its objects still alive" 5'

# The close prompt's own exit: the window closed, "关闭程序" confirmed.
quit_client() {  # -> CLIENT_RC
    press 关闭 "push button"
    wait_window 关闭提示 && confirm 关闭提示
    wait_until '! kill -0 $CLIENT_PID 2>/dev/null' || kill "$CLIENT_PID" 2>/dev/null
    set +e; wait "$CLIENT_PID"; CLIENT_RC=$?; set -e
}

# An unreachable server: the component list's message box first, then two
# rows and the bar at 22; the close prompt's exit ends the program.
# restart SERVER PORT: a fresh log and the program on that server, its
# message box about the component list answered; 1 when none came.
restart() {
    write_local_ini "$1" "$2"
    rm -f "$(log_file)"
    start_client
    local boxed=0
    answer_warning 60 || boxed=1
    wait_log "main window shown" || true
    wait_until '[ -n "$(client_window)" ]' 10 && tray_aside || true
    return $boxed
}
restart 127.0.0.1 "$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')" && box=yes || box=no
check "unreachable: the message box comes" '[ $box = yes ]'
press 立即检测 "push button"
check "unreachable: two rows, the bar at 22" 'wait_log "check run 1 ended" && ended 1 | grep -q ": 2 rows (PF), progress 22" && rows_read_as PF'
shot 8-unreachable-server
quit_client
check "the close prompt's exit ends with 0, the tray icon gone" '[ "$CLIENT_RC" = 0 ] && wait_until "[ -z \"\$(tray)\" ]" 10'

# A server that does not resolve: the start button waits for its lookup,
# then asks for a server; the name typed in resolves to the demo server, and
# the run starts only once its address is known, reaching it.
restart nosuch.invalid "$DEMO_PORT" || true
press 立即检测 "push button"
check "an unresolved server: the start button opens the settings dialog" 'wait_window $SETUP 30'
window_shot $SETUP "$SHOTS/14-settings-for-unresolved.png" || true
type_into $ADDRESS localhost
confirm $SETUP
line() { log_text | tr -d '\r' | grep -n "$1" | head -1 | cut -d: -f1; }
check "the run starts after the new server's address is known and reaches it" \
    'wait_log "check run 1 ended" 60 && [ "$(line "server address localhost: ip 127.0.0.1")" -lt "$(line "check run 1 started")" ] &&
     ended 1 | grep -q ": 9 rows (PP"'
echo "     $(ended 1)"
quit_client

if [ "$failures" -ne 0 ]; then
    echo "--- log ---"; log_text || true; echo "--- program output ---"; cat "$WINEPREFIX/client.out"
    exit 1
fi
