#!/bin/bash
# End to end: the operating-system row and the SystemInfo flags under the
# Windows versions and interface languages that matter. One prefix per
# language (English 64-bit, Chinese 32-bit); winecfg switches the version.
#   osmatrix.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)"
WORK="$BUILD/e2e/osmatrix"
# Ends this run's wineservers and the X server it started (if it started one).
cleanup() {
    local dir
    for dir in "$WORK/en" "$WORK/zh"; do
        [ -f "$dir/system.reg" ] && { WINEPREFIX="$dir" wineserver -k 2>/dev/null || true; }
        stop_display "$dir"
    done
}
trap cleanup EXIT

# field NAME -> the value osreport printed for it
field() { sed -n "s/^$1=//p" "$WINEPREFIX/osreport.out"; }
# The SystemInfo flags that are set, blank-separated in osreport's order.
set_flags() { sed -n 's/^sysinfo\.\([A-Za-z0-9]*\)=1$/\1/p' "$WINEPREFIX/osreport.out" | tr '\n' ' ' | sed 's/ $//'; }

run_osreport() {  # [PROGRAM]
    set +e
    timeout 300 wine "C:\\Pylonix\\${1:-osreport}.exe" > "$WINEPREFIX/osreport.raw" 2> "$WINEPREFIX/osreport.err"
    OSREPORT_RC=$?
    set -e
    iconv -f GBK -t UTF-8 "$WINEPREFIX/osreport.raw" | tr -d '\r' > "$WINEPREFIX/osreport.out"
}

# case_of VERSION NAME SERVICE_PACK ARCH FLAGS...
case_of() {
    local version="$1" name="$2" sp="$3" arch="$4"; shift 4
    local flags="$*" tag="$LANG_TAG $version" before="$failures"
    if ! wine winecfg -v "$version" > /dev/null 2>&1; then
        check "$tag: winecfg -v $version" false; return
    fi
    run_osreport
    check "$tag: osreport exits 0" '[ "$OSREPORT_RC" = 0 ]'
    check "$tag: name \"$name\"" '[ "$(field os.description)" = "$name" ]'
    check "$tag: flags $flags" '[ "$(set_flags)" = "$flags" ]'
    check "$tag: architecture $arch" '[ "$(field sysinfo.architecture)" = "$arch" ]'
    check "$tag: service pack \"$sp\"" '[ "$(field sp.description)" = "$sp" ] && [ "$(field sp.installed)" = "$([ -n "$sp" ] && echo 1 || echo 0)" ]'
    check "$tag: rows only inform" '[ "$(grep -c "^[a-z]*\.state=1$" "$WINEPREFIX/osreport.out")" = 4 ]'
    if [ "$failures" -ne "$before" ]; then echo "--- osreport ---"; cat "$WINEPREFIX/osreport.out" "$WINEPREFIX/osreport.err"; fi
}

# texts OS_TITLE SP_TITLE CPU_TITLE MEMORY_TITLE PHYSICAL AVAILABLE MEMORY_OPTIMAL LOG_LINE
# (checked on the last case's report and the prefix's log)
texts() {
    local titles="$1|$2|$3|$4" physical="$5" available="$6" optimal="$7" logline="$8"
    check "$LANG_TAG: titles $titles" '[ "$(field os.title)|$(field sp.title)|$(field cpu.title)|$(field memory.title)" = "$titles" ]'
    check "$LANG_TAG: memory description" 'field memory.description | grep -Eq "^\[$physical:[0-9]+MB;$available:[0-9]+MB\]$"'
    check "$LANG_TAG: memory optimal $optimal" '[ "$(field memory.optimal)" = "$optimal" ]'
    check "$LANG_TAG: processor name and count" 'field cpu.description | grep -Eq "^.*\($(nproc)\)$"'
    check "$LANG_TAG: language logged" 'log_text | grep -q "$logline"'
}

# English Windows, 64-bit. winecfg there offers XP only as its x64 edition
# ("winxp" is refused).
LANG_TAG="en 64-bit"
PYLONIX_LANG=en_US.UTF-8 new_prefix win64 "$WORK/en" "$BUILD"
cp "$BUILD/bin/osreport.exe" "$BUILD/bin/osreport-nomanifest.exe" "$APP_DIR/"
case_of winxp64 "Microsoft Windows XP Professional x64 Edition" "Service Pack 2" X64 windowsXP englishUI
# Wine's GetProductInfo answers 0x1C for workstations, an edition the name
# has no text for.
case_of vista "Microsoft Windows Vista , 64-bit" "Service Pack 2" X64 windowsVista englishUI
case_of win2008 "Microsoft Windows Server 2008 Standard Edition, 64-bit" "Service Pack 2" X64 server2008 englishUI
case_of win2003 "Microsoft Windows Server 2003, Standard x64 Edition" "Service Pack 2" X64 server2003 serverEdition englishUI
case_of win7 "Microsoft Windows 7 , 64-bit" "Service Pack 1" X64 windows7 englishUI
case_of win81 "Microsoft Windows 8.1 , 64-bit" "" X64 windows8 englishUI
case_of win10 "Microsoft Windows 10 , 64-bit" "" X64 windows8 englishUI
# Without the manifest's list of known systems, Windows 10 answers 6.2.
run_osreport osreport-nomanifest
check "$LANG_TAG win10: without the manifest the version call says Windows 8" '[ "$(field os.description)" = "Microsoft Windows 8 , 64-bit" ]'
texts "OS" "OS Patch" "CPU Check" "Memory" Physical Available "2G Upper" "Operate system Language English"
wineserver -k 2>/dev/null || true

# Chinese Windows, 32-bit.
LANG_TAG="zh 32-bit"
PYLONIX_LANG=zh_CN.UTF-8 new_prefix win32 "$WORK/zh" "$BUILD"
cp "$BUILD/bin/osreport.exe" "$BUILD/bin/osreport-nomanifest.exe" "$APP_DIR/"
case_of winxp "Microsoft Windows XP Professional" "Service Pack 3" X86 windowsXP simplifiedChineseUI
case_of vista "Microsoft Windows Vista , 32-bit" "Service Pack 2" X86 windowsVista simplifiedChineseUI
case_of win2008 "Microsoft Windows Server 2008 Standard Edition, 32-bit" "Service Pack 2" X86 server2008 simplifiedChineseUI
case_of win2003 "Microsoft Windows Server 2003, Standard Edition" "Service Pack 2" X86 server2003 serverEdition simplifiedChineseUI
case_of win7 "Microsoft Windows 7 , 32-bit" "Service Pack 1" X86 windows7 simplifiedChineseUI
case_of win81 "Microsoft Windows 8.1 , 32-bit" "" X86 windows8 simplifiedChineseUI
case_of win10 "Microsoft Windows 10 , 32-bit" "" X86 windows8 simplifiedChineseUI
texts "操作系统" "系统补丁" "CPU检测" "内存检测" 物理内存 可用内存 "2G以上" "Operate system Language simple Chinese"

[ "$failures" -eq 0 ] || exit 1
