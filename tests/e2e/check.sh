#!/bin/bash
# End to end: PylonixCheck.exe in a fresh prefix against the demo server.
#   check.sh BUILD_DIR win64|win32
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)" ARCH="$2"
WORK="$BUILD/e2e/check-$ARCH"

start_demo_server "$BUILD" "$WORK/server" --root "$BUILD/demo-root"   # the real test components
COLLECTOR_PID=""
trap 'kill $DEMO_PID $COLLECTOR_PID 2>/dev/null; wineserver -k 2>/dev/null; stop_display "$WORK/prefix"' EXIT
new_prefix "$ARCH" "$WORK/prefix" "$BUILD"
write_local_ini 127.0.0.1 "$DEMO_PORT"

# The records as JSON: the fixed order, progress, the keys, and an exit code
# that says whether every record passed.
run_check --json
JSON="$WINEPREFIX/check.out"
verdict="$(python3 - "$JSON" "$CHECK_RC" <<'PY'
import json, sys
records = json.load(open(sys.argv[1], encoding="utf-8"))
rc = int(sys.argv[2])
keys = ["kind", "title", "description", "installed", "optimal", "progress", "state", "row"]
assert all(list(r.keys()) == keys for r in records), "keys"
kinds = [r["kind"] for r in records]
full = [1, 7, 2, 3, 4, 5, 6, 10, 8]
short = [1, 7, 2, 3, 4, 5, 8]
assert kinds in (full, short), kinds
assert [r["row"] for r in records] == list(range(len(records))), "rows"
expected = [11, 22, 33, 44, 55, 66, 77, 88][:len(records) - 1] + [100]
assert [r["progress"] for r in records] == expected, [r["progress"] for r in records]
assert records[1]["state"] == 1, "server reachable"
assert records[0]["title"] == "CPU检测", records[0]["title"]
assert rc == (0 if all(r["state"] == 1 for r in records) else 1), rc
print(len(records))
PY
)" || verdict=""
check "JSON records in order, exit code matches" '[ -n "$verdict" ]'

# Unattended repair on this fresh profile: the failed rows before, all
# passing after; then with a component the server cuts short: still failing.
states() {  # before|after -> "kind:state ..." of that run
    python3 -c "import json,sys; print(' '.join('%d:%d' % (r['kind'], r['state']) for r in json.load(open(sys.argv[1]))[sys.argv[2]]))" "$WINEPREFIX/check.out" "$1"
}
run_check --json --repair
echo "     before: $(states before)"; echo "     after:  $(states after)"
check "unattended: browser settings and components fail before, every row passes after, exit 0" \
    'states before | grep -q "6:2" && states before | grep -q "8:2" && ! states after | grep -q ":[23]" && [ "$CHECK_RC" = 0 ]'
SYS="$(system_folder)"
rm -f "$SYS/PylonixPrint.ocx"
demo_control "/_demo/fault?path=/norvik/DownLoad/ThirdParty/PylonixPrint.ocx&mode=cut"
run_check --repair
check "unattended with a component cut short: exit 1, the row still failing" \
    '[ "$CHECK_RC" = 1 ] && grep -q "^repair	8	download failed$" "$WINEPREFIX/check.out" &&
     grep -q "^after	8	[^	]*	failed	" "$WINEPREFIX/check.out" && [ ! -e "$SYS/PylonixPrint.ocx" ]'
demo_control "/_demo/fault?path=/norvik/DownLoad/ThirdParty/PylonixPrint.ocx&mode=normal"

# The fleet report: posted to the collection page byte for byte as printed,
# listed for an administrator; a report that does not arrive changes the
# exit code only when it is required.
COLLECT="http://127.0.0.1:$DEMO_PORT/norvik/SM/Report/Collect.aspx"
run_check --json --repair --report "$COLLECT"
check "the report arrives as printed and is listed with the machine" \
    'curl -fsS "http://127.0.0.1:$DEMO_PORT/_demo/reports?last=report" | cmp -s - "$WINEPREFIX/check.raw" &&
     [ "$CHECK_RC" = 0 ] && demo_has /_demo/reports "<td>[0-9]\{4\}-[0-9][0-9]-[0-9][0-9] "'
