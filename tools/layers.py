#!/usr/bin/env python3
"""Fails when a folder uses a folder it must not.

usage: check-layers.sh [SOURCE_ROOT]
       check-layers.sh --self-test    plants wrong-way includes in a scratch tree

The top-level folders are layers (BELOW), each using only itself and the
layers below it. Every #include in every C/C++ source (SOURCE_SUFFIXES) is
resolved the way the compiler may resolve it: against the including file's
folder and against the source root, `"..."` and `<...>` alike, with `./`,
`../` and absolute paths followed. An include is judged by the top-level
folder it lands in:

- the file it finds, when one exists (the including file's folder first for
  `"..."`, the root first for `<...>`), else every place it could land, so a
  header not written yet is judged too;
- a place outside the tree, a file directly in the root (`<tinyxml.h>`) or a
  folder the tree does not have (`<Poco/...>`, `<curl/...>`) is a system or
  third-party header and is ignored;
- an include through a macro cannot be judged and fails.

A top-level folder that holds sources must be a layer or one of the folders
outside the layers (OUTSIDE); a source directly in the root fails. Build
trees and hidden folders are not read, and no layer may include them.

The layer libraries in CMakeLists.txt (`pylonix_layer(NAME USES ...)`) must
agree with the table: one library per layer, linking only layers it may use.

Prints one line per finding and exits 1 when there is one, 0 when every
include points down. Needs no build; reads the tree in well under a second.
"""
import os
import re
import subprocess
import sys
import tempfile

# layer: the layers right below it. A new layer is one line here (and the
# layers above it name it); what each layer may include follows in LAYERS.
BELOW = {
    "base": [],
    "net": ["base"],
    "browser": ["net"],
    "check": ["browser"],
    "settings": ["browser"],
    "ui": ["base"],
    "webpane": ["ui"],
    "pages": ["check"],
    "gui": ["pages", "settings", "webpane"],
    "console": ["pages", "settings"],
}


def reachable(layer):
    """The layer and every layer below it, directly or through another."""
    seen, todo = set(), [layer]
    while todo:
        name = todo.pop()
        if name not in seen:
            seen.add(name)
            todo += BELOW[name]
    return seen


# layer: the layers it may include (itself included).
LAYERS = {layer: reachable(layer) for layer in BELOW}
EVERYTHING = None

# Folders with sources that are no product layer, and what they may include.
# No layer may include any of them.
OUTSIDE = {
    # The tests reach into every layer, their fixtures and helpers.
    "tests": EVERYTHING,
    # Programs on top of the layers: they use every layer and their own
    # files, but not the tests or one another.
    "fuzz": set(LAYERS) | {"fuzz"},
    "bench": set(LAYERS) | {"bench"},
    "tools": set(LAYERS) | {"tools"},
    # The demo server is a native Linux program built by its own CMake
    # project with the host's compiler: it shares no code with the layers.
    "demoserver": {"demoserver"},
    # So is the report collector IT runs on a server.
    "collector": {"collector"},
    # Toolchain files; a probe source CMake compiles would sit here too.
    "cmake": {"cmake"},
}

SOURCE_SUFFIXES = (".h", ".hh", ".hpp", ".hxx", ".inl", ".ipp", ".c", ".cc", ".cpp", ".cxx", ".rc")

# GCC also takes #include_next and #import in C and C++.
INCLUDE = re.compile(r"^[ \t]*#[ \t]*(?:include_next|include|import)(?![A-Za-z0-9_])[ \t]*(.*)$")


def is_build_tree(root, name):
    # Generated sources (CMake's compiler probes, say) are nobody's layer.
    return name.startswith("build") or os.path.isfile(os.path.join(root, name, "CMakeCache.txt"))


