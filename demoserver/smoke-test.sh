#!/bin/bash
# Smoke test for pylonix-demo-server. Builds nothing.
# usage: smoke-test.sh path/to/pylonix-demo-server
set -u

BIN=${1:?usage: smoke-test.sh path/to/pylonix-demo-server}
TMP=$(mktemp -d)
SERVER_PID=
FAILURES=0

cleanup() {
    if [ -n "$SERVER_PID" ] && kill -0 "$SERVER_PID" 2>/dev/null; then
        kill "$SERVER_PID" 2>/dev/null
        wait "$SERVER_PID" 2>/dev/null
    fi
    rm -rf "$TMP"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }
check() { # check DESCRIPTION ACTUAL EXPECTED
    if [ "$2" = "$3" ]; then echo "ok   $1"; else fail "$1: got '$2', expected '$3'"; fi
}

if command -v curl >/dev/null 2>&1; then USE_CURL=1; else USE_CURL=0; fi

# fetch METHOD PATH [FORM [CONTENT_TYPE]] -> STATUS CLEN BODYLEN FAILED LOCATION;
# body in $TMP/body, response headers in $TMP/hdr. FORM is posted as
# given (raw bytes), by default as a url-encoded form. CLEN is empty when
# the answer has no Content-Length. FAILED=1 when the client reports an
# incomplete transfer.
fetch() {
    local method=$1 path=$2 form=${3-} ctype=${4-application/x-www-form-urlencoded}
    : >"$TMP/body"
    : >"$TMP/hdr"
    FAILED=0
    if [ "$USE_CURL" = 1 ]; then
        local args=(-o "$TMP/body")
        case "$method" in
            HEAD) args=(-I -o /dev/null) ;;
            POST) args+=(--data-binary "$form" -H "Content-Type: $ctype") ;;
        esac
        curl -s --max-time 10 "${args[@]}" -D "$TMP/hdr" "$BASE$path" || FAILED=1
    else
        FAILED=$(python3 - "$method" "$PORT" "$path" "$TMP/body" "$TMP/hdr" "$form" "$ctype" <<'PY'
import http.client, os, sys
method, port, path, body, hdr, form, ctype = sys.argv[1:8]
conn = http.client.HTTPConnection("127.0.0.1", int(port), timeout=10)
if method == "POST":
    conn.request(method, path, os.fsencode(form), {"Content-Type": ctype})
else:
    conn.request(method, path)
r = conn.getresponse()
failed = 0
try:
    data = r.read()
except http.client.IncompleteRead as e:
    data, failed = e.partial, 1
open(body, "wb").write(data)
with open(hdr, "w") as h:
    h.write("HTTP/1.1 %d %s\r\n" % (r.status, r.reason))
    for name, value in r.getheaders():
        h.write("%s: %s\r\n" % (name, value))
print(failed)
PY
)
    fi
    IFS='|' read -r STATUS CLEN LOCATION < <(awk '
        { sub(/\r$/, "") }
        NR == 1 { status = $2 }
        tolower($1) == "content-length:" { clen = $2 }
        tolower($1) == "location:" { location = $2 }
        END { print status "|" clen "|" location }' "$TMP/hdr")
    BODYLEN=$(($(wc -c <"$TMP/body")))
}

header() { # header NAME -> its value in the last answer, empty when absent
    awk -v n="${1,,}:" '{ sub(/\r$/, "") } tolower($1) == n { sub(/^[^:]*:[ \t]*/, ""); print }' "$TMP/hdr"
}

pct() { # pct TEXT -> every byte percent-encoded
    printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n' | sed 's/../%&/g'
}

set_fault() { # set_fault PATH MODE
    fetch GET "/_demo/fault?path=$(printf '%s' "$1" | sed 's|/|%2F|g')&mode=$2"
    check "fault endpoint accepts $2 for $1" "$STATUS $(cat "$TMP/body")" "200 ok"
}

start_server() {
    rm -f "$TMP/port"
    "$BIN" --port 0 --port-file "$TMP/port" "$@" >"$TMP/stdout" 2>"$TMP/stderr" &
    SERVER_PID=$!
    for _ in $(seq 100); do
        [ -s "$TMP/port" ] && break
        sleep 0.1
    done
    [ -s "$TMP/port" ] || { cat "$TMP/stderr"; echo "FAIL: no port file"; exit 1; }
    PORT=$(cat "$TMP/port")
    BASE="http://127.0.0.1:$PORT"
    sleep 0.1
    check "startup line" "$(cat "$TMP/stdout")" "demo server listening on 127.0.0.1:$PORT"
}

