#!/usr/bin/env bash
# Runs the quick suite under valgrind memcheck: every command listed in the
# file given (one per line, written by CMake to <build>/tests/memcheck_commands.txt)
# must exit 0 with no memcheck error and no definitely lost block.
#
# Each test program runs whole, once, rather than once per test case, which
# keeps valgrind's start-up cost to one per program. Death tests use gtest's
# threadsafe style: the dying child is a fresh exec of the program, which
# valgrind does not trace (--trace-children=no), so the scratch a fatal exit
# leaves behind is not reported and the child's exit status is its own.
#
# Oracle policy: valgrind computes x87 long double at double precision. An
# oracle test whose tolerance needs the extended precision is excluded by name
# in EXCLUDED below (a gtest negative filter), with the reason; the library's
# own tests are never excluded for precision. None needs it today.
#
# Time policy: the largest cases of the path-equality tests run the kernels
# the smaller cases run, over more data; under valgrind they took two thirds
# of the run. They are left to the sanitizer build, which runs every test.
LARGE_CASES="Large/*:*Large/*:FftPaths/OneDimensional.*/1[7-9]:FftPaths/OneDimensional.*/20"
LARGE_CASES+=":*/300x300x300_*:*/129x129_*:*_32801_apart*"
set -euo pipefail

commands=${1:?usage: memcheck.sh COMMAND_FILE [JOBS]}
jobs=${2:-2}
EXCLUDED="$LARGE_CASES"

logdir=$(mktemp -d)
trap 'rm -rf "$logdir"' EXIT

run_one() {
  local line=$1 logdir=$2 excluded=$3
  local -a cmd
  read -r -a cmd <<<"$line"
  if [ "${cmd[0]}" = gtest ]; then
    cmd=("${cmd[@]:1}" --gtest_death_test_style=threadsafe)
    [ -n "$excluded" ] && cmd+=("--gtest_filter=-$excluded")
  fi
  local log
  log="$logdir/$(basename "${cmd[0]}").log"
  if valgrind -q --tool=memcheck --trace-children=no --error-exitcode=99 --leak-check=full \
    --show-leak-kinds=definite --errors-for-leak-kinds=definite "${cmd[@]}" >"$log" 2>&1; then
    echo "memcheck: ok      $(basename "${cmd[0]}")"
  else
    echo "memcheck: FAILED  ${cmd[*]}"
    cat "$log"
    return 1
  fi
}
export -f run_one

grep -v '^[[:space:]]*$' "$commands" |
  xargs -d '\n' -P "$jobs" -I{} bash -c 'run_one "$1" "$2" "$3"' _ {} "$logdir" "$EXCLUDED"
echo "memcheck: no errors, no definite leaks"