def strip_comments(text):
    """The text with comments blanked out (line breaks kept), literals kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
        elif text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(" " * (end - i))
            i = end
        elif c in "\"'":
            # A literal ends at its quote or, unclosed (a digit separator),
            # at the end of its line, so a stray quote spoils one line only.
            j = i + 1
            while j < n and text[j] not in (c, "\n"):
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1 if j < n and text[j] == c else j, n)
            out.append(text[i:j])
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def includes(text):
    """(line number, operand) of every #include, continued lines joined."""
    lines = strip_comments(text.replace("\r\n", "\n")).split("\n")
    i = 0
    while i < len(lines):
        start, line = i + 1, lines[i]
        while line.endswith("\\") and i + 1 < len(lines):
            i += 1
            line = line[:-1] + lines[i]
        m = INCLUDE.match(line)
        if m:
            yield start, m.group(1).strip()
        i += 1


def landing_places(root, file_dir, operand):
    """Where an include may land, relative to the root, the likeliest first.

    None for an include through a macro."""
    m = re.match(r'^(?:"([^"]*)"|<([^>]*)>)', operand)
    if not m:
        return None
    angle = m.group(2) is not None
    path = (m.group(2) if angle else m.group(1)).replace("\\", "/")
    bases = [root] if os.path.isabs(path) else ([root, file_dir] if angle else [file_dir, root])
    places = []
    for base in bases:
        full = os.path.normpath(os.path.join(base, path))
        rel = os.path.relpath(full, root)
        if rel != ".." and not rel.startswith("../") and rel not in places:
            places.append(rel)
    found = [p for p in places if os.path.isfile(os.path.join(root, p))]
    return found[:1] if found else places


def check_includes(root, folder, rel_file, text, folders):
    allowed = LAYERS.get(folder, OUTSIDE.get(folder))
    file_dir = os.path.dirname(os.path.join(root, rel_file))
    for line_no, operand in includes(text):
        where = f"{rel_file}:{line_no}: #include {operand}"
        places = landing_places(root, file_dir, operand)
        if places is None:
            yield f"{where}: an include through a macro cannot be checked; name the header"
            continue
        for place in places:
            used = place.split("/")[0] if "/" in place else None
            if used is None or used not in folders or allowed is EVERYTHING:
                continue
            if used not in allowed:
                yield f"{where}: {folder}/ must not include {used}/ (lands in {place})"


def check_cmake(root):
    """The layer libraries against the table."""
    path = os.path.join(root, "CMakeLists.txt")
    if not os.path.isfile(path):
        return
    with open(path, encoding="utf-8", errors="replace") as f:
        text = re.sub(r"#[^\n]*", "", f.read())
    for m in re.finditer(r"\bpylonix_layer\s*\(([^)]*)\)", text):
        words = m.group(1).split()
        if not words:
            continue
        name, uses, in_uses = words[0], [], False
        for w in words[1:]:
            if w in ("USES", "SOURCES"):
                in_uses = w == "USES"
            elif in_uses:
                uses.append(w)
        if name not in LAYERS:
            yield f"CMakeLists.txt: library pylonix_{name} builds {name}/, which is not in the layer table"
            continue
        for used in uses:
            if used not in LAYERS[name]:
                yield f"CMakeLists.txt: pylonix_{name} must not link pylonix_{used}: {name}/ may not use {used}/"


def check(root):
    root = os.path.abspath(root)
    folders = {e.name for e in os.scandir(root) if e.is_dir()}
    findings = []
    for entry in sorted(os.scandir(root), key=lambda e: e.name):
        if entry.is_file() and entry.name.endswith(SOURCE_SUFFIXES):
            findings.append(f"{entry.name}: a source directly in the root belongs to no layer")
        if not entry.is_dir() or entry.name.startswith(".") or is_build_tree(root, entry.name):
            continue
        sources = []
        for dirpath, dirnames, filenames in os.walk(entry.path):
            dirnames.sort()
            sources += [os.path.join(dirpath, f) for f in sorted(filenames) if f.endswith(SOURCE_SUFFIXES)]
        if not sources:
            continue
        if entry.name not in LAYERS and entry.name not in OUTSIDE:
            findings.append(f"{entry.name}/: holds C/C++ sources but is neither a layer nor listed "
                            f"outside the layers in tools/layers.py")
            continue
        for path in sources:
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            findings += check_includes(root, entry.name, os.path.relpath(path, root), text, folders)
    findings += check_cmake(root)
    return findings