INF=/norvik/DownLoad/ThirdParty/local.inf
OCX=/norvik/DownLoad/ThirdParty/PylonixPrint.ocx
CHARTS=/norvik/DownLoad/ThirdParty/PylonixCharts.ocx
LOGIN=/norvik/login.htm
IE=/norvik/Download/IE
SPEED=$IE/IE8-WindowsServer2003-x86-CHS.exe
STANDINS="IE8-WindowsServer2003-x86-ENU.exe IE8-WindowsXP-x86-ENU.exe IE8-WindowsXP-x86-CHS.exe IE8-WindowsVista-x86-CHS.exe"
IPINFO=/service/getIpInfo.php
SPEED_MIB=21 # not the default, so the option is seen to work
MIB=1048576

mkdir -p "$TMP/root/norvik/DownLoad/ThirdParty" "$TMP/root$IE"
printf 'charts from root\n' >"$TMP/root$CHARTS"
printf 'extra\n' >"$TMP/root/norvik/DownLoad/ThirdParty/Extra.dll"
printf 'vista stub from root\n' >"$TMP/root$IE/IE8-WindowsVista-x86-CHS.exe"
head -c 200000 /dev/urandom >"$TMP/root$IE/slow.bin"

start_server --root "$TMP/root" --fault "$LOGIN=404" --speed-file-mib "$SPEED_MIB"

echo "== built-in content"
fetch GET "$INF"
check "GET local.inf status" "$STATUS" 200
check "GET local.inf Content-Length matches body" "$CLEN" "$BODYLEN"
GET_LEN=$BODYLEN
grep -q $'^thirdparty001=PylonixPrint.ocx\r$' "$TMP/body" || fail "local.inf lacks CRLF entry for PylonixPrint.ocx"
grep -q $'^version002=3.1.0.12\r$' "$TMP/body" || fail "local.inf lacks version002"
fetch HEAD "$INF"
check "HEAD local.inf status" "$STATUS" 200
check "HEAD local.inf Content-Length equals GET body" "$CLEN" "$GET_LEN"

fetch GET "$OCX"
check "GET component status" "$STATUS" 200
[ "$BODYLEN" -gt 1024 ] || fail "component body too small: $BODYLEN"
cp "$TMP/body" "$TMP/ocx1"
fetch GET "$OCX"
cmp -s "$TMP/body" "$TMP/ocx1" || fail "component bytes differ between requests"

fetch GET /norvik/nothing-here
check "unknown path" "$STATUS" 404

echo "== --root and --fault options"
fetch GET "$CHARTS"
check "root file overrides built-in" "$STATUS $(cat "$TMP/body")" "200 charts from root"
fetch GET /norvik/DownLoad/ThirdParty/Extra.dll
check "extra root file served" "$STATUS $BODYLEN" "200 6"
fetch GET "$LOGIN"
check "--fault 404 at start" "$STATUS" 404
set_fault "$LOGIN" normal
fetch GET "$LOGIN"
check "normal removes fault" "$STATUS" 200
grep -qi '<form' "$TMP/body" || fail "login page has no form"

echo "== installers"
fetch HEAD "$SPEED"
check "HEAD speed file is --speed-file-mib MiB" "$STATUS $CLEN" "200 $((SPEED_MIB * MIB))"
fetch GET "$SPEED"
check "GET speed file arrives whole" "$STATUS $BODYLEN $FAILED" "200 $((SPEED_MIB * MIB)) 0"
# Compressing proxies or links must not make the speed test look faster.
PACKED=$(head -c "$MIB" "$TMP/body" | gzip -c | wc -c)
[ "$PACKED" -gt $((MIB * 99 / 100)) ] || fail "speed file compresses to $PACKED of $MIB bytes"
for f in $STANDINS; do
    fetch GET "$IE/$f"
    if [ "$f" = IE8-WindowsVista-x86-CHS.exe ]; then
        check "root file overrides built-in $f" "$STATUS $(cat "$TMP/body")" "200 vista stub from root"
    else
        check "GET $f" "$STATUS $BODYLEN" "200 65536"
        md5sum <"$TMP/body" | cut -d' ' -f1 >>"$TMP/standins"
    fi
done
check "stand-ins differ from each other" "$(sort -u "$TMP/standins" | wc -l)" 3
fetch GET "$IE/IE8-WindowsXP-x86-ENU.exe"
cp "$TMP/body" "$TMP/xp-enu"
fetch GET /norvik/DownLoad/IE/IE8-WindowsXP-x86-ENU.exe
check "installer folder name is case-exact" "$STATUS" 404

echo "== faults"
set_fault "$INF" 404
fetch GET "$INF";  check "404 fault GET" "$STATUS" 404
fetch HEAD "$INF"; check "404 fault HEAD" "$STATUS" 404
fetch GET "$INF?x=1"; check "fault ignores query string" "$STATUS" 404

