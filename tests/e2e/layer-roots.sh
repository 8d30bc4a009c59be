#!/bin/bash
# The layer libraries' include roots: a source of a layer finds the headers of
# the layers it uses and not one of a layer above, whatever the sources say.
#   layer-roots.sh BUILD PROBE:HEADER:found|missing ...
# Each probe target compiles one file including HEADER with one layer's view.
set -uo pipefail
BUILD="$1"; shift
rc=0
for probe in "$@"; do
    IFS=: read -r target header want <<<"$probe"
    # The compiler speaks English here whatever language the tests run in.
    out="$(LC_ALL=C LANGUAGE= cmake --build "$BUILD" --target "$target" 2>&1)"; built=$?
    if [ "$want" = found ] && [ $built -ne 0 ]; then
        echo "FAIL: $target: $header was not found:"; echo "$out"; rc=1
    elif [ "$want" = missing ] && [ $built -eq 0 ]; then
        echo "FAIL: $target: $header was found, the layer must not see it"; rc=1
    elif [ "$want" = missing ] && ! grep -qF "$header: No such file or directory" <<<"$out"; then
        echo "FAIL: $target failed for another reason than a missing $header:"; echo "$out"; rc=1
    else
        echo "$target: $header $want"
    fi
done
exit $rc
