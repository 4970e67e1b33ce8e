#!/usr/bin/env bash
# Makes sure the Debian packages needed to build and test libtessivane are
# present, plus any further packages named on the command line (CI's extra
# tools). As root it installs what is missing; otherwise it prints the one
# command that would, and fails. The Python package's build and test packages
# are installed as root too, but their absence alone does not fail: the build
# then leaves the package out (TV_PYTHON=OFF) and its tests report as skipped.
set -euo pipefail

packages=(
  cmake make g++ pkg-config binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  # test oracles: independent implementations of the same mathematics
  libboost-math-dev liblapack-dev libfftw3-dev
  "$@"
)
python_packages=(
  python3 python3-dev python3-numpy python3-pybind11 pybind11-dev python3-pytest
  python3-setuptools python3-wheel python3-pip
  # the batches on a Dask cluster (tessivane.dask and its test)
  python3-dask python3-distributed
  # the check of the type stub against the package (python -m mypy.stubtest)
  python3-mypy
  # oracles: SciPy for the one-sided tests' checks and make accuracy, with mpmath
  python3-scipy python3-mpmath
  # NIfTI images in examples/python/nifti_maps.py and its test
  python3-nibabel
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
python_missing=()
for p in "${python_packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    python_missing+=("$p")
  fi
done
if [ "$(id -u)" -ne 0 ] && [ ${#python_missing[@]} -gt 0 ]; then
  echo "the Python package will not be built or tested; to build it install:" >&2
  echo "  sudo apt-get install ${python_missing[*]}" >&2
else
  missing+=("${python_missing[@]}")
fi
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
