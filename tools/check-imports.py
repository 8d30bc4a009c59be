#!/usr/bin/env python3
"""Fails when a Windows program imports anything Windows XP SP3 lacks.

usage: check-imports.py BINARY...

The programs must load on Windows XP SP3 and Server 2003 SP2, and Wine cannot
show a missing import: its DLLs export every function whatever version a
prefix claims. So this reads each binary's import table (objdump) and judges
every imported function:

- its DLL must be one that XP SP3 ships (XP_DLLS below); bcrypt.dll, for one,
  arrived with Vista;
- msvcrt.dll: XP SP3's msvcrt.dll is the system build of the Visual C++ 7.0
  runtime, so the name must be one msvcr70.dll exports (read from MinGW-w64's
  own import library for it);
- every other function must be declared by the MinGW-w64 headers when they are
  asked for XP SP3 (_WIN32_WINNT 0x0501, NTDDI_VERSION 0x05010300): they declare each function only from the
  Windows version that has it. One C++ file naming every import is compiled
  for XP; a name it reports undeclared is compiled again for Windows 10 to
  tell "newer than XP" from "declared by no header we include". Both fail.
  GDI+ 1.1 came with Vista and the headers do not guard it: GDIPLUS_11. Nor
  do they mark what XP exports by ordinal only: ORDINAL_ONLY_ON_XP.

The sub-system and OS versions in the PE header must be 5.1 or lower, or XP
refuses the program as "not a valid Win32 application".

Where BINARY.map (the linker's map) lies beside a binary, each finding names
the object that pulled the import in. Prints one line per finding and exits 1
when there is one, 0 when the binaries meet the floor.
"""
import os
import re
import subprocess
import sys
import tempfile

TOOL = "i686-w64-mingw32-"
FLOOR = (5, 1)

# System DLLs that Windows XP SP3 ships (lower case). A DLL not listed here
# fails until someone confirms XP has it and adds it.
XP_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "dbghelp.dll", "gdi32.dll",
    "gdiplus.dll", "imm32.dll", "iphlpapi.dll", "kernel32.dll", "mpr.dll", "msimg32.dll",
    "msvcrt.dll", "ole32.dll", "oleacc.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll",
    "secur32.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "urlmon.dll", "user32.dll",
    "userenv.dll", "uxtheme.dll", "version.dll", "wininet.dll", "winmm.dll", "winspool.drv", "wintrust.dll",
    "ws2_32.dll", "wsock32.dll",
}

# GDI+ 1.1 (Vista and later); gdiplus.dll on XP is 1.0.
GDIPLUS_11 = {
    "GdipBitmapApplyEffect", "GdipBitmapConvertFormat", "GdipBitmapCreateApplyEffect",
    "GdipBitmapGetHistogram", "GdipBitmapGetHistogramSize", "GdipConvertToEmfPlus",
    "GdipConvertToEmfPlusToFile", "GdipConvertToEmfPlusToStream", "GdipCreateEffect",
    "GdipDeleteEffect", "GdipDrawImageFX", "GdipFindFirstImageItem", "GdipFindNextImageItem",
    "GdipGetEffectParameterSize", "GdipGetEffectParameters", "GdipGetImageItemData",
    "GdipGraphicsSetAbort", "GdipImageSetAbort", "GdipInitializePalette",
    "GdipPlayTSClientRecord", "GdipSetEffectParameters",
}

# Functions XP has, but exports by ordinal only (the shell's light-weight
# utilities named theirs from Vista on), while MinGW-w64's headers and import
# libraries offer them by name: an import by name fails to load there.
ORDINAL_ONLY_ON_XP = {
    "shlwapi.dll": {
        "ConnectToConnectionPoint", "IStream_Read", "IStream_Reset", "IStream_Size", "IStream_Write",
        "IUnknown_AtomicRelease", "IUnknown_GetSite", "IUnknown_QueryService", "IUnknown_Set",
        "IUnknown_SetSite", "IsOS", "QISearch", "SHAnsiToAnsi", "SHAnsiToUnicode", "SHCreateMemStream",
        "SHFormatDateTimeA", "SHFormatDateTimeW", "SHStripMneumonicA", "SHStripMneumonicW",
        "SHUnicodeToAnsi", "SHUnicodeToUnicode",
    },
}

HEADERS = """
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dbghelp.h>
#include <iphlpapi.h>
#include <mmsystem.h>
#include <oleacc.h>
#include <ole2.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#define SECURITY_WIN32
#include <security.h>
#include <urlmon.h>
#include <userenv.h>
#include <uxtheme.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <wininet.h>
#include <winver.h>
#include <gdiplus.h>
using namespace Gdiplus;
using namespace Gdiplus::DllExports;
"""


def run(args):
    return subprocess.run(args, capture_output=True, text=True, env=dict(os.environ, LC_ALL="C"))


def read_pe(binary):
    """(versions, {dll: [names]}) from objdump's private headers."""
    out = run([TOOL + "objdump", "-p", binary])
    if out.returncode != 0:
        sys.exit(f"{binary}: objdump failed: {out.stderr.strip()}")
    versions, imports, dll = {}, {}, None
    for line in out.stdout.splitlines():
        m = re.match(r"(Major|Minor)(Subsystem|OSystem)Version\s+(\d+)", line)
        if m:
            versions[m.group(1) + m.group(2)] = int(m.group(3))
            continue
        m = re.match(r"\tDLL Name: (\S+)", line)
        if m:
            dll = m.group(1)
            imports.setdefault(dll, [])
            continue
        if not line.strip():
            dll = None
            continue
        # "\t<vma>\t <hint>  <name>" under a DLL; an import by ordinal has no name.
        m = re.match(r"\t[0-9a-f]+\t\s*(\d+)(?:\s+(\S+))?$", line)
        if dll and m:
            imports[dll].append(m.group(2) or f"#{m.group(1)}")
    return versions, imports


