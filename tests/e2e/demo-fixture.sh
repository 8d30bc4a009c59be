#!/bin/bash
# Starts or stops the demo server that the unit tests talk to.
#   demo-fixture.sh start|stop SERVER STATE_DIR [ROOT]
# ROOT: files served in place of the built-in content (test fixtures).
# STATE_DIR/port holds the port, STATE_DIR/pid the process.
# Where the system allows mounts (root), STATE_DIR/full is a 64 KiB
# file system, already nearly full, and STATE_DIR/readonly a read-only one:
# the download tests reach them through Wine's Z: drive to try a full disk
# and a folder that cannot be written.
set -euo pipefail
action="$1" server="$2" state="$3" root="${4:-}"

unmount_drives() {
    for d in full readonly; do
        mountpoint -q "$state/$d" 2>/dev/null && umount "$state/$d"
        rmdir "$state/$d" 2>/dev/null || true
    done
}

mount_drives() {
    unmount_drives
    [ "$(id -u)" = 0 ] || return 0
    mkdir -p "$state/full" "$state/readonly"
    if ! mount -t tmpfs -o size=64k,mode=0777 pylonix-full "$state/full" 2>/dev/null ||
       ! mount -t tmpfs -o size=64k,mode=0777 pylonix-readonly "$state/readonly" 2>/dev/null; then
        unmount_drives; return 0
    fi
    # The previous file the tests keep, then the read-only switch; the full
    # drive is left with less room than any served file needs.
    mkdir -p "$state/readonly/Download"
    printf 'an older installer' > "$state/readonly/Download/IE8-WindowsXP-x86-CHS.exe"
    mount -o remount,ro "$state/readonly" || { unmount_drives; return 0; }
    head -c 60000 /dev/zero > "$state/full/filler" 2>/dev/null || true
}

case "$action" in
start)
    mkdir -p "$state"
    mount_drives
    if [ -f "$state/pid" ] && kill -0 "$(cat "$state/pid")" 2>/dev/null; then kill "$(cat "$state/pid")"; fi
    rm -f "$state/port"
    nohup "$server" --port 0 --port-file "$state/port" ${root:+--root "$root"} > "$state/server.log" 2>&1 &
    echo $! > "$state/pid"
    for _ in $(seq 100); do [ -s "$state/port" ] && exit 0; sleep 0.1; done
    echo "demo server did not start" >&2; cat "$state/server.log" >&2; exit 1 ;;
stop)
    [ -f "$state/pid" ] && kill "$(cat "$state/pid")" 2>/dev/null || true
    rm -f "$state/pid"
    unmount_drives ;;
esac
