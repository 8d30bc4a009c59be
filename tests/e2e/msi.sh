#!/bin/bash
# End to end: the MSI package in a fresh prefix as msiexec runs it for a
# script or Group Policy, silent, with the properties on its command line;
# local.ini read back; the installed console check against the demo server;
# a package of a higher version upgrading it and keeping a hand-edited
# local.ini; the uninstall leaving the prefix's program folders, shortcut
# folders and uninstall entries as they were.
#   msi.sh BUILD_DIR win64|win32
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)" ARCH="$2"
WORK="$BUILD/e2e/msi-$ARCH"
MSI="$(ls "$BUILD"/bin/PylonixClient-*.msi | head -1)"

start_demo_server "$BUILD" "$WORK/server"
trap 'kill $DEMO_PID 2>/dev/null; wineserver -k 2>/dev/null; stop_display "$WORK/prefix"' EXIT
new_prefix "$ARCH" "$WORK/prefix" "$BUILD"
rm -rf "$APP_DIR"   # only what the package puts there
cp "$MSI" "$WINEPREFIX/drive_c/pylonix.msi"
# The same programs as a newer version: only the product version differs.
"$ROOT/installer/build-msi.sh" 12.000.001.0000 "$BUILD/bin" "$WINEPREFIX/drive_c/newer.msi"

