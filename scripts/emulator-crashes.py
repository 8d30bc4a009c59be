#!/usr/bin/env python3
"""Tells whether the last ctest run failed only where the emulator died.

usage: emulator-crashes.py BUILD_DIR

Reads the last ctest run's log (Testing/Temporary/LastTest.log). When every
failed test has the user-mode emulator's own fatal diagnostic in its output,
prints `^(name|name)$` for them and exits 0: they may run once more. When a
test failed any other way, that is a fault of ours: exits 1, printing
nothing, and no test gets a second run.
"""
import os
import re
import sys

# What qemu's user-mode emulator prints when it, not the program, dies.
SIGNATURE = re.compile(r"^qemu(?:-i386)?: (?:uncaught target signal|.*[Aa]ssertion|fatal)", re.M)
HEADER = re.compile(r"^\d+/\d+ Testing: (.+)$", re.M)


def failed_tests(log_text):
    """(name, killed by the emulator) of every test that did not pass."""
    failed = []
    starts = list(HEADER.finditer(log_text))
    for i, start in enumerate(starts):
        block = log_text[start.end(): starts[i + 1].start() if i + 1 < len(starts) else len(log_text)]
        if "Test Passed." not in block:
            failed.append((start.group(1).strip(), bool(SIGNATURE.search(block))))
    return failed


def main():
    path = os.path.join(sys.argv[1], "Testing", "Temporary", "LastTest.log")
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            failed = failed_tests(f.read())
    except OSError:
        return 1
    if not failed or not all(killed for _, killed in failed):
        return 1
    print("^(" + "|".join(re.escape(name) for name, _ in failed) + ")$")
    return 0


if __name__ == "__main__":
    sys.exit(main())