set_fault "$INF" 302
fetch GET "$INF"
check "302 fault status" "$STATUS" 302
case "$LOCATION" in
    */norvik/login.htm) echo "ok   302 Location" ;;
    *) fail "302 Location: '$LOCATION'" ;;
esac

set_fault "$INF" empty
fetch GET "$INF"
check "empty fault" "$STATUS $CLEN $BODYLEN" "200 0 0"

set_fault "$OCX" cut
fetch HEAD "$OCX"
check "cut fault HEAD is intact" "$STATUS $CLEN" "200 $(wc -c <"$TMP/ocx1" | tr -d ' ')"
fetch GET "$OCX"
check "cut fault GET status" "$STATUS" 200
[ "$BODYLEN" -lt "$CLEN" ] || fail "cut body not short: $BODYLEN of $CLEN"
check "cut fault reported by client" "$FAILED" 1

XP=$IE/IE8-WindowsXP-x86-ENU.exe
set_fault "$XP" nolength
fetch HEAD "$XP"
check "nolength HEAD has no Content-Length" "$STATUS '$CLEN'" "200 ''"
fetch GET "$XP"
check "nolength GET has no Content-Length, not chunked" \
    "$STATUS '$CLEN' '$(header Transfer-Encoding)' $(header Connection | tr A-Z a-z)" "200 '' '' close"
check "nolength GET body arrives whole" "$BODYLEN $FAILED" "65536 0"
cmp -s "$TMP/body" "$TMP/xp-enu" || fail "nolength body differs from the normal one"

SLOW=$IE/slow.bin
set_fault "$SLOW" rate:400000
fetch HEAD "$SLOW"
check "rate HEAD unchanged" "$STATUS $CLEN" "200 200000"
T0=$(date +%s%N)
fetch GET "$SLOW"
MS=$((($(date +%s%N) - T0) / 1000000))
check "rate GET body arrives whole" "$STATUS $BODYLEN $FAILED" "200 200000 0"
cmp -s "$TMP/body" "$TMP/root$SLOW" || fail "rate body differs from the file"
if [ "$MS" -ge 400 ] && [ "$MS" -lt 3000 ]; then
    echo "ok   200000 bytes at rate:400000 took $MS ms"
else
    fail "200000 bytes at rate:400000 took $MS ms, expected about 500"
fi

for mode in bogus rate:0 rate: rate:-5 rate:12x; do
    fetch GET "/_demo/fault?path=%2Fx&mode=$mode"
    check "bad mode $mode rejected" "$STATUS" 400
done

echo "== reset and request log"
fetch GET /_demo/reset
check "reset" "$STATUS" 200
fetch GET "$INF";  check "reset restores local.inf" "$STATUS $CLEN" "200 $GET_LEN"
fetch GET "$OCX";  check "reset restores component" "$STATUS $BODYLEN" "200 $CLEN"
fetch HEAD "$LOGIN"
fetch GET /_demo/requests
check "request log" "$(cat "$TMP/body")" "GET $INF
GET $OCX
HEAD $LOGIN"

echo "== IP information"
MYIP_ANSWER='{"code":0,"data":{"ip":"198.51.100.23","region":"%E5%8C%97%E4%BA%AC%E5%B8%82","isp":"%E7%94%B5%E4%BF%A1","isp_id":"100017"}}'
fetch GET /_demo/reset
fetch HEAD "$IPINFO"; check "HEAD probe" "$STATUS" 200
fetch POST "$IPINFO" ip=myip
check "myip default answer" "$STATUS $(header Content-Type) $(cat "$TMP/body")" "200 application/json $MYIP_ANSWER"
fetch POST "$IPINFO" ip=203.0.113.9
check "address echoed in default answer" "$(cat "$TMP/body")" "${MYIP_ANSWER/198.51.100.23/203.0.113.9}"
fetch POST "$IPINFO" ip=myip text/plain
check "lookup needs a url-encoded form" "$STATUS" 400

set_answer() { # set_answer IP BODY_BYTES
    fetch GET "/_demo/ipinfo?ip=$1&body=$(pct "$2")"
    check "answer for $1 configured" "$STATUS $(cat "$TMP/body")" "200 ok"
}
answer_is() { # answer_is DESCRIPTION IP EXPECTED_BYTES
    printf '%s' "$3" >"$TMP/expected"
    fetch POST "$IPINFO" "ip=$2"
    if [ "$STATUS" = 200 ] && cmp -s "$TMP/body" "$TMP/expected"; then echo "ok   $1"
    else fail "$1: got $STATUS '$(cat "$TMP/body")'"; fi
}
UTF8='{"code":0,"data":{"ip":"192.0.2.1","region":"上海市","isp":"联通","isp_id":"100026"}}'
GBK=$(printf '{"code":0,"data":{"region":"\xb1\xb1\xbe\xa9"}}')
set_answer myip "$UTF8"
set_answer 192.0.2.7 "$GBK"
set_answer 192.0.2.8 '<html>502 Bad Gateway</html>'
set_answer 192.0.2.9 ''
answer_is "configured UTF-8 answer" myip "$UTF8"
answer_is "configured GBK answer" 192.0.2.7 "$GBK"
answer_is "configured non-JSON answer" 192.0.2.8 '<html>502 Bad Gateway</html>'
answer_is "configured empty answer" 192.0.2.9 ''
check "empty answer has Content-Length 0" "$CLEN" 0
answer_is "unconfigured address keeps the default" 203.0.113.9 "${MYIP_ANSWER/198.51.100.23/203.0.113.9}"
fetch GET "/_demo/ipinfo?ip=192.0.2.8"
answer_is "answer without body= is forgotten" 192.0.2.8 "${MYIP_ANSWER/198.51.100.23/192.0.2.8}"

