#!/usr/bin/env python3
"""Reads a window as a screen reader does: from the accessible tree that
tools/accprobe printed (JSON), for the window tests.

  acc.py TREE find NAME [ROLE]   "X Y": the middle of the first shown control
                                 of that name (and role), in screen pixels
  acc.py TREE state NAME [ROLE]  its state words, one line ("" when none)
  acc.py TREE value NAME [ROLE]  its value
  acc.py TREE rows               the check list: one line per row,
                                 "title|state icon|buttons|texts" (";"-joined)
  acc.py TREE bar                the value of the shown bar outside the list
  acc.py TREE figures            the shown speed figures ("…KB/s"), one a line

Shown: neither invisible nor scrolled off. Exit 1 when nothing matches.
"""
import json
import re
import sys


def nodes(node, inside_list=False):
    yield node, inside_list
    for child in node["children"]:
        yield from nodes(child, inside_list or node["role"] == "list")


def shown(node):
    return not {"invisible", "offscreen"} & set(node["state"])


def find(tree, name, role=None):
    for node, _ in nodes(tree):
        if node["name"] == name and (not role or node["role"] == role) and shown(node):
            return node
    return None


def main(argv):
    tree = json.load(open(argv[1], encoding="utf-8"))
    query, args = argv[2], argv[3:]
    out = []
    if query in ("find", "state", "value"):
        node = find(tree, args[0], args[1] if len(args) > 1 else None)
        if not node:
            return 1
        if query == "find":
            box = node["location"]
            out.append("%d %d" % (box["x"] + box["w"] // 2, box["y"] + box["h"] // 2))
        elif query == "state":
            out.append(" ".join(node["state"]))
        else:
            out.append(node["value"] or "")
    elif query == "rows":
        for node, _ in nodes(tree):
            if node["role"] != "list item":
                continue
            parts = node["children"]
            icon = next((p["name"] or "" for p in parts if p["role"] == "graphic" and p["name"]), "")
            buttons = [p["name"] for p in parts if p["role"] == "push button" and "invisible" not in p["state"]]
            texts = [p["name"] for p in parts if p["role"] == "static text" and p["name"] and "invisible" not in p["state"]]
            out.append("|".join([node["name"] or "", icon, ";".join(buttons), ";".join(texts)]))
    elif query == "bar":
        bars = [n for n, in_list in nodes(tree) if n["role"] == "progress bar" and not in_list and shown(n)]
        if len(bars) != 1:
            return 1
        out.append(bars[0]["value"])
    elif query == "figures":
        out = [n["name"] for n, _ in nodes(tree)
               if n["role"] == "static text" and shown(n) and re.fullmatch(r"[0-9.]+KB/s", n["name"] or "")]
    else:
        print(__doc__, file=sys.stderr)
        return 2
    if out:
        sys.stdout.write("\n".join(out) + "\n")
    return 0 if out or query in ("rows", "state", "value") else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
