#!/bin/bash
# End to end: the server killed while the component list is on its way.
# PylonixCheck.exe fetches local.inf at start; the demo server sends it
# slowly and is killed (SIGKILL) once the request has arrived. The previous
# list stays byte for byte, no partial file is left, the log says why.
#   killed-server.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)"
WORK="$BUILD/e2e/killed-server"

INF=/norvik/DownLoad/ThirdParty/local.inf
start_demo_server "$BUILD" "$WORK/server" --fault "$INF=rate:20"
trap 'kill -9 $DEMO_PID 2>/dev/null || true; wineserver -k 2>/dev/null; stop_display "$WORK/prefix"' EXIT
new_prefix win64 "$WORK/prefix" "$BUILD"
write_local_ini 127.0.0.1 "$DEMO_PORT"
SYS="$(system_folder)"
printf '[thirdparty]\r\nthirdparty001=previous.ocx\r\n' > "$SYS/local.inf"
cp "$SYS/local.inf" "$WORK/previous.inf"

timeout 300 wine 'C:\Pylonix\PylonixCheck.exe' > "$WORK/check.out" 2>&1 &
CHECK_PID=$!
# The list's GET has reached the server: the body is trickling out now.
wait_until "demo_has /_demo/requests 'GET $INF'" 60 ||
    echo "     (the list's request never arrived)"
kill -9 "$DEMO_PID"
set +e; wait "$CHECK_PID"; set -e

check "the previous list is kept byte for byte" 'cmp "$WORK/previous.inf" "$SYS/local.inf"'
check "no partial file is left" '[ ! -e "$SYS/local.inf.download" ]'
check "the log names the failed transfer" 'log_text | grep -q "DownloadFile http://127.0.0.1:$DEMO_PORT$INF to .*local.inf: transfer failed (21)"'
check "and the list it kept" 'log_text | grep -q "fetch http://127.0.0.1:$DEMO_PORT$INF failed: 21, .*local.inf kept"'

if [ "$failures" -gt 0 ]; then
    echo "--- log ---"; log_text || true
fi
exit $((failures > 0))
