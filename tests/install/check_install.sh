#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and builds a small consumer
# against it twice: once through pkg-config, once through find_package.
set -euo pipefail
build=$1
consumer=$2
cxx=$3
sanitize=${5:-OFF}

extra=()
if [ "$sanitize" = "ON" ]; then
  extra=(-fsanitize=address,undefined)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in lib/libtessivane.so lib/libtessivane.so.1 include/tessivane/nrutil.h include/tessivane/stat.h \
         lib/pkgconfig/tessivane.pc lib/cmake/tessivane/tessivaneConfig.cmake; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
if ls "$prefix"/include/tessivane/detail_* >/dev/null 2>&1; then
  echo "internal headers were installed"; exit 1
fi

echo "== pkg-config consumer"
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
"$cxx" -std=c++17 "${extra[@]}" "$consumer/consumer.cpp" -o "$work/consumer_pc" \
  $(pkg-config --cflags --libs tessivane) -Wl,-rpath,"$prefix/lib"
"$work/consumer_pc"

echo "== find_package consumer"
cmake -S "$consumer" -B "$work/cbuild" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="${extra[*]}" >/dev/null
cmake --build "$work/cbuild" >/dev/null
"$work/cbuild/consumer"
