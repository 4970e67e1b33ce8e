#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and builds a small consumer
# against it twice: once through pkg-config, once through find_package.
set -euo pipefail
build=$1
consumer=$2
cxx=$3
sanitize=${5:-OFF}
cc=${7:-cc}

extra=()
if [ "$sanitize" = "ON" ]; then
  extra=(-fsanitize=address,undefined)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in lib/libtessivane.so lib/libtessivane.so.1 include/tessivane/nrutil.h include/tessivane/stat.h \
         include/tessivane/tessivane_c_routines.h \
         lib/pkgconfig/tessivane.pc lib/cmake/tessivane/tessivaneConfig.cmake; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
doc=share/doc/tessivane
for f in README.md LICENSE CHANGELOG.md CONTRIBUTING.md docs/README.md docs/plugin-guide.md \
         docs/img/peak_fit.png examples/peak_fit.cpp examples/plugin/greeting_plugin.cpp \
         examples/plugin/greeting.tkscript tools/tkhost/scripts/tessivane.tkscript; do
  [ -e "$prefix/$doc/$f" ] || { echo "missing after install: $doc/$f"; exit 1; }
done
# Every example of the source tree, whatever its language, is installed.
examples=${6:-}
if [ -n "$examples" ]; then
  for source in "$examples"/*.cpp "$examples"/c/*.c "$examples"/python/*.py "$examples"/plugin/*; do
    f=examples/${source#"$examples"/}
    [ -e "$prefix/$doc/$f" ] || { echo "missing after install: $doc/$f"; exit 1; }
  done
fi
if ls "$prefix"/include/tessivane/detail_* >/dev/null 2>&1; then
  echo "internal headers were installed"; exit 1
fi

# Each family header stands alone: a program that includes just one compiles.
for family in special stats fft sort random linalg fit batch; do
  printf '#include <tessivane/%s.h>\nint main() { return 0; }\n' "$family" > "$work/only_$family.cpp"
  "$cxx" -std=c++17 -fsyntax-only -I"$prefix/include" "$work/only_$family.cpp" ||
    { echo "<tessivane/$family.h> does not compile on its own"; exit 1; }
done

# The C interface is strict C99 on its own, whichever of its two headers comes first.
for header in tessivane_c.h tessivane_c_routines.h; do
  printf '#include <tessivane/%s>\nint main(void) { return 0; }\n' "$header" > "$work/only_c.c"
  "$cc" -std=c99 -pedantic -Wall -Werror -fsyntax-only -I"$prefix/include" "$work/only_c.c" ||
    { echo "<tessivane/$header> does not compile as C99"; exit 1; }
done

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

# Every example, copied out of the tree, builds against the installed package
# with the one line the README gives, and runs; the plugin example runs in the
# installed tkhost.
if [ -n "$examples" ]; then
  echo "== examples against the installed package"
  mkdir -p "$work/examples"
  for source in "$examples"/*.cpp; do
    name=$(basename "$source" .cpp)
    cp "$source" "$work/examples/"
    "$cxx" -std=c++17 "${extra[@]}" "$work/examples/$name.cpp" -o "$work/examples/$name" \
      $(pkg-config --cflags --libs tessivane) -Wl,-rpath,"$prefix/lib"
    "$work/examples/$name" >/dev/null || { echo "example $name failed"; exit 1; }
    echo "$name: ok"
  done
  for source in "$examples"/c/*.c; do
    name=$(basename "$source" .c)
    cp "$source" "$work/examples/"
    "$cc" -std=c99 -pedantic -Wall -Werror "${extra[@]}" "$work/examples/$name.c" \
      -o "$work/examples/${name}_c" $(pkg-config --cflags --libs tessivane) -Wl,-rpath,"$prefix/lib"
    "$work/examples/${name}_c" >/dev/null || { echo "C example $name failed"; exit 1; }
    echo "c/$name: ok"
  done
  cp "$examples/plugin/greeting_plugin.cpp" "$work/examples/"
  "$cxx" -std=c++17 "${extra[@]}" -shared -fPIC "$work/examples/greeting_plugin.cpp" \
    -o "$work/examples/libgreeting.so" $(pkg-config --cflags tessivane)
  "$prefix/bin/tkhost" "$work/examples/libgreeting.so" --set Name=Ada --step Greet \
    | grep 'Greeting = "Hello, Ada!"' >/dev/null || { echo "plugin example failed"; exit 1; }
  echo "greeting_plugin: ok"
fi
