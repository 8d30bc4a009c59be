#!/bin/bash
# Starts or stops the demo server that the unit tests talk to.
#   demo-fixture.sh start|stop SERVER STATE_DIR [ROOT]
# ROOT: files served in place of the built-in content (test fixtures).
# STATE_DIR/port holds the port, STATE_DIR/pid the process.
set -euo pipefail
action="$1" server="$2" state="$3" root="${4:-}"
case "$action" in
start)
    mkdir -p "$state"
    if [ -f "$state/pid" ] && kill -0 "$(cat "$state/pid")" 2>/dev/null; then kill "$(cat "$state/pid")"; fi
    rm -f "$state/port"
    nohup "$server" --port 0 --port-file "$state/port" ${root:+--root "$root"} > "$state/server.log" 2>&1 &
    echo $! > "$state/pid"
    for _ in $(seq 100); do [ -s "$state/port" ] && exit 0; sleep 0.1; done
    echo "demo server did not start" >&2; cat "$state/server.log" >&2; exit 1 ;;
stop)
    [ -f "$state/pid" ] && kill "$(cat "$state/pid")" 2>/dev/null || true
    rm -f "$state/pid" ;;
esac
