#!/bin/sh
# Builds the parsers natively with libFuzzer, AddressSanitizer and UBSan, and
# runs them.
#   fuzz/run.sh all [SECONDS]        every target in turn, SECONDS each (default 60)
#   fuzz/run.sh TARGET [SECONDS]     one target
#   fuzz/run.sh list                 the targets
#   fuzz/run.sh build                builds the targets whose sources changed
#   fuzz/run.sh replay               every committed input of fuzz/corpus run
#                                    once through its target: the inputs that
#                                    once found faults stay regression tests
# Build output, the growing corpora (seeded from fuzz/corpus/TARGET) and any
# crashing input go to build/fuzz (PYLONIX_FUZZ_DIR to change); each run's
# final figures are appended to build/fuzz/stats.txt. The exit status is
# non-zero when a target failed to build or found a fault.
set -eu
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(dirname "$HERE")"
out="${PYLONIX_FUZZ_DIR:-$ROOT/build/fuzz}"

TARGETS="compatlist localini localinf ipreply utf8 skinformat skindoc checkrow httpurl multipart"

target="${1:-all}"
seconds="${2:-60}"
mode=fuzz
case "$target" in
    list) echo "$TARGETS"; exit 0 ;;
    build|replay) mode="$target"; target=all ;;
    [0-9]*) seconds="$target"; target=all ;;  # the old form: fuzz/run.sh SECONDS
esac

# Only the fuzz build needs clang (with its libFuzzer runtime) and the native
# headers and libraries of the parsers' dependencies: fetched on demand.
missing=""
command -v clang++ >/dev/null 2>&1 || missing="clang"
for package in libboost-dev libpoco-dev libtinyxml-dev; do
    dpkg -s "$package" >/dev/null 2>&1 || missing="$missing $package"
done
if [ -n "$missing" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi

mkdir -p "$out/crashes"

# The sources and libraries of each target beside its own file. fuzz/win
# holds the few Windows declarations the HTTP client's headers and the row
# markup need; nothing in it reaches a system.
sources() {
    case "$1" in
        compatlist) echo "browser/compatparse.cpp base/binbuffer.cpp fuzz/log_stub.cpp" ;;
        localini|localinf) echo "settings/inifile.cpp settings/configread.cpp base/settings.cpp base/utf8.cpp fuzz/textconv_stub.cpp" ;;
        ipreply|utf8) echo "net/ipreply.cpp base/utf8.cpp fuzz/textconv_stub.cpp" ;;
        skinformat) echo "ui/format.cpp base/utf8.cpp" ;;
        skindoc) echo "ui/resources.cpp ui/format.cpp base/utf8.cpp" ;;
        checkrow) echo "pages/checkrow.cpp" ;;
        httpurl|multipart) echo "net/httpmultipart.cpp base/utf8.cpp" ;;
    esac
}
libraries() {
    case "$1" in
        ipreply|utf8) echo "-lPocoJSON -lPocoFoundation" ;;
        skindoc|checkrow) echo "-ltinyxml" ;;
    esac
}

maxlen() {
    case "$1" in
        compatlist) echo 140000 ;;
        skindoc) echo 16384 ;;
        *) echo 8192 ;;
    esac
}

# Builds a target unless its program is newer than every source and header
# of the folders its sources come from.
build() {
    name="$1"
    files="$HERE/${name}_fuzz.cpp" folders="$HERE"
    for source in $(sources "$name"); do
        files="$files $ROOT/$source"
        folders="$folders $ROOT/$(dirname "$source")"
    done
    program="$out/${name}_fuzz"
    # shellcheck disable=SC2086
    if [ -x "$program" ] && [ -z "$(find $folders -newer "$program" \( -name '*.cpp' -o -name '*.h' \) | head -1)" ]; then
        return 0
    fi
    # shellcheck disable=SC2046,SC2086
    clang++ -std=c++17 -g -O1 -Wall -Wextra -I"$ROOT" -idirafter "$HERE/win" \
        -Wno-ignored-attributes -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        $files $(libraries "$name") -o "$program.new" && mv "$program.new" "$program"
}

