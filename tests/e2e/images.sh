#!/bin/bash
# The committed window images are exactly what tools/make-images.py draws:
# it is run into a scratch folder and every file compared byte for byte.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
OUT="$(mktemp -d)"
trap 'rm -rf "$OUT"' EXIT
python3 "$ROOT/tools/make-images.py" "$OUT" >/dev/null
status=0
for f in "$ROOT"/gui/res/img/*; do
    name="$(basename "$f")"
    cmp -s "$f" "$OUT/$name" || { echo "images: $name differs from what the generator draws"; status=1; }
done
made="$(ls "$OUT" | wc -l)"; kept="$(ls "$ROOT/gui/res/img" | wc -l)"
[ "$made" = "$kept" ] || { echo "images: the generator draws $made images, $kept are committed"; status=1; }
[ "$status" = 0 ] && echo "images: $kept identical"
exit "$status"
