#!/usr/bin/env bash
# The bit pins with the C library's other elementary functions: on a CPU with
# AVX2 and FMA, x86-64 glibc takes exp, log, sin and friends from builds that
# use FMA; the tunables below make it take its SSE2 builds instead, which
# differ in the last bit on a small share of arguments. The pins record one
# result per routine, so any pin that changes here is a result that depends on
# which libm variant the machine runs, and fails this step with its name
# (docs/reproducibility.md lists what is known to depend on it).
#
#   bash scripts/pins-without-fma.sh [build directory, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tunables=glibc.cpu.hwcaps=-AVX2,-FMA

# Whether the dynamic loader sees FMA (CPUID leaf 1, ECX bit 12), with and
# without the tunables: on a CPU without FMA both runs take the same functions.
fma_active() {
  local ecx
  ecx=$(GLIBC_TUNABLES=$1 ld.so --list-diagnostics 2>/dev/null |
    sed -n 's/^x86\.cpu_features\.features\[0x0\]\.active\[0x2\]=//p' || true)
  if [ -z "$ecx" ]; then echo unknown; elif (((ecx >> 12) & 1)); then echo yes; else echo no; fi
}
echo "== bit pins with glibc's non-FMA functions ($tunables)"
echo "FMA usable by glibc: $(fma_active '') by default, $(fma_active "$tunables") with the tunables"
GLIBC_TUNABLES=$tunables "$build/tests/test_bit_pins" --gtest_brief=1
