#!/bin/bash
# The import check refuses a program that calls what Windows XP lacks: it
# fails and names each call, its DLL and the object that made it, and a
# sub-system version XP does not load.
set -euo pipefail
BUILD="$1"
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
rc=0
out="$(python3 "$ROOT/tools/check-imports.py" "$BUILD/bin/planted.exe")" || rc=$?
echo "$out"
[ "$rc" = 1 ] || { echo "FAIL: the check answered $rc for a program with Vista-only imports" >&2; exit 1; }
expect() {
    grep -qF -- "$1" <<<"$out" || { echo "FAIL: the check did not say: $1" >&2; exit 1; }
}
expect "planted.exe: GetTickCount64 (KERNEL32.dll): newer than Windows XP SP3"
expect "planted.exe: BCryptGenRandom (bcrypt.dll): Windows XP has no bcrypt.dll"
expect "planted.exe: SHCreateMemStream (SHLWAPI.dll): XP exports it by ordinal only, not by name"
expect "pulled in by libplanted_vista.a(vista.cpp.obj)"
expect "planted.exe: Subsystem version 6.0 in the PE header"
# Nothing else: the C runtime and the rest of kernel32 are XP's.
[ "$(grep -c '^planted.exe: ' <<<"$out")" = 4 ] || { echo "FAIL: findings beyond the four planted" >&2; exit 1; }
echo "the check refused the planted calls"
