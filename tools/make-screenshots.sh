#!/bin/bash
# Screenshots of the running program under Wine, taken by the end-to-end
# test of the main window as it clicks through it, into docs/screenshots/:
#   tools/make-screenshots.sh [BUILD_DIR] [OUT_DIR]     (after ./pylonix build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
OUT="${2:-$ROOT/docs/screenshots}"
mkdir -p "$OUT"
"$ROOT/tests/e2e/mainwindow.sh" "$BUILD" "$OUT"
ls "$OUT"