def main(args):
    if args == ["--self-test"]:
        return self_test()
    if len(args) > 1 or (args and args[0].startswith("-")):
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    root = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    findings = check(root)
    for finding in findings:
        print(finding)
    if findings:
        return 1
    print("layers: every include points down")
    return 0


# A clean tree that uses every form the check must let pass.
CLEAN_TREE = {
    "base/log.h": '#include <windows.h>\n#include <string>\n#include <stdint.h>\n',
    "base/log.cpp": ('#include "base/log.h"\n#  include "log.h"\n#include "./log.h"\n'
                     '/*\n#include "gui/controls.h"\n*/\n// #include "net/download.h"\n'
                     'const char* s = "/*"; int big = 1\'000\'000;\n#include "base/log.h"\n'),
    "net/download.h": ('#include "base/log.h"\n#include <Poco/Net/HTTPRequest.h>\n#include <curl/curl.h>\n'
                       '#include <tinyxml.h>\n#include <boost/property_tree/ptree.hpp>\n'),
    "net/sub/deep.h": '#include "../../base/log.h"\n#include "./../download.h"\n#include "../download.h"\n',
    "browser/zones.h": '#include "net/download.h"\n#include <net/sub/deep.h>\n',
    "check/checkitem.h": '#include "browser/zones.h"\n#include "net/../base/log.h"\n',
    "ui/control.h": '#include "base/log.h"\n#include <gdiplus.h>\n',
    # Found beside the includer first, so it stays in ui/.
    "ui/check/box.h": '#include "base/log.h"\n',
    "ui/box.cpp": '#include "check/box.h"\n',
    "ui/skin.rc": '#include <windows.h>\n#include "ui/control.h"\n',
    "gui/controls.h": '#include "check/checkitem.h"\n#include <ui/control.h>\n#include "../ui/control.h"\n',
    "gui/main.c": '#include "gui/controls.h"\n',
    "tests/unit/testutil.h": '#include "gui/controls.h"\n',
    "tests/unit/log_test.cpp": ('#include "testutil.h"\n#include <gtest/gtest.h>\n'
                                '#include "fuzz/win/windows.h"\n#include "tools/skinview/view.h"\n'),
    "fuzz/win/windows.h": '#pragma once\n',
    "fuzz/log_fuzz.cpp": '#include "win/windows.h"\n#include "gui/controls.h"\n#include "base/log.h"\n',
    "bench/speedprobe.cpp": '#include "net/download.h"\n#include "gui/controls.h"\n',
    "tools/skinview/view.h": '#include "gui/controls.h"\n',
    "demoserver/src/main.cpp": '#include "DemoState.h"\n#include <Poco/Net/HTTPServer.h>\n',
    "demoserver/src/DemoState.h": '#include <string>\n',
    "collector/src/web.h": '#include "store.h"\n#include <Poco/Net/HTTPRequestHandlerFactory.h>\n',
    "collector/src/store.h": '#include <string>\n',
    # Generated and hidden trees are not read.
    "build/CMakeFiles/CompilerIdC/CMakeCCompilerId.c": '#include "tests/unit/testutil.h"\n',
    "out/CMakeCache.txt": "", "out/probe.c": '#include "gui/controls.h"\n',
    ".git/hooks/x.c": '#include "gui/controls.h"\n',
    "docs/picture.png": "",
    "CMakeLists.txt": ('function(pylonix_layer name)\n    cmake_parse_arguments(L "" "" "USES;SOURCES" ${ARGN})\n'
                       'endfunction()\n# pylonix_layer(base USES app)\npylonix_layer(base SOURCES base/log.cpp)\n'
                       'pylonix_layer(net USES base SOURCES\n    net/x.cpp)\npylonix_layer(gui USES check ui SOURCES gui/x.cpp)\n'),
}

