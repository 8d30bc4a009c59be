#!/bin/bash
# The report collector's pages as headless Chromium renders them, after a
# few desks have reported: docs/collector-desks.png (the desks page) and
# docs/collector-history.png (one desk's history). Build first with
# ./pylonix build.
#   tools/make-collector-screenshot.sh [BUILD]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
COLLECTOR="$BUILD/collector/pylonix-collector"
TOKEN="screenshot-token-0123456789"
[ -x "$COLLECTOR" ] || { echo "make-collector-screenshot: $COLLECTOR is not built (./pylonix build)" >&2; exit 2; }
command -v chromium >/dev/null || { echo "make-collector-screenshot: chromium is not installed" >&2; exit 2; }

tmp="$(mktemp -d)"
pid=""
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
printf '[server]\nlisten = 127.0.0.1:0\n[store]\ndatabase = sqlite:%s/c.db\n[tokens]\nnorvik = %s\n' "$tmp" "$TOKEN" \
    >"$tmp/c.ini"
coproc COLLECTOR_RUN { exec "$COLLECTOR" "$tmp/c.ini" 2>"$tmp/log"; }
pid=$COLLECTOR_RUN_PID
read -r line <&"${COLLECTOR_RUN[0]}"
url="http://${line#*listening on }"
url="${url%%,*}"

titles=("CPU检测" "服务器端连通性" "内存检测" "操作系统" "系统补丁" "浏览器(IE)" "IE设置/优化" "系统/IE补丁检测" "第三方组件检测")
kinds=(1 7 2 3 4 5 6 10 8)
# Rows as PylonixCheck --json prints them, one state digit per row
# (1 passed, 2 failed, 3 warning).
rows() {
    local states="$1" out="" i
    for ((i = 0; i < ${#states}; i++)); do
        out+="${out:+, }{\"kind\": ${kinds[i]}, \"title\": \"${titles[i]}\", \"description\": \"\", \"installed\": 1,"
        out+=" \"optimal\": \"\", \"progress\": $((11 * (i + 1))), \"state\": ${states:i:1}, \"row\": $i}"
    done
    echo "[$out]"
}
post() {   # machine, desk time, report
    curl -sf -o /dev/null --data-urlencode "machine=$1" --data-urlencode "time=$2" \
        --data-urlencode "report=$3" --data-urlencode "token=$TOKEN" "$url/report"
}

post "FIN-PC01" "2025-03-03 08:55:12" "{\"rows\": $(rows 111111111), \"download\": \"16381KB/s\", \"upload\": \"4094.6KB/s\"}"
post "FIN-PC02" "2025-03-03 09:02:40" "$(rows 111131112)"
post "财务-03" "2025-03-03 09:05:03" "$(rows 12)"
post "HR-LAPTOP7" "2025-03-03 09:10:27" "{\"rows\": $(rows 111111311), \"download\": \"9120KB/s\", \"upload\": \"2210.0KB/s\"}"
post "SALES-11" "2025-03-03 09:12:55" "$(rows 111112211)"
post "SALES-11" "2025-03-03 09:14:31" "{\"before\": $(rows 111112211), \"repairs\": [], \"after\": $(rows 111111211), \"exit\": 1}"
post "FRONTDESK" "2025-03-03 09:20:00" "$(rows 111111111)"
post "FIN-PC02" "2025-03-03 09:31:40" "{\"before\": $(rows 111131112), \"repairs\": [], \"after\": $(rows 111131111), \"exit\": 0}"
# A desk whose token is wrong: refused and counted.
curl -s -o /dev/null --data-urlencode "machine=UNKNOWN" --data-urlencode "time=2025-03-03 09:40:00" \
    --data-urlencode "report=$(rows 111111111)" --data-urlencode "token=not-the-company-token" "$url/report"

shot() {
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$tmp/profile" \
        --window-size="$2" --virtual-time-budget=3000 --screenshot="$3" "$1" 2>/dev/null
    echo "$3"
}
shot "$url/#sort=ready:asc" 1280,420 "$ROOT/docs/collector-desks.png"
shot "$url/desk/SALES-11?company=norvik" 1280,560 "$ROOT/docs/collector-history.png"
