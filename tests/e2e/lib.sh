# Shared by the end-to-end scripts: a demo server of their own and a fresh
# Wine prefix holding the program with its local.ini.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$ROOT/scripts/wine-env.sh"

# check NAME CONDITION: "ok" or "FAIL" with the seconds since the script
# started, the failures counted for the script's end.
failures=0
check() { if eval "$2"; then echo "ok   [${SECONDS}s] $1"; else echo "FAIL [${SECONDS}s] $1"; failures=$((failures + 1)); fi; }

# start_demo_server BUILD STATE_DIR [server options...] -> DEMO_PORT, DEMO_PID
start_demo_server() {
    local build="$1" state="$2"; shift 2
    mkdir -p "$state"; rm -f "$state/port"
    "$build/demoserver/pylonix-demo-server" --port 0 --port-file "$state/port" "$@" > "$state/server.log" 2>&1 &
    DEMO_PID=$!
    for _ in $(seq 100); do [ -s "$state/port" ] && break; sleep 0.1; done
    DEMO_PORT="$(cat "$state/port" 2>/dev/null)"
    [ -n "$DEMO_PORT" ] || { echo "demo server did not start" >&2; return 1; }
}

demo_control() { curl -fsS "http://127.0.0.1:$DEMO_PORT$1" >/dev/null; }
# demo_has PATH PATTERN: the demo server's answer at PATH has a line matching
# PATTERN (grep's basic syntax). The answer is read whole first: "curl | grep
# -q" fails under pipefail whenever grep stops reading before curl is done.
demo_has() { local body; body="$(curl -fsS "http://127.0.0.1:$DEMO_PORT$1")" && grep -q -- "$2" <<< "$body"; }

# new_prefix ARCH DIR BUILD -> a fresh prefix with C:\Pylonix\PylonixClient.exe
# and PylonixCheck.exe
new_prefix() {
    local arch="$1" dir="$2" build="$3"
    ensure_i386_exec
    wine_fresh_prefix "$arch" "$dir"
    wine_base_env "$arch" "$dir"
    export WINEPREFIX="$dir"
    ensure_display "$dir"
    APP_DIR="$dir/drive_c/Pylonix"
    mkdir -p "$APP_DIR"
    cp "$build/bin/PylonixClient.exe" "$build/bin/PylonixCheck.exe" "$APP_DIR/"
}

# installed_folder -> PROGRAMS and WINDIR, where the setup program and the
# MSI package install (Program Files (x86)\Pylonix, Program Files\Pylonix on
# 32-bit Windows), and VIEW, the registry view their entries go to.
installed_folder() {
    if [ "$WINEARCH" = win64 ]; then
        PROGRAMS="$WINEPREFIX/drive_c/Program Files (x86)/Pylonix" WINDIR='C:\Program Files (x86)\Pylonix' VIEW=/reg:32
    else
        PROGRAMS="$WINEPREFIX/drive_c/Program Files/Pylonix" WINDIR='C:\Program Files\Pylonix' VIEW=
    fi
}

write_local_ini() {
    printf '[para]\r\nserver_addr=%s\r\nserver_port=%s\r\nserver_website=/norvik/login.htm\r\nversion=12.000.000.0000\r\nedition=std\r\n' \
        "$1" "$2" > "$APP_DIR/local.ini"
    # The browser pane stays off the internet: the demo server has the test page.
    printf 'start_page=about:blank\r\ntest_page=http://%s:%s/speedtest.htm\r\n' "$1" "$2" >> "$APP_DIR/local.ini"
}

# run_client [ARGS...] -> CLIENT_RC (the program's exit code, 0..255)
run_client() {
    set +e
    timeout 300 wine 'C:\Pylonix\PylonixClient.exe' "$@" > "$WINEPREFIX/client.out" 2>&1
    CLIENT_RC=$?
    set -e
}

# run_check [--json] -> CHECK_RC, the output in $WINEPREFIX/check.out (UTF-8)
run_check() {
    set +e
    timeout 600 wine 'C:\Pylonix\PylonixCheck.exe' "$@" > "$WINEPREFIX/check.raw" 2>"$WINEPREFIX/check.err"
    CHECK_RC=$?
    set -e
    if [ "${1:-}" = --json ]; then tr -d '\r' < "$WINEPREFIX/check.raw"; else iconv -f GBK -t UTF-8 "$WINEPREFIX/check.raw" | tr -d '\r'; fi > "$WINEPREFIX/check.out"
}

log_file() { ls "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Pylonix/logs/Pylonix_*.log 2>/dev/null | head -1; }
log_text() { local f; f="$(log_file)"; [ -n "$f" ] && iconv -f GBK -t UTF-8 "$f"; }
system_folder() { if [ "$WINEARCH" = win64 ]; then echo "$WINEPREFIX/drive_c/windows/syswow64"; else echo "$WINEPREFIX/drive_c/windows/system32"; fi; }

# The program with its window, used as a person would: started in the
# background, clicked at its controls' places (in the window's own pixels),
# closed with its close button and the close prompt's "关闭程序".
start_client() {  # [ARGS...] -> CLIENT_PID
    wine 'C:\Pylonix\PylonixClient.exe' "$@" > "$WINEPREFIX/client.out" 2>&1 &
    CLIENT_PID=$!
}
# wait_until COMMAND [SECONDS]: polls the condition until it holds (default 60 s).
wait_until() {
    local end=$((SECONDS + ${2:-60}))
    until eval "$1"; do [ $SECONDS -lt $end ] || return 1; sleep 0.1; done
}
# wait_log TEXT [SECONDS]: until the day's log holds TEXT (default 120 s).
wait_log() { local text="$1"; wait_until 'log_text 2>/dev/null | grep -qF -- "$text"' "${2:-120}"; }
# visible_window TITLE: the shown X window of exactly that title, or nothing.
visible_window() { { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; } | head -1; }
client_window() { visible_window PylonixClient; }
# window_click TITLE X Y: a real click at (X, Y) of that window (the checks
# after it tell whether it did its work). Without a
# window manager nothing gives a clicked window the keyboard: done here.
window_click() {
    local win; win="$(visible_window "$1")"
    [ -n "$win" ] || { echo "     (no window \"$1\" to click at $2,$3)"; return 0; }
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool windowfocus "$win" 2>/dev/null || true
    xdotool mousemove $((X + $2)) $((Y + $3))
    sleep 0.2   # the control takes the hover before the press, as under a hand
    xdotool click 1
}
client_click() { window_click PylonixClient "$@"; }
# window_shot TITLE FILE: that window's pixels.
window_shot() {
    local win; win="$(visible_window "$1")"; [ -n "$win" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$win")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
}
# wait_window TITLE [SECONDS]: until that window is shown and painted: a
# window just mapped is black until it paints, and a click that early is lost.
wait_window() {
    local title="$1"
    wait_until '[ -n "$(visible_window "$title")" ] && eval "$(xdotool getwindowgeometry --shell "$(visible_window "$title")")" &&
        [ "$(import -window root -crop "1x1+$((X + WIDTH / 2))+$((Y + HEIGHT - 8))" -format "%[hex:p{0,0}]" info: 2>/dev/null | cut -c1-6)" != 000000 ]' "${2:-20}" &&
        sleep 0.2
}
close_client() {  # -> CLIENT_RC
    wait_until '[ -n "$(client_window)" ]' 10 || true
    client_click 775 17
    wait_window 关闭提示 && window_click 关闭提示 100 170
    wait_until '! kill -0 $CLIENT_PID 2>/dev/null' || kill "$CLIENT_PID" 2>/dev/null
    set +e; wait "$CLIENT_PID"; CLIENT_RC=$?; set -e
}
