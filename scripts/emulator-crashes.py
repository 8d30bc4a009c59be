#!/usr/bin/env python3
"""Tells whether the last ctest run failed only where the emulator died.

usage: emulator-crashes.py BUILD_DIR

Reads the last ctest run's log (Testing/Temporary/LastTest.log). When every
failed test has the user-mode emulator's own fatal diagnostic in its output,
prints `^(name|name)$` for them and exits 0: they may run once more. When a
test failed any other way, that is a fault of ours: exits 1, printing
nothing, and no test gets a second run.

An entry that runs many gtest tests in one process (a test executable) died
in the emulator only when none of its tests failed before: a gtest failure
in its output stands whatever came after it. Standard error names each
entry run again, with the gtest test it died in where there was one.
"""
import os
import re
import sys

# What qemu's user-mode emulator prints when it, not the program, dies.
SIGNATURE = re.compile(r"^qemu(?:-i386)?: (?:uncaught target signal|.*[Aa]ssertion|fatal)", re.M)
HEADER = re.compile(r"^\d+/\d+ Testing: (.+)$", re.M)
# gtest's line for a test that ended failed, and for each test it starts.
GTEST_FAILED = re.compile(r"^\[  FAILED  \] \S+ \(\d+ ms\)$", re.M)
GTEST_RUN = re.compile(r"^\[ RUN      \] (\S+)$", re.M)


def failed_tests(log_text):
    """(name, killed by the emulator, gtest test it died in) of every test
    that did not pass."""
    failed = []
    starts = list(HEADER.finditer(log_text))
    for i, start in enumerate(starts):
        block = log_text[start.end(): starts[i + 1].start() if i + 1 < len(starts) else len(log_text)]
        if "Test Passed." not in block:
            killed = bool(SIGNATURE.search(block)) and not GTEST_FAILED.search(block)
            running = GTEST_RUN.findall(block)
            failed.append((start.group(1).strip(), killed, running[-1] if running else ""))
    return failed


def main():
    path = os.path.join(sys.argv[1], "Testing", "Temporary", "LastTest.log")
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            failed = failed_tests(f.read())
    except OSError:
        return 1
    if not failed or not all(killed for _, killed, _ in failed):
        return 1
    for name, _, during in failed:
        print(name + (" (in " + during + ")" if during else ""), file=sys.stderr)
    print("^(" + "|".join(re.escape(name) for name, _, _ in failed) + ")$")
    return 0


if __name__ == "__main__":
    sys.exit(main())
