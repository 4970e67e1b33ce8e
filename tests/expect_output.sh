#!/usr/bin/env bash
# Runs a program and passes when it exits with status 0 and its output, read as
# one line, matches an extended regular expression.
# Usage: expect_output.sh REGEX PROGRAM [ARGS...]
set -uo pipefail
regex=$1
shift
output=$("$@" 2>&1)
status=$?
printf '%s\n' "$output"
if [ $status -ne 0 ]; then
  echo "expect_output: exit status $status" >&2
  exit 1
fi
if ! printf '%s' "$output" | tr '\n' ' ' | grep -Eq -- "$regex"; then
  echo "expect_output: output does not match: $regex" >&2
  exit 1
fi
