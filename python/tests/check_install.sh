#!/usr/bin/env bash
# Both documented ways of installing the Python package, checked outside the
# source and build trees: cmake --install into a scratch prefix (the package
# under its site-packages, found through PYTHONPATH), then pip, offline,
# against the library of that prefix. Each installed extension must load the
# prefix's libtessivane.so.1 and return the same bits.
#
# usage: check_install.sh BUILD_DIR SOURCE_DIR PYTHON SITE_PACKAGES_RELATIVE
set -euo pipefail
build=$1
source=$2
python=$3
site=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$work"

# (grep reads all of ldd's output: with pipefail, grep -q could leave ldd to
# die of SIGPIPE and fail the check.)
probe='import tessivane, os, sys
print(tessivane.ttest([1.5, 2.25, 3.0], [4.0, 5.5, 6.5]), tessivane.realft([1, 2, 3, 4]))
help(tessivane.ttest)'

echo "== cmake --install: PYTHONPATH=$prefix/$site"
from_cmake=$(PYTHONPATH=$prefix/$site "$python" -c "$probe")
ldd "$prefix/$site"/tessivane/_core*.so | grep "$prefix/.*libtessivane.so.1" >/dev/null ||
  { echo "the installed extension does not load the prefix's library"; exit 1; }

if ! "$python" -m pip --version >/dev/null 2>&1; then
  echo "pip is missing (python3-pip): the pip route is not checked"
  exit 0
fi
echo "== pip install --no-build-isolation --no-index (TESSIVANE_PREFIX=$prefix)"
cp -r "$source/python" "$work/python"
TESSIVANE_PREFIX=$prefix "$python" -m pip install -q --no-build-isolation --no-index \
  --target "$work/pip" "$work/python" 2>&1 | grep -v "as the 'root' user" || true
from_pip=$(PYTHONPATH=$work/pip "$python" -c "$probe")
ldd "$work/pip"/tessivane/_core*.so | grep "$prefix/.*libtessivane.so.1" >/dev/null ||
  { echo "the pip-installed extension does not load the prefix's library"; exit 1; }

[ "$from_cmake" = "$from_pip" ] || { echo "the two installations disagree"; exit 1; }

# pip compiles with the library's release flags: no debug information, so
# about the size of the CMake-built module (with the interpreter's -g, 30 times).
cmake_size=$(stat -c %s "$prefix/$site"/tessivane/_core*.so)
pip_size=$(stat -c %s "$work/pip"/tessivane/_core*.so)
[ "$pip_size" -le $((cmake_size * 3 / 2)) ] ||
  { echo "the pip-built extension has $pip_size bytes, the CMake-built one $cmake_size"; exit 1; }
echo "$from_cmake" | head -2