installed_folder
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
reg_lines() { wine reg query "$@" 2>/dev/null | tr -d '\r' || true; }
# Where a package may leave something: the program folders, the Start menus
# and desktops (Wine's installer puts a per-machine package's shortcuts
# into the installing user's, whatever ALLUSERS says), the uninstall entries
# and the installer's own product records.
footprint() {
    (cd "$WINEPREFIX/drive_c" && find "Program Files" "Program Files (x86)" ProgramData users/Public \
        users/*/Desktop users/*/AppData/Roaming/Microsoft/Windows/"Start Menu" 2>/dev/null |
        grep -v '/Desktop/Norvik.*\.lnk$' | sort)   # the check's own login shortcut, not the package's
    reg_lines "$UNINSTALL" $VIEW | sort
    reg_lines "$UNINSTALL" /reg:64 | sort
    reg_lines 'HKLM\Software\Classes\Installer\Products' | { grep 'Products\\' || true; } | sort
}
# Our entries in Programs and Features (one key per installed package).
entries() {
    local key
    for key in $(reg_lines "$UNINSTALL" $VIEW | grep '^HKEY.*\\{'); do
        reg_lines "$key" /v DisplayName $VIEW | grep -q 'REG_SZ *PylonixClient$' && echo "$key"
    done
    return 0
}
value() { reg_lines "$(entries | head -1)" /v "$1" $VIEW | awk -v n="$1" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
ini() { tr -d '\r' < "$PROGRAMS/local.ini"; }
msiexec() {
    set +e
    timeout 300 wine msiexec "$@" > /dev/null 2>&1
    MSI_RC=$?
    set -e
}
# A shortcut in the all-users folder or the installing user's (Wine's choice).
found() { [ -n "$(cd "$WINEPREFIX/drive_c" && find ProgramData users -path "$1" 2>/dev/null)" ]; }
shortcuts() {
    found "*/Start Menu/Programs/Pylonix/$1" && found "users/*/Desktop/PylonixClient.lnk"
}

before="$(footprint)"
REPORT="http://127.0.0.1:$DEMO_PORT/report"
msiexec /i 'C:\pylonix.msi' /qn SERVER=127.0.0.1 PORT="$DEMO_PORT" SITE=/norvik/login.htm REPORT="$REPORT" \
    TOKEN=t0k SIGNERS="Pylonix Test Components;Someone Else"
check "the silent install ends with 0" '[ "$MSI_RC" = 0 ]'
check "both programs in place" '[ -f "$PROGRAMS/PylonixClient.exe" ] && [ -f "$PROGRAMS/PylonixCheck.exe" ]'
check "the installed programs load on Windows XP: no import it lacks" \
    'python3 "$ROOT/tools/check-imports.py" "$PROGRAMS/PylonixClient.exe" "$PROGRAMS/PylonixCheck.exe"'
check "local.ini holds every property given, each as its key" \
    '[ "$(ini)" = "$(printf "%s\n" "[para]" server_addr=127.0.0.1 server_port=$DEMO_PORT server_website=/norvik/login.htm \
        report_url=$REPORT report_token=t0k "component_signers=Pylonix Test Components;Someone Else")" ]'
check "Start-menu shortcuts (program, uninstall) and the desktop shortcut" \
    'shortcuts PylonixClient.lnk && shortcuts "Uninstall PylonixClient.lnk"'
check "one Programs and Features entry: name, publisher, version, location, msiexec uninstall" \
    '[ "$(entries | wc -l)" = 1 ] && [ "$(value DisplayName)" = PylonixClient ] && [ "$(value Publisher)" = Pylonix ] &&
     [ "$(value DisplayVersion)" = 12.000.000.0000 ] && [ "$(value InstallLocation)" = "$WINDIR\\" ] &&
     value UninstallString | grep -qi "MsiExec.exe /X{"'
icon="$(reg_lines 'HKLM\Software\Classes\Installer\Products' /s /v ProductIcon | awk '$1 == "ProductIcon" { $1 = ""; $2 = ""; sub(/^ +/, ""); print }')"
check "the entry's icon, kept by the installer" \
    '[ -n "$icon" ] && cmp -s "$(winepath -u "$icon")" "$ROOT/gui/res/pylonix.ico"'

# The installed program, as installed, against the demo server.
set +e
timeout 300 wine "$WINDIR\\PylonixCheck.exe" --json > "$WORK/check.json" 2> /dev/null
set -e
check "the installed check reaches the demo server" \
    'python3 -c "import json,sys; r=json.load(open(sys.argv[1])); assert r[1][\"kind\"]==7 and r[1][\"state\"]==1, r" "$WORK/check.json"'

# What the package runs, by hand: a key local.ini does not know and a port
# that is no port are refused, with a message, and change nothing.
installed="$(ini)"
set +e
bad_key="$(wine "$WINDIR\\PylonixCheck.exe" --configure server_addr=10.0.0.1 sever_port=81 2>&1 >/dev/null)"; bad_key_rc=$?
bad_port="$(wine "$WINDIR\\PylonixCheck.exe" --configure server_port=80x 2>&1 >/dev/null)"; bad_port_rc=$?
set -e
check "--configure refuses an unknown key and a bad port, naming them, and writes nothing" \
    '[ $bad_key_rc = 2 ] && grep -q "sever_port=81" <<< "$bad_key" && [ $bad_port_rc = 2 ] && grep -q "80x" <<< "$bad_port" &&
     [ "$(ini)" = "$installed" ]'
chmod a-w "$PROGRAMS/local.ini"
set +e
locked="$(wine "$WINDIR\\PylonixCheck.exe" --configure server_addr=10.0.0.2 2>&1 >/dev/null)"; locked_rc=$?
set -e
chmod u+w "$PROGRAMS/local.ini"
check "--configure says so when local.ini cannot be written" \
    '[ $locked_rc = 1 ] && grep -q "local.ini: the file is read-only" <<< "$locked" && [ "$(ini)" = "$installed" ]'

# A major upgrade: the newer package replaces the installed one, keeps what
# an administrator wrote into local.ini and sets only the property given.
printf '; set by hand\r\nipinfo_host=10.1.2.3\r\n' >> "$PROGRAMS/local.ini"
msiexec /i 'C:\newer.msi' /qn TOKEN=t1
check "the upgrade ends with 0 and leaves one entry, of the new version" \
    '[ "$MSI_RC" = 0 ] && [ "$(entries | wc -l)" = 1 ] && [ "$(value DisplayVersion)" = 12.000.001.0000 ]'
check "the upgrade keeps the hand-edited local.ini and sets only TOKEN" \
    '[ "$(ini)" = "$(printf "%s\n" "$installed" "; set by hand" ipinfo_host=10.1.2.3 | sed "s/^report_token=t0k\$/report_token=t1/")" ] &&
     ! ls "$PROGRAMS" | grep -q upgrade'
msiexec /i "$(winepath -w "$MSI")" /qn
check "an older package does not replace the newer one" '[ "$MSI_RC" != 0 ] && [ "$(value DisplayVersion)" = 12.000.001.0000 ]'

msiexec /x 'C:\newer.msi' /qn
check "the silent uninstall ends with 0 and removes the programs, local.ini and their folder" \
    '[ "$MSI_RC" = 0 ] && [ ! -e "$PROGRAMS" ]'
after="$(footprint)"
check "program folders, shortcut folders and uninstall entries are as before the install" '[ "$before" = "$after" ]'
if [ "$before" != "$after" ]; then diff <(echo "$before") <(echo "$after") || true; fi

exit $((failures > 0))