# The committed inputs of a target, once each; a fault ends the target's
# program with the input's name in its output.
replay() {
    name="$1"
    seeds="$out/replay/$name"
    rm -rf "$seeds"; mkdir -p "$seeds"
    if [ -d "$HERE/corpus/$name" ]; then cp "$HERE/corpus/$name"/* "$seeds"/; fi
    [ "$name" = compatlist ] && compat_seeds "$seeds"
    count=$(ls "$seeds" | wc -l)
    [ "$count" -gt 0 ] || { echo "$name: no committed inputs"; return 0; }
    log="$out/replay/$name.log"
    if (cd "$out" && "./${name}_fuzz" -runs=0 -max_len="$(maxlen "$name")" -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$out/crashes/replay-$name-" "$seeds") >"$log" 2>&1 &&
       grep -q "seed corpus: files: $count " "$log"; then
        echo "$name: $count inputs replayed"
    else
        echo "$name: FAILED on its committed inputs"; tail -40 "$log"; return 1
    fi
}

# The compatibility list's long seed: a length of 0x8000 with that many
# units behind it (too long for the fuzzer to grow into, too big to commit).
compat_seeds() {
    python3 - "$1" <<'PY'
import struct, sys
def entry(site, n=None):
    text = site.encode("utf-16-le")
    n = len(site) if n is None else n
    return struct.pack("<IQIH", 12, 0, 1, n) + text
def value(area, count):
    return struct.pack("<6I", 0x1F41, 0xBAAD0853, count, len(area) + 12, 1, count) + area
long = entry("a") + entry("", 0x8000) + b"x" * 0x10000 + entry("b")
open(sys.argv[1] + "/seed-long", "wb").write(value(long, 3))
PY
}

run() {
    name="$1"
    corpus="$out/corpus/$name"
    mkdir -p "$corpus"
    if [ -d "$HERE/corpus/$name" ]; then cp -n "$HERE/corpus/$name"/* "$corpus"/ 2>/dev/null || true; fi
    [ "$name" = compatlist ] && compat_seeds "$corpus"
    log="$out/$name.log"
    status=0
    (cd "$out" && "./${name}_fuzz" -max_total_time="$seconds" -max_len="$(maxlen "$name")" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out/crashes/$name-" "$corpus") >"$log" 2>&1 || status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    added=$(sed -n 's/^stat::new_units_added: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    findings=$(ls "$out/crashes" 2>/dev/null | grep -c "^$name-" || true)
    line="$(date -u +%FT%TZ) $name seconds=$seconds executions=${execs:-?} per_second=${rate:-?} new_units=${added:-?} corpus=$(ls "$corpus" | wc -l) findings=$findings exit=$status"
    echo "$line" | tee -a "$out/stats.txt"
    [ "$status" -eq 0 ] || { tail -40 "$log"; return 1; }
}

case "$target" in
    all) chosen="$TARGETS" ;;
    *)
        case " $TARGETS " in *" $target "*) chosen="$target" ;; *) echo "unknown target: $target ($TARGETS)" >&2; exit 2 ;; esac
        ;;
esac

failed=""
if [ "$mode" != fuzz ]; then
    # As many builds at a time as there are processors: each is one compiler
    # run over a handful of files.
    jobs=0
    for name in $chosen; do
        rm -f "$out/failed-build-$name"
        (cd "$ROOT" && build "$name") || : > "$out/failed-build-$name" &
        jobs=$((jobs + 1))
        [ "$jobs" -lt "$(nproc)" ] || { wait; jobs=0; }
    done
    wait
fi
for name in $chosen; do
    cd "$ROOT"
    case "$mode" in
        build) [ ! -e "$out/failed-build-$name" ] || { rm -f "$out/failed-build-$name"; failed="$failed $name(build)"; } ;;
        replay)
            if [ -e "$out/failed-build-$name" ]; then rm -f "$out/failed-build-$name"; failed="$failed $name(build)"; continue; fi
            replay "$name" || failed="$failed $name" ;;
        fuzz)
            if ! build "$name"; then failed="$failed $name(build)"; continue; fi
            run "$name" || failed="$failed $name" ;;
    esac
done
if [ -n "$failed" ]; then
    echo "failed:$failed" >&2
    exit 1
fi