def msvcr70_exports():
    lib = run([TOOL + "gcc", "-print-file-name=libmsvcr70.a"]).stdout.strip()
    out = run([TOOL + "nm", lib])
    if out.returncode != 0:
        sys.exit(f"cannot read MinGW-w64's libmsvcr70.a: {out.stderr.strip()}")
    names = set()
    for line in out.stdout.splitlines():
        m = re.match(r"\S+ I _*imp__(\S+?)(@\d+)?$", line)
        if m:
            names.add(m.group(1))
    return names


def undeclared(names, winnt, ntddi):
    """The names that the headers, compiled for `winnt`, leave undeclared."""
    body = "".join(f"const void* p{i} = reinterpret_cast<const void*>(&{n});\n" for i, n in enumerate(names))
    with tempfile.NamedTemporaryFile("w", suffix=".cpp", delete=False) as f:
        f.write(HEADERS + body)
    try:
        out = run([TOOL + "g++", "-fsyntax-only", "-w", "-fmax-errors=0", f"-D_WIN32_WINNT={winnt}",
                   f"-DWINVER={winnt}", f"-DNTDDI_VERSION={ntddi}", "-D_WIN32_IE=0x0603", "-DWIN32_LEAN_AND_MEAN", "-DNOMINMAX", f.name])
    finally:
        os.unlink(f.name)
    missing = set(re.findall(r"'([A-Za-z_0-9]+)' was not declared in this scope", out.stderr))
    other = [l for l in out.stderr.splitlines() if "error:" in l and "was not declared" not in l]
    if other:
        sys.exit("the header probe did not compile:\n" + "\n".join(other[:20]))
    return missing


def pulled_in_by(mapfile):
    """{import name: the object that first referenced it}, from a linker map."""
    found = {}
    if not os.path.exists(mapfile):
        return found
    with open(mapfile, errors="replace") as f:
        lines = f.read().split("\nAllocating common symbols", 1)[0].splitlines()
    for member, reference in zip(lines, lines[1:]):
        if not re.search(r"lib[^/]*\.a\([^)]*\)$", member.strip()):
            continue
        m = re.match(r"\s+(\S.*) \((\S+)\)$", reference)
        if not m:
            continue
        name = re.sub(r"^_*imp__", "", m.group(2)).lstrip("_")
        name = re.sub(r"@\d+$", "", name)
        found.setdefault(name, os.path.basename(m.group(1)) if "/" in m.group(1) else m.group(1))
    return found


def main(binaries):
    if not binaries:
        sys.exit(__doc__)
    crt = msvcr70_exports()
    findings = []
    probe = {}  # name -> dll, for the header probe
    tables = {}
    for binary in binaries:
        versions, imports = read_pe(binary)
        tables[binary] = imports
        for kind in ("Subsystem", "OSystem"):
            v = (versions.get("Major" + kind, 99), versions.get("Minor" + kind, 99))
            if v > FLOOR:
                findings.append((binary, f"{kind.replace('OSystem', 'OS')} version {v[0]}.{v[1]} "
                                 f"in the PE header: XP loads 5.1 and lower", None))
        for dll, names in imports.items():
            for name in names:
                if name.startswith("#"):
                    findings.append((binary, f"{dll} ordinal {name[1:]}: imported by number, cannot be judged", name))
                elif dll.lower() not in XP_DLLS:
                    findings.append((binary, f"{name} ({dll}): Windows XP has no {dll}", name))
                elif dll.lower() == "msvcrt.dll":
                    if name not in crt:
                        findings.append((binary, f"{name} ({dll}): not in XP's C runtime", name))
                elif name in ORDINAL_ONLY_ON_XP.get(dll.lower(), ()):
                    findings.append((binary, f"{name} ({dll}): XP exports it by ordinal only, not by name", name))
                elif name in GDIPLUS_11:
                    findings.append((binary, f"{name} ({dll}): GDI+ 1.1, newer than XP's GDI+ 1.0", name))
                else:
                    probe.setdefault(name, dll)
    names = sorted(probe)
    old = undeclared(names, "0x0501", "0x05010300")  # XP SP3
    unknown = undeclared(sorted(old), "0x0A00", "0x0A000000") if old else set()
    for binary, imports in tables.items():
        for dll, dll_names in imports.items():
            for name in dll_names:
                if name in unknown:
                    findings.append((binary, f"{name} ({dll}): declared by none of the headers probed, "
                                     "so not known to exist on XP", name))
                elif name in old:
                    findings.append((binary, f"{name} ({dll}): newer than Windows XP SP3 "
                                     "(the headers declare it only above _WIN32_WINNT 0x0501)", name))
    maps = {}
    for binary, text, name in findings:
        if binary not in maps:
            maps[binary] = pulled_in_by(binary + ".map")
        by = maps[binary].get(name) if name else None
        print(f"{os.path.basename(binary)}: {text}" + (f"; pulled in by {by}" if by else ""))
    for binary, imports in tables.items():
        count = sum(len(n) for n in imports.values())
        print(f"{os.path.basename(binary)}: {count} imports from {len(imports)} DLLs checked", file=sys.stderr)
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
