#!/bin/bash
# PylonixCheck.exe carries no window code: its linker map holds no object of
# the window engine, the browser pane or the window program, and no import
# of the window-only system libraries (GDI+, alpha blending, common controls
# and dialogs). Each finding names the object and what pulled it in.
#   console-links.sh MAP
set -uo pipefail
MAP="$1"
[ -s "$MAP" ] || { echo "FAIL: no linker map at $MAP"; exit 1; }
# The map's first part pairs each archive member taken with the object and
# symbol that needed it, on the next line.
findings="$(awk '
    /^Allocating common symbols|^Discarded input sections|^Memory Configuration/ { exit }
    /libpylonix_(ui|webpane|gui)\.a\(|lib(gdiplus|msimg32|comctl32|comdlg32)\.a\(/ { member = $1; next }
    member { print member " <- " $1 " " $2 " " $3; member = "" }
' "$MAP")"
if [ -n "$findings" ]; then
    echo "FAIL: PylonixCheck.exe pulls in window code:"
    echo "$findings"
    exit 1
fi
echo "PylonixCheck.exe: no window engine, browser pane or window code, no window-only imports"
