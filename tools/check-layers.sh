#!/bin/bash
# Fails when a folder includes a folder above it (the rules and the reading
# of includes live in tools/layers.py).
#   check-layers.sh [SOURCE_ROOT]
#   check-layers.sh --self-test    plants wrong-way includes in a scratch tree
exec python3 "$(dirname "$0")/layers.py" "$@"
