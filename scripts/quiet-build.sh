#!/usr/bin/env bash
# Builds CMake targets behind one progress line instead of the compiler's
# output; when the build fails, its whole output follows, errors included.
# Usage: quiet-build.sh LABEL BUILD_DIR JOBS TARGET...
set -uo pipefail
label=$1 build=$2 jobs=$3
shift 3
log=$(mktemp)
trap 'rm -f "$log"' EXIT
start=$SECONDS
what="building $*"
if [ -t 1 ]; then
  # A terminal: the line is rewritten with the build's percentage.
  cmake --build "$build" -j "$jobs" --target "$@" 2>&1 | tee "$log" | while IFS= read -r line; do
    if [[ $line =~ ^\[\ *([0-9]+)%\] ]]; then
      printf '\r%s: %s ... %3d%%' "$label" "$what" "${BASH_REMATCH[1]}"
    fi
  done
  status=${PIPESTATUS[0]}
  printf '\r\033[K'
else
  cmake --build "$build" -j "$jobs" --target "$@" >"$log" 2>&1
  status=$?
fi
if [ "$status" -ne 0 ]; then
  echo "$label: $what failed; the build's output:"
  cat "$log"
  exit "$status"
fi
echo "$label: $what: done in $((SECONDS - start)) s"
