#!/bin/sh
# Builds the compatibility-view list parser natively with the fuzzer and
# sanitizers, and runs it.
#   fuzz/run.sh [seconds]      default 60
# Build output and the corpus go to build/fuzz (PYLONIX_FUZZ_DIR to change).
set -eu
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(dirname "$HERE")"
seconds="${1:-60}"
out="${PYLONIX_FUZZ_DIR:-$ROOT/build/fuzz}"

# Only the fuzz build needs clang (with its libFuzzer runtime): fetched on demand.
if ! command -v clang++ >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang
fi

mkdir -p "$out/corpus"
clang++ -std=c++17 -g -O1 -Wall -Wextra -I"$ROOT" \
    -Wno-ignored-attributes -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    "$HERE/compatlist_fuzz.cpp" "$HERE/log_stub.cpp" \
    "$ROOT/browser/compatparse.cpp" "$ROOT/base/binbuffer.cpp" \
    -o "$out/compatlist_fuzz"

# Seeds: a sound three-entry list, and a length of 0x8000 with that many
# units behind it (too long for the fuzzer to grow into by itself).
python3 - "$out/corpus" <<'PY'
import struct, sys
def entry(site, n=None):
    text = site.encode("utf-16-le")
    n = len(site) if n is None else n
    return struct.pack("<IQIH", 12, 0, 1, n) + text
def value(area, count):
    return struct.pack("<6I", 0x1F41, 0xBAAD0853, count, len(area) + 12, 1, count) + area
sound = entry("norvik.example") + entry("10.1.2.3") + entry("intranet")
long = entry("a") + entry("", 0x8000) + b"x" * 0x10000 + entry("b")
open(sys.argv[1] + "/seed-sound", "wb").write(value(sound, 3))
open(sys.argv[1] + "/seed-long", "wb").write(value(long, 3))
PY

cd "$out"
exec ./compatlist_fuzz -max_total_time="$seconds" -max_len=140000 -print_final_stats=1 corpus
