#!/usr/bin/env bash
# Renders the figures of docs/examples.md from the CSV files that the spectrum and
# fit examples write: docs/img/power_spectrum.png, polynomial_fit.png and
# peak_fit.png. Needs gnuplot (Debian: gnuplot-nox); without it nothing is
# drawn and the run still succeeds.
# Usage: plots.sh BUILD_DIR_WITH_EXAMPLES
set -euo pipefail
build=$1
out=docs/img

if ! command -v gnuplot >/dev/null 2>&1; then
  echo "make plots: gnuplot not found (Debian package gnuplot-nox); no plots drawn"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
"$build/examples/power_spectrum" "$work/spectrum.csv" >/dev/null
"$build/examples/polynomial_fit" "$work/polynomial.csv" >/dev/null
"$build/examples/peak_fit" "$work/peak.csv" >/dev/null

gnuplot <<GNUPLOT
set datafile separator ","
set terminal pngcairo size 800,450 font "sans,10"
set key top right
set grid

set output "$out/power_spectrum.png"
set title "realft: power of 10 Hz and 25 Hz sines in noise (256 samples at 128 Hz)"
set xlabel "frequency (Hz)"
set ylabel "power |F_k|^2 / n^2"
set logscale y
set format y "10^{%L}"
plot "$work/spectrum.csv" every ::1 using 1:2 with lines lw 1.5 title "power spectrum"
unset logscale y
set format y "%g"

set output "$out/polynomial_fit.png"
set title "svdfit + fpoly on a quadratic: raw x (10^5..3x10^6) loses the fit, x scaled to [-1, 1] keeps it"
set xlabel "load x (N)"
set ylabel "deflection y (mm)"
set key top left
plot "$work/polynomial.csv" every ::1 using 1:2 with points pt 7 ps 0.6 title "data (sigma = 2e-4)", \
     "" every ::1 using 1:3 with lines lw 1.5 title "fit on raw x", \
     "" every ::1 using 1:4 with lines lw 1.5 title "fit on scaled x"

set output "$out/peak_fit.png"
set title "mrqmin + fgauss: Gaussian peak, amplitude 2.5, centre 4.2, width 1.3, noise 0.05"
set xlabel "x"
set ylabel "y"
set key top right
plot "$work/peak.csv" every ::1 using 1:2 with points pt 7 ps 0.6 title "data", \
     "" every ::1 using 1:3 with lines lw 1.5 title "fitted model"
GNUPLOT
echo "make plots: wrote $out/power_spectrum.png, $out/polynomial_fit.png, $out/peak_fit.png"
