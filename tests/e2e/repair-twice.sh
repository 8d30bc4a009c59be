#!/bin/bash
# End to end: the one-click repair run twice on a fresh profile changes the
# registry only the first time, so does the browser-settings repair forced
# once more, and the check then passes the browser-settings row.
#   repair-twice.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)"
WORK="$BUILD/e2e/repair-twice"

start_demo_server "$BUILD" "$WORK/server" --root "$BUILD/demo-root"
trap 'kill $DEMO_PID 2>/dev/null; wineserver -k 2>/dev/null; stop_display "$WORK/prefix"' EXIT
new_prefix win64 "$WORK/prefix" "$BUILD"
cp "$BUILD/bin/settingsrepair.exe" "$APP_DIR/"
write_local_ini 127.0.0.1 "$DEMO_PORT"

# The keys the check and the repair write (the program is 32-bit: the
# machine's keys are in the 32-bit view), and the desktop the shortcut goes
# to, as one text.
KEYS=('HKCU\Software\Microsoft\Internet Explorer'
      'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
      'HKLM\Software\Wow6432Node\Microsoft\Internet Explorer')
snapshot() {  # FILE
    local key n=0
    : > "$1"
    for key in "${KEYS[@]}"; do
        n=$((n + 1))
        echo "== $key" >> "$1"
        if wine reg export "$key" "C:\\snap$n.reg" /y >/dev/null 2>&1; then
            iconv -f UTF-16LE -t UTF-8 "$WINEPREFIX/drive_c/snap$n.reg" | tr -d '\r' >> "$1"
        else
            echo "(missing)" >> "$1"
        fi
    done
    echo "== desktop" >> "$1"
    (cd "$WINEPREFIX/drive_c/users" && find . -path '*Desktop*' -type f -exec md5sum {} + | sort) >> "$1"
}
repair() { timeout 120 wine 'C:\Pylonix\settingsrepair.exe' 2>&1 | tr -d '\r'; }
settings_row() {  # the browser-settings record's state in the last check
    python3 -c "import json,sys; r=[x for x in json.load(open(sys.argv[1])) if x['kind']==6]; print(r[0]['state'] if len(r)==1 else 'none')" "$WINEPREFIX/check.out"
}

run_check --json
check "a fresh profile fails the browser-settings row" '[ "$(settings_row)" = 2 ]'
snapshot "$WORK/checked.txt"

# The one-click repair as PylonixCheck runs it unattended, twice; then the
# browser-settings repair alone once more, on the repaired profile.
run_check --json --repair
check "the first one-click repair passes every row" '[ "$CHECK_RC" = 0 ]'
snapshot "$WORK/first.txt"
check "the first repair changed the registry" '! cmp -s "$WORK/checked.txt" "$WORK/first.txt"'
run_check --json --repair
check "the second one-click repair passes every row" '[ "$CHECK_RC" = 0 ]'
snapshot "$WORK/second.txt"
check "the second one-click repair changed nothing" 'diff -u "$WORK/first.txt" "$WORK/second.txt"'
check "the settings repair run again succeeds" '[ "$(repair)" = "repaired 127.0.0.1" ]'
snapshot "$WORK/third.txt"
check "and changed nothing either" 'diff -u "$WORK/second.txt" "$WORK/third.txt"'
check "the pop-up allowance is in the export" 'grep -q "^\"127.0.0.1\"=hex:00,00" "$WORK/second.txt"'

run_check --json
check "the check then passes the browser-settings row" '[ "$(settings_row)" = 1 ]'
snapshot "$WORK/rechecked.txt"
check "and the check itself changed nothing" 'diff -u "$WORK/second.txt" "$WORK/rechecked.txt"'

if [ "$failures" -gt 0 ]; then
    echo "--- log ---"; log_text || true
fi
exit $((failures > 0))