demo_control "/_demo/fault?path=/norvik/SM/Report/Collect.aspx&mode=404"
run_check --report "$COLLECT"
rc_optional="$CHECK_RC"
run_check --report "$COLLECT" --report-required
check "an undelivered report: said on stderr, exit 4 only when required" \
    '[ "$rc_optional" = 0 ] && [ "$CHECK_RC" = 4 ] && grep -q "the report could not be posted" "$WINEPREFIX/check.err"'
demo_control "/_demo/fault?path=/norvik/SM/Report/Collect.aspx&mode=normal"

# The company's own collector: the desk's token from local.ini gets its
# repair report stored; with another token the collector refuses it and a
# required report fails.
rm -rf "$WORK/collector"; mkdir -p "$WORK/collector"
printf '[server]\nlisten = 127.0.0.1:0\n[store]\ndatabase = sqlite:%s/desks.db\n[tokens]\nnorvik = desk-token-0123456789\n' \
    "$WORK/collector" > "$WORK/collector/collector.ini"
"$BUILD/collector/pylonix-collector" "$WORK/collector/collector.ini" > "$WORK/collector/out" 2>&1 &
COLLECTOR_PID=$!
wait_until 'grep -q "listening on" "$WORK/collector/out"' 20 || true
CPORT="$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$WORK/collector/out" | head -1)"
printf 'report_token=desk-token-0123456789\r\n' >> "$APP_DIR/local.ini"
run_check --json --repair --report "http://127.0.0.1:$CPORT/report" --report-required
desk="$(curl -fsS "http://127.0.0.1:$CPORT/desks.csv" | tr -d '\r' | grep -i "^\"\?$(hostname | cut -d. -f1 | cut -c1-15)," || true)"
echo "     collector: $desk"
check "the collector stores the desk's report sent with its token" '[ "$CHECK_RC" = 0 ] && [ -n "$desk" ]'
sed -i 's/^report_token=.*/report_token=another-token-0123456789/' "$APP_DIR/local.ini"
run_check --report "http://127.0.0.1:$CPORT/report" --report-required
check "a wrong token: refused (403), the required report fails" \
    '[ "$CHECK_RC" = 4 ] && grep -q "HTTP 403" "$WINEPREFIX/check.err"'
kill $COLLECTOR_PID; wait $COLLECTOR_PID 2>/dev/null || true

# The same run as lines: one per record, five tab-separated fields.
run_check
check "one line per record" '[ "$(grep -c . "$WINEPREFIX/check.out")" = "$verdict" ]'
check "five fields a line" '! awk -F"\t" "NF != 5" "$WINEPREFIX/check.out" | grep -q .'
check "connectivity line" 'grep -q "^1	服务器端连通性	passed	" "$WINEPREFIX/check.out"'

# Browser 8: the patch item asks the system for its hotfixes, a query that
# needs a multithreaded apartment on the check's thread. It must run (no
# failure logged) and judge the item.
IE_KEY='HKLM\Software\Microsoft\Internet Explorer'
for view in 32 64; do
    wine reg add "$IE_KEY" /v Version /d 8.0.6001.18702 /f /reg:$view >/dev/null 2>&1
    wine reg delete "$IE_KEY" /v svcVersion /f /reg:$view >/dev/null 2>&1 || true
done
run_check --json
check "browser 8: the hotfix query runs and the patch item is judged" \
    '! log_text | grep -q "QueryHotfixes CoInitializeEx fail" && python3 -c "import json,sys; r=json.load(open(sys.argv[1])); p=[x for x in r if x[\"kind\"]==10]; assert len(p)==1 and p[0][\"state\"] in (1,3), p" "$WINEPREFIX/check.out"'

