#!/usr/bin/env bash
# Runs every benchmark program of a build and fails when one of them fails or
# reports an error. Each benchmark first checks its result against its anchor
# (FFTW, LAPACK, the standard library, Boost) and reports an error when they
# disagree, so a failed anchor check fails this script.
#
# usage: run-benchmarks.sh BUILD_DIR [--smoke] [benchmark options...]
#   --smoke  run each benchmark only briefly: enough for every anchor check
#            to run once, not for meaningful timings
set -euo pipefail
build=$1
shift
options=()
python_options=()
if [ "${1:-}" = "--smoke" ]; then
  shift
  options=(--benchmark_min_time=0.001)
  python_options=(--smoke)
fi
options+=("$@")

programs=()
for program in "$build"/bench/bench_*; do
  [ -x "$program" ] && programs+=("$program")
done
if [ ${#programs[@]} -eq 0 ]; then
  echo "no benchmark programs in $build/bench (is Google Benchmark installed?)" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=()
for program in "${programs[@]}"; do
  name=$(basename "$program")
  json=$work/$name.json
  status=0
  "$program" --benchmark_out="$json" --benchmark_out_format=json "${options[@]}" || status=$?
  if [ $status -ne 0 ]; then
    failed+=("$name: exit status $status")
  elif grep -q '"error_occurred": true' "$json"; then
    failed+=("$name: $(grep -c '"error_occurred": true' "$json") benchmark(s) reported an error")
  fi
done

# The Python package against the C++ call, NumPy and SciPy, and its batches, when it was built.
if [ -d "$build/python/tessivane" ]; then
  python=/usr/bin/python3
  [ -x "$python" ] || python=python3
  echo "== Python package (bench/python/bench_python.py)"
  PYTHONPATH="$build/python" "$python" "$(dirname "$0")/../bench/python/bench_python.py" \
    "${python_options[@]}" || failed+=("bench_python.py: exit status $?")
  echo "== Python batches (bench/python/bench_batch.py)"
  PYTHONPATH="$build/python" "$python" "$(dirname "$0")/../bench/python/bench_batch.py" \
    "${python_options[@]}" || failed+=("bench_batch.py: exit status $?")
fi

if [ ${#failed[@]} -gt 0 ]; then
  echo "benchmarks FAILED:" >&2
  printf '  %s\n' "${failed[@]}" >&2
  exit 1
fi
