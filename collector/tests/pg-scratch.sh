#!/bin/bash
# A throw-away PostgreSQL cluster for the collector's tests and benchmark,
# from Debian's packages, on 127.0.0.1 and a free port:
#   pg-scratch.sh start DIR   makes DIR, a cluster in it, starts it and
#                             prints its connection string
#   pg-scratch.sh stop DIR    stops the cluster and removes DIR
#   pg-scratch.sh halt DIR    stops the server, keeping the cluster
#   pg-scratch.sh resume DIR  starts it again on the same port
# PostgreSQL refuses to run as root: as root the cluster belongs to the
# user postgres. Exits 77 when PostgreSQL is not installed.
set -euo pipefail
cmd="${1:-}" dir="${2:-}"
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: pg-scratch.sh start|stop|halt|resume DIR" >&2; exit 2; }
bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
[ -x "$bin/initdb" ] || { echo "pg-scratch: PostgreSQL is not installed" >&2; exit 77; }

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

serve() {   # port
    as_owner "$bin/pg_ctl" -D "$dir/data" -w -t 60 -l "$dir/server.log" \
        -o "-p $1 -k $dir -c listen_addresses=127.0.0.1" start >/dev/null
}

case "$cmd" in
start)
    mkdir -p "$dir"
    [ "$(id -u)" -ne 0 ] || chown postgres "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -A trust -U collector -E UTF8 --no-locale -N >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 1; }
    # A port found free can be taken before the server binds it: then try another.
    for attempt in 1 2 3 4 5; do
        port="$(free_port)"
        if serve "$port"; then
            echo "$port" >"$dir/port"
            echo "host=127.0.0.1 port=$port user=collector dbname=postgres"
            exit 0
        fi
    done
    cat "$dir/server.log" >&2
    exit 1
    ;;
halt) as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null ;;
resume) serve "$(cat "$dir/port")" ;;
stop)
    [ ! -d "$dir/data" ] || as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
*) echo "usage: pg-scratch.sh start|stop|halt|resume DIR" >&2; exit 2 ;;
esac
