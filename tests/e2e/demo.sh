#!/bin/bash
# The main job: the program with its window under Wine against the demo
# company server, running until its window is closed; then the day's log.
#   demo.sh BUILD_DIR      (PYLONIX_WINEARCH=win32 for a 32-bit Windows)
# PYLONIX_DEMO_SECONDS=N closes the window after N seconds (for scripts).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)" ARCH="${PYLONIX_WINEARCH:-win64}"
WORK="$BUILD/demo-run"
# The test components and the installer stand-in come from the build, so
# the one-click repair has something real to fetch and register.
start_demo_server "$BUILD" "$WORK/server" --root "$BUILD/demo-root"
trap 'kill $DEMO_PID 2>/dev/null; wineserver -k 2>/dev/null; stop_display "$WORK/prefix-$ARCH"' EXIT
echo "demo server on 127.0.0.1:$DEMO_PORT"
new_prefix "$ARCH" "$WORK/prefix-$ARCH" "$BUILD"
write_local_ini 127.0.0.1 "$DEMO_PORT"
echo "local.ini: $APP_DIR/local.ini"
start_client
if ! wait_log "main window shown" 120; then
    echo "the main window did not appear; the log so far:"
    log_text || true
    exit 1
fi
echo "PylonixClient.exe is running with its window on display $DISPLAY."
echo "  watch it:        DISPLAY=$DISPLAY import -window root shot.png   (or x11vnc -display $DISPLAY)"
echo "  click in it:     DISPLAY=$DISPLAY xdotool mousemove X Y click 1"
echo "  the log:         $(log_file)"
echo "Close the window (its X button, top right) to end the demo."
if [ -n "${PYLONIX_DEMO_SECONDS:-}" ]; then
    sleep "$PYLONIX_DEMO_SECONDS"
    close_client
else
    set +e; wait "$CLIENT_PID"; CLIENT_RC=$?; set -e
fi
echo "PylonixClient.exe exited with $CLIENT_RC"
echo "--- log: $(log_file) ---"
log_text
SYS="$(system_folder)"
echo "--- $SYS/local.inf ---"
cat "$SYS/local.inf"
exit "$CLIENT_RC"