# file, content, what the findings must say (one text or several). Each is
# planted alone.
PLANTS = [
    ("net/a.h", '#include <string>\n  #  include "check/checkitem.h"\n', "net/a.h:2: "),
    ("base/b.cpp", '#include <gui/controls.h>\n', "base/ must not include gui/"),
    ("net/c.cpp", '#include "../gui/controls.h"\n', "net/ must not include gui/ (lands in gui/controls.h)"),
    ("browser/e.h", '#include "net/../check/checkitem.h"\n', "browser/ must not include check/"),
    ("ui/f.h", '#include "ui/../net/not-written-yet.h"\n', "ui/ must not include net/"),
    ("base/g.h", '#include <tests/unit/testutil.h>\n', "base/ must not include tests/"),
    ("fuzz/j.cpp", '#include "tests/unit/testutil.h"\n', "fuzz/ must not include tests/"),
    ("demoserver/src/k.cpp", '#include "base/log.h"\n', "demoserver/ must not include base/"),
    ("collector/src/k.cpp", '#include "../../demoserver/src/DemoState.h"\n', "collector/ must not include demoserver/"),
    ("ui/l.rc", '#include "gui/controls.h"\n', "ui/l.rc:1: "),
    ("base/m.h", '#include \\\n    "gui/controls.h"\n', 'base/m.h:1: #include "gui/controls.h": base/ must not'),
    ("base/s.h", 'const char* s = "/*";\n#include "gui/controls.h"\n', "base/s.h:2: "),
    ("base/t.h", 'int big = 1\'000\'000;\n#include "gui/controls.h"\n', "base/t.h:2: "),
    ("net/u.h", '#include_next <check/checkitem.h>\n#import "gui/controls.h"\n', ["net/u.h:1: ", "net/u.h:2: "]),
    ("base/n.h", '#define HEADER "gui/controls.h"\n#include HEADER\n', "base/n.h:2: #include HEADER: an include through a macro"),
    ("net/o.hpp", '#include "{root}/gui/controls.h"\n', "net/o.hpp:1: "),
    ("net/p.c", '#include "..\\gui\\controls.h"\n', "net/p.c:1: "),
    # The console program stays off the window: no engine, pane or window code.
    ("console/r.cpp", '#include "ui/control.h"\n#include "gui/controls.h"\n',
     ["console/ must not include ui/", "console/ must not include gui/"]),
    ("settings/v.cpp", '#include "check/checkitem.h"\n', "settings/ must not include check/"),
    ("extras/q.cpp", '#include "base/log.h"\n', "extras/: holds C/C++ sources but is neither a layer"),
    ("stray.cpp", '\n', "stray.cpp: a source directly in the root"),
    ("CMakeLists.txt", 'pylonix_layer(net USES base gui SOURCES net/x.cpp)\n', "pylonix_net must not link pylonix_gui"),
    ("CMakeLists.txt", 'pylonix_layer(extras USES gui SOURCES extras/x.cpp)\n', "pylonix_extras builds extras/"),
]


def self_test():
    script = os.path.abspath(__file__)

    def run(root):
        p = subprocess.run([sys.executable, script, root], capture_output=True, text=True)
        return p.returncode, p.stdout + p.stderr

    with tempfile.TemporaryDirectory() as scratch:
        def write(rel, content):
            path = os.path.join(scratch, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(content.replace("{root}", scratch))

        for rel, content in CLEAN_TREE.items():
            write(rel, content)
        rc, out = run(scratch)
        if rc != 0:
            print(f"self-test: a clean tree was rejected:\n{out}")
            return 1
        missed = 0
        for rel, content, expected in PLANTS:
            write(rel, content)
            rc, out = run(scratch)
            wanted = [expected] if isinstance(expected, str) else expected
            if rc != 1 or any(w not in out for w in wanted):
                print(f"self-test: missed {rel} ({content.strip()}), wanted \"{expected}\", got {rc}:\n{out}")
                missed += 1
            if rel in CLEAN_TREE:
                write(rel, CLEAN_TREE[rel])
            else:
                os.remove(os.path.join(scratch, rel))
        if missed:
            return 1
    print(f"self-test: all {len(PLANTS)} planted wrong-way includes were caught")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