set_fault "$IPINFO" 404
fetch POST "$IPINFO" ip=myip; check "404 fault applies to POST" "$STATUS" 404
set_fault "$IPINFO" nolength
fetch POST "$IPINFO" ip=192.0.2.7
check "nolength fault applies to POST" "$STATUS '$CLEN' $BODYLEN" "200 '' $(printf '%s' "$GBK" | wc -c)"
set_fault "$IPINFO" cut
fetch POST "$IPINFO" ip=myip
check "cut fault applies to POST" "$STATUS $FAILED" "200 1"

fetch GET /_demo/reset
answer_is "reset forgets configured answers" myip "$MYIP_ANSWER"
fetch POST "$IPINFO" ip=myip
check "reset clears faults on POST" "$STATUS" 200
fetch HEAD "$IPINFO"
fetch POST "$IPINFO" 'ip=192.0.2.1&x=1'
fetch GET /_demo/requests
check "lookups logged with their form" "$(cat "$TMP/body")" "POST $IPINFO ip=myip
POST $IPINFO ip=myip
HEAD $IPINFO
POST $IPINFO ip=192.0.2.1&x=1"

echo "== upload page"
UPLOAD=/norvik/SM/Upload/TestUploadSpeed.aspx
fetch GET /_demo/reset
fetch GET /_demo/upload
check "no upload after reset" "$(cat "$TMP/body")" "0 0 partial"
fetch HEAD "$UPLOAD"; check "HEAD upload page" "$STATUS" 200
PART=$'--XYZ\r\nContent-Disposition: form-data; name=""; filename="C:\\a.txt"\r\nContent-Type: text/plain\r\n\r\n0123456789\r\n--XYZ--\r\n'
fetch POST "$UPLOAD" "$PART" "multipart/form-data; boundary=XYZ"
check "POST upload page" "$STATUS" 200
fetch GET /_demo/upload
check "upload recorded whole" "$(cat "$TMP/body")" "1 ${#PART} complete"
fetch GET "/_demo/upload?part=body"
printf '%s' "$PART" >"$TMP/expected"
cmp -s "$TMP/body" "$TMP/expected" || fail "recorded upload body differs"
fetch GET "/_demo/upload?part=head"
check "recorded request line" "$(head -n1 "$TMP/body")" $'POST '"$UPLOAD"$' HTTP/1.1\r'
check "recorded Content-Type" "$(grep -a '^Content-Type:' "$TMP/body" | tr -d '\r')" "Content-Type: multipart/form-data; boundary=XYZ"
check "recorded head ends with an empty line" "$(tail -c 4 "$TMP/body" | od -An -tx1 | tr -d ' \n')" 0d0a0d0a
fetch GET /_demo/requests
check "upload logged without its body" "$(cat "$TMP/body")" "HEAD $UPLOAD
POST $UPLOAD"
set_fault "$UPLOAD" 404
fetch HEAD "$UPLOAD"; check "404 fault on upload page" "$STATUS" 404

echo "== shutdown"
kill -TERM "$SERVER_PID"
for _ in $(seq 50); do kill -0 "$SERVER_PID" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$SERVER_PID" 2>/dev/null; then
    fail "server ignores SIGTERM"
else
    wait "$SERVER_PID"; check "exit status after SIGTERM" "$?" 0
fi

echo "== default speed file and option checks"
for mib in 19 1025 abc; do
    "$BIN" --speed-file-mib "$mib" >/dev/null 2>&1
    check "--speed-file-mib $mib rejected" "$?" 2
done
start_server
fetch HEAD "$SPEED"
check "default speed file is 32 MiB" "$STATUS $CLEN" "200 $((32 * MIB))"
fetch GET "$XP"
cmp -s "$TMP/body" "$TMP/xp-enu" || fail "stand-in bytes differ between server runs"

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed"
    exit 1
fi
echo "all checks passed"
