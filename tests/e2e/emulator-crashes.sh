#!/bin/bash
# The second-run filter of ./pylonix test on made-up ctest logs: only a run
# whose every failure is the emulator's own death is run again, and then only
# those tests.
set -u
FILTER="$1"
work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Testing/Temporary"
block() {  # NAME OUTPUT RESULT
    printf '1/3 Testing: %s\n1/3 Test: %s\nOutput:\n----\n%s\n<end of output>\n----\n%s\n\n' "$1" "$1" "$2" "$3"
}
fails=0
expect() {  # WHAT EXPECTED_STATUS EXPECTED_OUTPUT
    local out status
    out="$("$FILTER" "$work" 2>/dev/null)"; status=$?
    if [ "$status" = "$2" ] && [ "$out" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: status $status, output '$out'"; fails=1; fi
}
{ block Suite.Passes "[ OK ]" "Test Passed."
  block Suite.Killed "qemu: uncaught target signal 11 (Segmentation fault) - core dumped" "Test Failed."
  block e2e_window "ok step
qemu-i386: ../accel/tcg/cpu-exec.c:1011: Assertion failed" "Test Failed."; } > "$work/Testing/Temporary/LastTest.log"
expect "only emulator deaths: both named, escaped, for one more run" 0 '^(Suite\.Killed|e2e_window)$'
block Suite.Real "Expected equality of these values" "Test Failed." >> "$work/Testing/Temporary/LastTest.log"
expect "a real failure beside them: no second run for anyone" 1 ""
block Suite.Quoted "the log said qemu: uncaught target signal" "Test Failed." > "$work/Testing/Temporary/LastTest.log"
expect "the words inside a line of a test's own are no emulator death" 1 ""
block Suite.Passes "[ OK ]" "Test Passed." > "$work/Testing/Temporary/LastTest.log"
expect "nothing failed: nothing to run again" 1 ""
# A test executable run as one entry: its earlier tests passed, the emulator
# died in a later one. It runs again, named with the test it died in.
block net_tests "[ RUN      ] A.Passes
[       OK ] A.Passes (3 ms)
[ RUN      ] A.Running
qemu: uncaught target signal 6 (Aborted) - core dumped" "Test Failed." > "$work/Testing/Temporary/LastTest.log"
expect "an executable the emulator killed: run again" 0 '^(net_tests)$'
named="$("$FILTER" "$work" 2>&1 >/dev/null)"
[ "$named" = "net_tests (in A.Running)" ] && echo "ok   it is named with the test it died in" ||
    { echo "FAIL the entry run again is named '$named'"; fails=1; }
# The same, but one of its tests had failed before the emulator died.
block net_tests "[ RUN      ] A.Fails
x.cpp:7: Failure
[  FAILED  ] A.Fails (3 ms)
[ RUN      ] A.Running
qemu: uncaught target signal 11 (Segmentation fault) - core dumped" "Test Failed." > "$work/Testing/Temporary/LastTest.log"
expect "a test of it failed before the emulator died: no second run" 1 ""
exit $fails
