#!/usr/bin/env bash
# The library on 64-bit ARM: cross-builds it and the bit-pin test for aarch64
# (cmake/aarch64-linux-gnu.cmake, Debian's g++-aarch64-linux-gnu), checks that
# the library exports the x86 interface and holds no fused multiply-add, and
# runs the pins under qemu-aarch64, where every routine must give the bits
# recorded on x86-64.
#
#   bash scripts/cross-aarch64.sh [build directory, default build-aarch64]
#
# Needs g++-aarch64-linux-gnu, qemu-user and googletest (the sources
# GoogleTest is compiled from for the target).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-aarch64}

echo "== aarch64 cross build (library and bit pins)"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DTV_BUILD_BENCH=OFF -DTV_BUILD_EXAMPLES=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build" -j 2 --target tessivane test_bit_pins abi_table_symbols
lib=$build/libtessivane.so.1

bash tests/abi/check_abi.sh "$lib" tests/abi qemu-aarch64 -L /usr/aarch64-linux-gnu "$build/tests/abi_table_symbols"

# GCC contracts a * b + c into one fused instruction by default on aarch64
# (-ffp-contract=fast); it rounds once where the source rounds twice, and a
# third of the pins change. The build turns contraction off; this proves it.
fused=$(aarch64-linux-gnu-objdump -d --no-show-raw-insn "$lib" |
  grep -E '[[:space:]]fn?m(add|sub|la|ls|ad|sb)[[:space:]]' || true)
if [ -n "$fused" ]; then
  echo "fused multiply-add instructions in $lib:"
  printf '%s\n' "$fused" | head -20
  exit 1
fi
echo "no fused multiply-add instruction in $lib"

echo "== bit pins under qemu-aarch64"
qemu-aarch64 -L /usr/aarch64-linux-gnu "$build/tests/test_bit_pins" --gtest_brief=1
