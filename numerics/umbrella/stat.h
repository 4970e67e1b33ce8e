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
// - Fatal conditions are reported through nrerror() with the message given in
//   the comment: by default three lines on stderr and exit status 1; in a
//   thread that chose tessivane::error_mode::throw_exception (errors.h), a
//   tessivane::numerics_error whose what() is that message.
// - After such a throw, the scratch storage of the routine has been released;
//   the caller's output and in/out arrays hold unspecified but valid floats
//   (a partly finished result), its input-only arrays are unchanged.
// - Scratch storage is allocated through nrutil and released before returning.
// - Routines marked [process-wide state: not thread-safe] keep state between
//   calls and must not run on two threads at once; each such state has a
//   thread-ownable form (ran1_stream in random.h, lm_fit in fit.h,
//   last_svd_converged in linalg.h).
//
// This header includes every family's header and version.h; a program may include just the
// families it uses instead.

#include "fft.h"
#include "fit.h"
#include "linalg.h"
#include "random.h"
#include "sort.h"
#include "special.h"
#include "stats.h"
#include "version.h"

#endif