# Windows 10: the system row names it (the manifest lists the system).
wine winecfg -v win10 > /dev/null 2>&1
run_check --json
check "Windows 10: the system row says so" \
    'python3 -c "import json,sys; r=[x for x in json.load(open(sys.argv[1])) if x[\"kind\"]==3]; assert r[0][\"description\"]==\"Microsoft Windows 10 , 64-bit\", r" "$WINEPREFIX/check.out"'

# local.ini as Notepad saves it ("Unicode": UTF-16 with its mark), the port
# written twice with the later one right: the check reaches the demo server
# (more than an unreachable one's two records) and has nothing to say.
write_local_ini 127.0.0.1 "$DEMO_PORT"
{ printf '[para]\r\nserver_port=1\r\n'; cat "$APP_DIR/local.ini"; } |
    python3 -c 'import sys; sys.stdout.buffer.write(b"\xff\xfe" + sys.stdin.buffer.read().decode("ascii").encode("utf-16-le"))' > "$WINEPREFIX/local.ini"
mv "$WINEPREFIX/local.ini" "$APP_DIR/local.ini"
run_check --json
check "a UTF-16 local.ini with a repeated key is read, the last value counting" \
    'python3 -c "import json,sys; assert len(json.load(open(sys.argv[1])))>2" "$WINEPREFIX/check.out" && [ ! -s "$WINEPREFIX/check.err" ]'

# The server named by its host name: the name is resolved, standard output
# is still the JSON report alone, byte for byte, and the resolver's listing
# is on standard error.
write_local_ini localhost "$DEMO_PORT"
run_check --json
check "a host-name server: standard output is the JSON report alone" \
    'python3 -c "import json,sys; r=json.loads(open(sys.argv[1], \"rb\").read().decode(\"utf-8\")); assert len(r)>2 and r[1][\"state\"]==1, r" "$WINEPREFIX/check.raw"'
check "a host-name server: the resolver's listing is on standard error" \
    'python3 - "$WINEPREFIX/check.err" <<"PY"
import re, sys
err = open(sys.argv[1], "rb").read().replace(b"\r\n", b"\n")
m = re.search(rb"Function returned:\n\tOfficial name: [^\n]+\n(\tAlternate name #\d+: [^\n]+\n)*"
              rb"\tAddress type: AF_INET\n\tAddress length: 4\n(\tIP Address #\d+: [0-9.]+\n)+", err)
assert m and b"127.0.0.1" in m.group(0), err
PY'

# An unreachable server: two records and exit 1.
write_local_ini 127.0.0.1 1
run_check --json
check "messages go to stderr, no dialog" 'iconv -f GBK -t UTF-8 "$WINEPREFIX/check.err" | grep -q "^警告: 请检查资源是否有效:http://127.0.0.1:1/"'
check "unreachable: two records, exit 1" '[ "$CHECK_RC" = 1 ] && python3 -c "import json,sys; r=json.load(open(sys.argv[1])); assert [x[\"kind\"] for x in r]==[1,7] and r[1][\"state\"]==2" "$WINEPREFIX/check.out"'

# A file where the log folder should be: the check still runs, and says once
# that nothing is logged.
logs="$(dirname "$(log_file)")"
rm -rf "$logs" && echo "not a folder" > "$logs"
run_check --json
check "an unwritable log: one warning, the check still runs" \
    '[ "$(iconv -f GBK -t UTF-8 "$WINEPREFIX/check.err" | grep -c "日志无法写入")" = 1 ] && [ "$CHECK_RC" = 1 ] && python3 -c "import json,sys; assert len(json.load(open(sys.argv[1])))==2" "$WINEPREFIX/check.out"'
rm -f "$logs"

if [ "$failures" -gt 0 ]; then
    echo "--- output ---"; cat "$WINEPREFIX/check.out"; cat "$WINEPREFIX/check.err"
    echo "--- log ---"; log_text || true
fi
exit $((failures > 0))
