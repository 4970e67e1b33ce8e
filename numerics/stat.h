#ifndef TESSIVANE_STAT_H
#define TESSIVANE_STAT_H

// The numerics of libtessivane: single-precision statistics, transforms,
// sorting, random deviates, linear algebra and fitting over the offset-indexed
// arrays of nrutil.h.
//
// Conventions shared by every routine below:
// - Arrays are 1-based (indices 1..n) unless a comment says "0..n-1".
// - Results come back through out-parameters; an out-parameter a routine does
//   not compute is left exactly as the caller passed it.
// - Fatal conditions end the process through nrerror() (three lines on stderr,
//   exit status 1) with the message given in the comment.
// - Scratch storage is allocated through nrutil and released before returning.
// - Routines marked [process-wide state: not thread-safe] keep state between
//   calls and must not run on two threads at once.

#include "nrutil.h"
#include "tessivane_export.h"

// ---- Special functions ----

// ---- Sorting and ranking ----

// ---- Two-sample tests ----

// ---- Correlation ----

// ---- Incremental correlation and regression ----

// ---- Probability and threshold conversions ----

// ---- Straight-line fit ----

// ---- Fourier transforms ----

// ---- Selection ----

// ---- Random deviates ----

// ---- Singular value decomposition ----

// ---- Matrix products and copies ----

// ---- Matrix inverse ----

// ---- Gauss-Jordan elimination ----

// ---- Jacobi eigen-decomposition ----

// ---- Linear least squares ----

// ---- Nonlinear least squares ----

#endif
