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

# layer: the layers it may include (itself included)
allowed='base: base
net: base net
browser: base net browser
check: base net browser check
ui: base ui
app: base net browser check ui app'

layers="$(cut -d: -f1 <<<"$allowed" | tr '\n' ' ')"
status=0
for layer in $layers; do
    [ -d "$root/$layer" ] || continue
    { grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z]+/' "$root/$layer" \
            --include='*.h' --include='*.cpp' --include='*.rc' || true; } |
        awk -v layer="$layer" -v root="$root/" -v allowed="$allowed" -v layers=" $layers" '
            BEGIN {
                n = split(allowed, rows, "\n")
                for (i = 1; i <= n; i++) { split(rows[i], kv, ": "); if (kv[1] == layer) ok = " " kv[2] " " }
            }
            {
                match($0, /"[a-z]+\//); used = substr($0, RSTART + 1, RLENGTH - 2)
                if (index(layers " ", " " used " ") && !index(ok, " " used " ")) {
                    sub(root, ""); print layer "/ must not include " used "/: " $0; bad = 1
                }
            }
            END { exit bad }' || status=1
done
[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
