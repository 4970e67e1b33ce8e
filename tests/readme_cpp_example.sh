#!/usr/bin/env bash
# The README's C++ example compiles against the library's headers as an
# installed program includes them and prints what the README says it prints
# (the comment after "./a.out" in the build line below it).
# Usage: readme_cpp_example.sh README INCLUDE_DIR LIBRARY_DIR CXX
set -euo pipefail
readme=$1 include=$2 libdir=$3 cxx=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
section=$(sed -n '/^## From C++$/,/^## /p' "$readme")
printf '%s\n' "$section" | sed -n '/^```cpp$/,/^```$/p' | sed '1d;$d' >"$work/first.cpp"
promised=$(printf '%s\n' "$section" | sed -n 's/.*\.\/a\.out *# *//p')
"$cxx" -std=c++17 "$work/first.cpp" -I"$include" -L"$libdir" -ltessivane -Wl,-rpath,"$libdir" \
  -o "$work/first"
printed=$("$work/first")
[ "$printed" = "$promised" ] || { echo "the README promises '$promised', the example prints '$printed'"; exit 1; }
echo "$printed"
