#!/usr/bin/env bash
# Makes sure the Debian packages needed to build and test libtessivane are
# present, plus any further packages named on the command line (CI's extra
# tools). As root it installs what is missing; otherwise it prints the one
# command that would, and fails.
set -euo pipefail

packages=(
  cmake make g++ pkg-config binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  # test oracles: independent implementations of the same mathematics
  libboost-math-dev liblapack-dev libfftw3-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "installing build packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "missing build packages; install them with:" >&2
  echo "  sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
