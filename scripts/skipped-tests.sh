#!/usr/bin/env bash
# Prints each test that the last ctest run in BUILD skipped, with the reason
# the test gave (the line after GoogleTest's "Skipped"), since ctest lists
# skipped tests without one. Prints nothing when no test was skipped.
# Usage: skipped-tests.sh BUILD
set -euo pipefail
log=${1:?usage: skipped-tests.sh BUILD}/Testing/Temporary/LastTest.log
[ -f "$log" ] || exit 0
awk '
  /^[0-9]+\/[0-9]+ Test: / { test = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", test) }
  reason_next { reasons[test] = $0; reason_next = 0 }
  /: Skipped$/ { reason_next = 1 }
  END {
    n = 0
    for (t in reasons) n++
    if (n == 0) exit
    printf "Skipped tests and the reason each gave:\n"
    for (t in reasons) printf "  %s: %s\n", t, reasons[t]
  }
' "$log" | { read -r heading && printf '%s\n' "$heading" && sort; } || true
