#!/usr/bin/env bash
# Compares the dynamic symbols that libtessivane defines with the expected
# interface: the routines of the routine tables, as the command given third
# (a program and its arguments, e.g. under an emulator) prints them, and the rest listed (demangled) in tests/abi/*.symbols; checks
# the SONAME, that no host library is needed at load time and the stack
# protector.
set -euo pipefail
lib=$1
dir=$2
table=("${@:3}")
status=0

expected=$( { cat "$dir"/*.symbols; "${table[@]}"; } | sed -e 's/[[:space:]]*$//' -e '/^$/d' -e '/^#/d' | LC_ALL=C sort -u)
# Sanitizer builds add their runtime's bookkeeping symbols; they are not part
# of the interface.
actual=$(nm -D --defined-only "$lib" | awk '{ $1 = ""; $2 = ""; sub(/^  /, ""); print }' \
  | grep -v -E '^(__asan|__ubsan|__odr_asan|__sanitizer|_init$|_fini$)' | c++filt | LC_ALL=C sort -u)

if ! diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") >/tmp/abi.$$ 2>&1; then
  echo "exported symbols differ from the expected list ('<' expected only, '>' exported only):"
  grep -E '^[<>]' /tmp/abi.$$
  status=1
fi
rm -f /tmp/abi.$$

soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
if [ "$soname" != "libtessivane.so.1" ]; then
  echo "SONAME is '$soname', expected 'libtessivane.so.1'"
  status=1
fi

# The host's functions are found at run time; nothing beyond the C/C++
# runtime, the dynamic loader (thread-local state) and a sanitizer runtime may
# be a load-time dependency.
needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
for n in $needed; do
  case "$n" in
    libstdc++.so.*|libm.so.*|libgcc_s.so.*|libc.so.*|libdl.so.*|libasan.so.*|libubsan.so.*|libtsan.so.*|ld-linux-*.so.*) ;;
    *) echo "unexpected NEEDED entry: $n"; status=1 ;;
  esac
done

# Built with the stack protector: a host that overruns a buffer ends the
# process instead of steering the plugin.
# (grep reads all of nm's output: with pipefail, an early exit of grep -q
# would fail the pipeline through nm's SIGPIPE.)
if ! nm -D --undefined-only "$lib" | grep ' __stack_chk_fail' >/dev/null; then
  echo "not built with the stack protector (no __stack_chk_fail import)"
  status=1
fi

[ $status -eq 0 ] && echo "exported interface, SONAME and NEEDED entries as expected"
exit $status
