#!/bin/bash
# End to end: the program's start-up in a fresh prefix against the demo server.
#   startup.sh BUILD_DIR win64|win32
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)" ARCH="$2"
WORK="$BUILD/e2e/startup-$ARCH"
REAL_HOME="$HOME"
MARK="$(mktemp)"

start_demo_server "$BUILD" "$WORK/server"
trap 'kill $DEMO_PID 2>/dev/null; rm -f "$MARK"; wineserver -k 2>/dev/null; stop_display "$WORK/prefix"' EXIT
new_prefix "$ARCH" "$WORK/prefix" "$BUILD"
write_local_ini 127.0.0.1 "$DEMO_PORT"
SYS="$(system_folder)"

# Command-line mode: the address becomes a trusted site, nothing else runs.
ZONES='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { print $2, $3 }'; }
run_client 'http://127.0.0.1:8080/x'
check "command-line mode exits 0" '[ "$CLIENT_RC" = 0 ]'
check "Range1 holds 127.0.0.1" '[ "$(reg_value "$ZONES\ZoneMap\Ranges\Range1" :Range)" = "REG_SZ 127.0.0.1" ]'
check "Range1 is in the trusted zone" '[ "$(reg_value "$ZONES\ZoneMap\Ranges\Range1" "*")" = "REG_DWORD 0x2" ]'
check "trusted zone lists http sites" '[ "$(reg_value "$ZONES\Zones\2" Flags)" = "REG_DWORD 0x43" ]'
check "only the trusted-site line is logged" '[ "$(log_text | grep -c "^[0-9]\{4\}/")" = 1 ] && log_text | grep -q "添加可信任站点:http://127.0.0.1:8080/x"'
check "no start line" '! log_text | grep -q "Pylonix Start"'
check "on the compatibility list" 'wine reg query "HKCU\\Software\\Microsoft\\Internet Explorer\\BrowserEmulation\\ClearableListData" /v UserFilter | grep -q "REG_BINARY.*3100320037002E0030002E0030002E003100"'
rm -f "$(log_file)"

# A normal start fetches the component list, shows the window and ends
# when the window is closed; an address that only looks local starts it too.
start_client 'http://127.0.0.1@evil.example/'
wait_log "main window shown" || true
close_client
LOG="$(log_text)"
served="$(curl -fsS "http://127.0.0.1:$DEMO_PORT/norvik/DownLoad/ThirdParty/local.inf")"
check "start exits 0" '[ "$CLIENT_RC" = 0 ]'
check "a look-alike local address is not trusted" '! wine reg query "$ZONES\ZoneMap" /s 2>/dev/null | grep -qi evil'
check "start line" 'grep -q -- "---------------------------Pylonix Start----------------------" <<<"$LOG"'
check "administrator line" 'grep -q "Program is running in administrator mode" <<<"$LOG"'
check "settings dump" 'grep -q "^system setup:" <<<"$LOG" && grep -q "^serveraddr:127.0.0.1" <<<"$LOG" && grep -q "^serverip:127.0.0.1" <<<"$LOG" && grep -q "^serverport:$DEMO_PORT" <<<"$LOG" && grep -q "^serverwebsite:/norvik/login.htm" <<<"$LOG" && grep -q "^version:12.000.000.0000" <<<"$LOG" && grep -q "^edition:std" <<<"$LOG"'
check "one line per component" '[ "$(grep -c "third party name:" <<<"$LOG")" = 3 ] && grep -q "third party name:PylonixCharts.ocx register:0" <<<"$LOG" && grep -q "third party name:PylonixPrint.ocx register:1" <<<"$LOG"'
check "local.inf in $(basename "$SYS")" '[ "$(cat "$SYS/local.inf")" = "$served" ]'
check "no partial file left" '[ ! -e "$SYS/local.inf.download" ]'
check "login icon at the drive root" '[ -s "$WINEPREFIX/drive_c/login.ico" ]'
check "window engine started from the program's resources" 'grep -q "SkinEngine: started from the program.s resources: 4 strings, 49 skins" <<<"$LOG"'
check "the window was shown" 'grep -q "main window shown" <<<"$LOG"'
check "no LoadGlobelSetting error" '! grep -q "LoadGlobelSetting!!!" <<<"$LOG"'

# A transfer cut off half-way leaves yesterday's list exactly as it was.
printf '[thirdparty]\r\nthirdparty001=Previous.ocx\r\nversion001=1.0.0.0\r\n' > "$SYS/local.inf"
before="$(md5sum < "$SYS/local.inf")"
demo_control '/_demo/fault?path=/norvik/DownLoad/ThirdParty/local.inf&mode=cut'
rm -f "$(log_file)"
start_client
wait_log "main window shown" || true
close_client
LOG="$(log_text)"
check "cut-off start still exits 0" '[ "$CLIENT_RC" = 0 ]'
check "cut-off keeps local.inf byte for byte" '[ "$(md5sum < "$SYS/local.inf")" = "$before" ]'
check "cut-off is logged" 'grep -q "\[error\] LoadGlobelSetting!!!" <<<"$LOG"'
check "old list is read" 'grep -q "third party name:Previous.ocx register:0" <<<"$LOG"'
check "nothing written into the machine home" '[ -z "$(find "$REAL_HOME" -maxdepth 5 -newer "$MARK" \( -name "*.desktop" -o -name "*.lnk" -o -path "*/Desktop/*" -o -path "*/Documents/*" \) -print -quit 2>/dev/null)" ]'

if [ "$failures" -ne 0 ]; then
    echo "--- log ---"; log_text || true; echo "--- program output ---"; cat "$WINEPREFIX/client.out"
    exit 1
fi
