#!/bin/bash
# The main job: the program started under Wine against the demo company
# server, then the day's log.
#   demo.sh BUILD_DIR      (PYLONIX_WINEARCH=win32 for a 32-bit Windows)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)" ARCH="${PYLONIX_WINEARCH:-win64}"
WORK="$BUILD/demo-run"
start_demo_server "$BUILD" "$WORK/server"
trap 'kill $DEMO_PID 2>/dev/null; wineserver -k 2>/dev/null; stop_display "$WORK/prefix-$ARCH"' EXIT
echo "demo server on 127.0.0.1:$DEMO_PORT"
new_prefix "$ARCH" "$WORK/prefix-$ARCH" "$BUILD"
write_local_ini 127.0.0.1 "$DEMO_PORT"
echo "local.ini: $APP_DIR/local.ini"
run_client
echo "PylonixClient.exe exited with $CLIENT_RC"
echo "--- log: $(log_file) ---"
log_text
SYS="$(system_folder)"
echo "--- $SYS/local.inf ---"
cat "$SYS/local.inf"
# Until the main window exists, the client check runs on the console.
echo "--- PylonixCheck.exe (row, title, state, description, optimal) ---"
run_check
cat "$WINEPREFIX/check.out"
echo "PylonixCheck.exe exited with $CHECK_RC (0: every record passed)"
exit "$CLIENT_RC"
