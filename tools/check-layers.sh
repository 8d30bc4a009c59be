#!/bin/bash
# Fails when a folder includes a folder above it. Every folder is a layer
# and uses only the layers listed for it below (itself included).
#   check-layers.sh [SOURCE_ROOT]
#   check-layers.sh --self-test    plants wrong-way includes in a scratch tree
set -uo pipefail
if [ "${1:-}" = "--self-test" ]; then
    scratch="$(mktemp -d)"; trap 'rm -rf "$scratch"' EXIT
    mkdir -p "$scratch/net" "$scratch/ui" "$scratch/base"
    printf '#include "net/download.h"\n#include "base/log.h"\n' > "$scratch/net/ok.cpp"
    printf '#include "base/log.h"\n' > "$scratch/ui/ok.h"
    "$0" "$scratch" >/dev/null || { echo "self-test: a clean tree was rejected"; exit 1; }
    for planted in "net/a.h:check/checkitem.h" "ui/b.cpp:app/controls.h" "base/c.cpp:net/address.h"; do
        printf '#include <string>\n  #  include "%s"\n' "${planted#*:}" > "$scratch/${planted%%:*}"
        if "$0" "$scratch" >/dev/null; then echo "self-test: missed ${planted}"; exit 1; fi
        rm "$scratch/${planted%%:*}"
    done
    echo "self-test: every planted wrong-way include was caught"
    exit 0
fi
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"

declare -A allowed=(
    [base]="base"
    [net]="base net"
    [browser]="base net browser"
    [check]="base net browser check"
    [ui]="base ui"
    [app]="base net browser check ui app"
)

status=0
for layer in "${!allowed[@]}"; do
    [ -d "$root/$layer" ] || continue
    while IFS=: read -r file line text; do
        used="$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)\/.*/\1/p' <<<"$text")"
        [ -n "$used" ] && [ -n "${allowed[$used]+set}" ] || continue
        if [[ " ${allowed[$layer]} " != *" $used "* ]]; then
            echo "${file#"$root"/}:$line: $layer/ must not include $used/: $text"
            status=1
        fi
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$root/$layer" \
                 --include='*.h' --include='*.cpp' --include='*.rc')
done
[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
