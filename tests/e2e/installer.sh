#!/bin/bash
# End to end: the installer in a fresh prefix, silent, with the server on
# its command line; the installed console check against the demo server; an
# upgrade keeping a changed local.ini; the silent uninstall leaving the
# prefix's program folders as they were.
#   installer.sh BUILD_DIR win64|win32
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)" ARCH="$2"
WORK="$BUILD/e2e/installer-$ARCH"
SETUP="$(ls "$BUILD"/bin/PylonixClient-Setup-*.exe | head -1)"

start_demo_server "$BUILD" "$WORK/server"
trap 'kill $DEMO_PID 2>/dev/null; wineserver -k 2>/dev/null; stop_display "$WORK/prefix"' EXIT
new_prefix "$ARCH" "$WORK/prefix" "$BUILD"
rm -rf "$APP_DIR"   # only what the installer puts there
cp "$SETUP" "$WORK/prefix/drive_c/setup.exe"

installed_folder
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\PylonixClient'
# Where an installer may leave something: the program folders, the shared
# Start menu and desktop, and the uninstall entries.
footprint() {
    (cd "$WINEPREFIX/drive_c" && find "Program Files" "Program Files (x86)" ProgramData users/Public 2>/dev/null | sort)
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' $VIEW 2>/dev/null | tr -d '\r' | sort
}
value() { wine reg query "$UNINSTALL" /v "$1" $VIEW 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
ini() { tr -d '\r' < "$PROGRAMS/local.ini"; }
wait_gone() { local end=$((SECONDS + 60)); while [ -e "$1" ] && [ $SECONDS -lt $end ]; do sleep 0.2; done; [ ! -e "$1" ]; }

before="$(footprint)"
set +e
timeout 300 wine 'C:\setup.exe' /S /SERVER=127.0.0.1 /PORT="$DEMO_PORT" /SITE=/norvik/login.htm > /dev/null 2>&1
SETUP_RC=$?
set -e
check "the silent install ends with 0" '[ "$SETUP_RC" = 0 ]'
check "programs and uninstaller in place" '[ -f "$PROGRAMS/PylonixClient.exe" ] && [ -f "$PROGRAMS/PylonixCheck.exe" ] && [ -f "$PROGRAMS/uninstall.exe" ]'
check "everything installed loads on Windows XP: no import it lacks" \
    'python3 "$ROOT/tools/check-imports.py" "$PROGRAMS/PylonixClient.exe" "$PROGRAMS/PylonixCheck.exe" "$PROGRAMS/uninstall.exe"'
check "local.ini holds the server from the command line" \
    'ini | grep -qx "server_addr=127.0.0.1" && ini | grep -qx "server_port=$DEMO_PORT" && ini | grep -qx "server_website=/norvik/login.htm"'
check "Start-menu and desktop shortcuts" \
    '[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Pylonix/PylonixClient.lnk" ] && [ -f "$WINEPREFIX/drive_c/users/Public/Desktop/PylonixClient.lnk" ]'
check "Programs and Features entry: name, version, publisher, size, uninstaller" \
    '[ "$(value DisplayName)" = PylonixClient ] && [ "$(value DisplayVersion)" = 12.000.000.0000 ] && [ "$(value Publisher)" = Pylonix ] &&
     [ "$(( $(value EstimatedSize) ))" -gt 1000 ] && value UninstallString | grep -qF "$WINDIR\\uninstall.exe"'

# The installed program, as installed, against the demo server.
set +e
timeout 300 wine "$WINDIR\\PylonixCheck.exe" --json > "$WORK/check.json" 2> /dev/null
set -e
check "the installed check reaches the demo server" \
    'python3 -c "import json,sys; r=json.load(open(sys.argv[1])); assert r[1][\"kind\"]==7 and r[1][\"state\"]==1, r" "$WORK/check.json"'

# An upgrade keeps the local.ini an administrator changed.
printf 'server_addr=10.1.2.3\r\n; set by hand\r\n' >> "$PROGRAMS/local.ini"
changed="$(md5sum < "$PROGRAMS/local.ini")"
set +e
timeout 300 wine 'C:\setup.exe' /S > /dev/null 2>&1
SETUP_RC=$?
set -e
check "an upgrade keeps the changed local.ini" '[ "$SETUP_RC" = 0 ] && [ "$(md5sum < "$PROGRAMS/local.ini")" = "$changed" ]'

# The silent uninstall runs a copy of itself: wait for its work to show.
wine "$WINDIR\\uninstall.exe" /S > /dev/null 2>&1 || true
check "the uninstall removes files, shortcuts and the entry" \
    'wait_gone "$PROGRAMS" && wait_until "[ -z \"\$(value DisplayName)\" ]" 30 && [ ! -e "$WINEPREFIX/drive_c/users/Public/Desktop/PylonixClient.lnk" ]'
after="$(footprint)"
check "the prefix's program folders are as before the install" '[ "$before" = "$after" ]'
if [ "$before" != "$after" ]; then diff <(echo "$before") <(echo "$after") || true; fi

exit $((failures > 0))
