#!/usr/bin/env bash
# `make install`: installs the library, tkhost (and the Python package where
# it is built) into PREFIX. A build tree that `make demo` or `make test`
# configured is reused when its settings give the same installed files: a
# Release build without sanitizers, of this source tree, whose cache agrees
# with every -D of CMAKE_ARGS. Otherwise the install builds in a tree of its
# own, with tests, benchmarks and examples off, and says why.
# Usage: install.sh BUILD INSTALL_BUILD JOBS PREFIX [CMAKE_ARGS...]
set -euo pipefail
build=$1 install_build=$2 jobs=$3 prefix=$4
shift 4

cached() {  # the value of cache entry $1 in $build, empty when unset
  sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt" | head -n 1
}

# Empty when $build can be installed as it is, else why not.
why_not_reuse() {
  [ -f "$build/CMakeCache.txt" ] || { echo "$build/ is not configured"; return; }
  [ "$(cached CMAKE_HOME_DIRECTORY)" = "$(pwd -P)" ] ||
    { echo "$build/ belongs to another source tree"; return; }
  local type
  type=$(cached CMAKE_BUILD_TYPE)
  [ "$type" = Release ] || { echo "$build/ is a ${type:-default} build, not Release"; return; }
  for option in TV_SANITIZE TV_TSAN TV_FUZZ; do
    [ "$(cached $option)" != ON ] || { echo "$build/ has $option=ON"; return; }
  done
  local arg name value
  for arg in "$@"; do
    [[ $arg =~ ^-D([A-Za-z0-9_]+)(:[A-Z]+)?=(.*)$ ]] ||
      { echo "CMAKE_ARGS has '$arg', not a -DNAME=VALUE"; return; }
    name=${BASH_REMATCH[1]} value=${BASH_REMATCH[3]}
    [ "$(cached "$name")" = "$value" ] ||
      { echo "CMAKE_ARGS sets $name=$value, $build/ has '$(cached "$name")'"; return; }
  done
}

reason=$(why_not_reuse "$@")
if [ -z "$reason" ]; then
  tree=$build
  targets=(tessivane tkhost)
  [ "$(cached TV_PYTHON)" != ON ] || targets+=(_core)
  echo "make install: reusing $build/ (Release, no sanitizer); building ${targets[*]} there"
else
  tree=$install_build
  echo "make install: building the library and tkhost in $install_build/ ($reason)"
  cmake -S . -B "$install_build" -DTV_BUILD_TESTS=OFF -DTV_BUILD_BENCH=OFF -DTV_BUILD_EXAMPLES=OFF \
    "$@" >/dev/null
  targets=(all)
fi
bash scripts/quiet-build.sh "make install" "$tree" "$jobs" "${targets[@]}"
# One line for the files installed (cmake lists them in install_manifest.txt);
# the whole output when the install fails.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! cmake --install "$tree" ${prefix:+--prefix "$prefix"} >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
echo "make install: installed $(wc -l <"$tree/install_manifest.txt") files under" \
  "${prefix:-$(sed -n 's/^CMAKE_INSTALL_PREFIX:[A-Z]*=//p' "$tree/CMakeCache.txt")}" \
  "(listed in $tree/install_manifest.txt)"
