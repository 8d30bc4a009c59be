#!/bin/bash
# The collector's benchmark, on SQLite and on a throw-away PostgreSQL
# cluster: DESKS simulated desks (default 10000) post one report each from
# CLIENTS connections at once (default 16), then each once more (the
# update of a known desk, its history trimmed); then the desks page, the
# page filtered to the desks not ready and the CSV export are timed.
#   collector/bench/run.sh [BUILD] [DESKS] [CLIENTS]
# Build first with ./pylonix build. Loopback only.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-$ROOT/build}"
DESKS="${2:-10000}"
CLIENTS="${3:-16}"
BIN="$BUILD/collector"
TOKEN="bench-token-0123456789abcdef"
for p in pylonix-collector pylonix-collector-bench; do
    [ -x "$BIN/$p" ] || { echo "bench: $BIN/$p is not built (./pylonix build)" >&2; exit 2; }
done

tmp="$(mktemp -d)"
chmod 755 "$tmp"   # the PostgreSQL cluster's owner reaches its folder inside
collector_pid=""
cleanup() {
    [ -z "$collector_pid" ] || kill "$collector_pid" 2>/dev/null || true
    "$ROOT/collector/tests/pg-scratch.sh" stop "$tmp/pg" >/dev/null 2>&1 || true
    rm -rf "$tmp"
}
trap cleanup EXIT

bench() {
    local kind="$1" database="$2"
    printf '[server]\nlisten = 127.0.0.1:0\nthreads = 64\n[store]\ndatabase = %s\nhistory = 50\n[tokens]\nbench = %s\n' \
        "$database" "$TOKEN" >"$tmp/$kind.ini"
    coproc COLLECTOR { exec "$BIN/pylonix-collector" "$tmp/$kind.ini" 2>"$tmp/$kind.log"; }
    collector_pid=$COLLECTOR_PID
    local line
    read -r line <&"${COLLECTOR[0]}"
    local url="http://${line#*listening on }"
    url="${url%%,*}"
    echo "== $kind: $DESKS desks, $CLIENTS clients"
    echo "-- new desks"
    "$BIN/pylonix-collector-bench" --url "$url" --token "$TOKEN" --desks "$DESKS" --clients "$CLIENTS"
    echo "-- known desks, a second report each"
    "$BIN/pylonix-collector-bench" --url "$url" --token "$TOKEN" --desks "$DESKS" --clients "$CLIENTS" --round 1
    kill "$collector_pid"
    wait "$collector_pid" || true
    collector_pid=""
}

bench sqlite "sqlite:$tmp/bench.db"
if database="$("$ROOT/collector/tests/pg-scratch.sh" start "$tmp/pg")"; then
    bench postgresql "$database"
else
    echo "== postgresql: skipped (no cluster could be started)"
fi
