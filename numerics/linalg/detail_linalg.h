#ifndef TESSIVANE_DETAIL_LINALG_H
#define TESSIVANE_DETAIL_LINALG_H

// AVX2 paths of the dense linear algebra. Each gives exactly the bits of the
// straightforward code (NaNs in the same places, of any sign and payload) in gauss_jordan.cpp,
// jacobi.cpp, svd.cpp and matrix_ops.cpp (the same float and double operations on the same
// operands, only independent elements reordered or computed side by side, never a fused
// multiply-add), and reaches nrerror() with the same message in the same state
// of the caller's arrays. A path that cannot allocate its own scratch returns
// false before it touches anything, and the caller runs the straightforward
// code instead.

#include "detail_isa.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>

namespace tessivane {
namespace detail {

// |x| as the elimination and the decomposition compare it: a comparison and a
// negation, so -0 stays -0 and a NaN stays the NaN it was.
inline float absval(float x)
{
    return x >= 0.0f ? x : -x;
}

// The Jacobi rotation that zeroes an off-diagonal element apq, given
// h = d[q] - d[p] and g = 100 |apq|: t = tan(phi), s = sin(phi) and
// tau = s / (1 + cos(phi)). theta and t are formed in double, theta^2 in float.
struct JacobiRotation {
    float t, s, tau;
};

inline float jacobi_tangent(float h, float apq, float g)
{
    if (std::fabs(h) + g == std::fabs(h))
        return apq / h;
    float theta = static_cast<float>(0.5 * static_cast<double>(h) / static_cast<double>(apq));
    float t = static_cast<float>(1.0 / (static_cast<double>(std::fabs(theta)) +
                                        std::sqrt(1.0 + static_cast<double>(theta * theta))));
    return theta < 0.0f ? -t : t;
}

// c = 1 / sqrt(t^2 + 1) with t^2 + 1 in float, the root and the quotient in
// double.
inline JacobiRotation jacobi_rotation_from_tangent(float t)
{
    float c = static_cast<float>(1.0 / std::sqrt(static_cast<double>(t * t + 1.0f)));
    float s = t * c;
    float tau = static_cast<float>(static_cast<double>(s) / (1.0 + static_cast<double>(c)));
    return {t, s, tau};
}

inline JacobiRotation jacobi_rotation(float h, float apq, float g)
{
    return jacobi_rotation_from_tangent(jacobi_tangent(h, apq, g));
}

// Working memory of the fast paths comes from malloc, so that a shortage sends
// the caller down the straightforward code instead of ending the process.
struct MallocDeleter {
    void operator()(void *p) const { std::free(p); }
};

using FloatBuffer = std::unique_ptr<float[], MallocDeleter>;

inline FloatBuffer allocate_floats(std::size_t count)
{
    return FloatBuffer(static_cast<float *>(std::malloc(count * sizeof(float))));
}

// A 0-based rows x cols float matrix whose rows are 32-byte aligned and padded
// with zeros to an odd multiple of eight floats, so that whole rows run eight
// lanes at a time. With an even multiple, a walk down a column of a
// power-of-two size would meet only a few cache sets.
class PaddedMatrix {
public:
    bool allocate(int rows, int cols)
    {
        ld_ = (static_cast<std::size_t>(cols) + 7) / 8 * 8;
        if (ld_ % 16 == 0)
            ld_ += 8;
        const std::size_t count = static_cast<std::size_t>(rows) * ld_;
        void *p = nullptr;
        if (posix_memalign(&p, 32, count * sizeof(float)) != 0)
            return false;
        data_.reset(static_cast<float *>(p));
        std::fill(data_.get(), data_.get() + count, 0.0f);
        return true;
    }
    float *row(int r) const { return data_.get() + static_cast<std::size_t>(r) * ld_; }
    // Floats from one row to the next: a multiple of eight.
    std::size_t stride() const { return ld_; }

private:
    FloatBuffer data_;
    std::size_t ld_ = 0;
};

// Whether the AVX2 paths are to run now (the active path is avx2 or wider).
inline bool use_avx2()
{
    return active_isa() != isa::portable;
}

#if TV_HAVE_AVX2_PATHS
// The passes and the unscrambling of gaussj, on the work vectors that gaussj
// has allocated (ipiv all 0).
bool gaussj_avx2(float **a, int n, float **b, int m, int *indxc, int *indxr, int *ipiv);

// jacobi from its start (v set to the identity, d, b and z from the
// diagonal) to its normal return or its fatal exit, on the work vectors b and
// z that jacobi has allocated.
bool jacobi_avx2(float **a, int n, float *d, float **v, int *nrot, float *b, float *z);

// S[j] = sum over k = k0..k1 of x[k] * M[k][j] for j = j0..j1, each sum a
// float running sum from 0 with k ascending (up to thirty-two columns at a
// time).
TV_TARGET_AVX2 void column_sums(float **M, int k0, int k1, int j0, int j1, const float *x,
                                float *S);

// S[j] = sum over k = k0..k1 of M[j][k] * x[k] for j = j0..j1, each sum a
// float running sum from 0 with k ascending (eight rows at a time).
TV_TARGET_AVX2 void row_sums(float **M, int j0, int j1, int k0, int k1, const float *x, float *S);

// svdcmp after its flag reset and the allocation of rv1, up to its return;
// no_convergence is set when some singular value did not converge.
bool svdcmp_avx2(float **a, int m, int n, float *w, float **v, float *rv1, bool &no_convergence);

// The products of matrix_ops.cpp; false when the output overlaps an input
// (or, for the symmetric product, when the working row cannot be allocated).
bool matrix_matrix_mult_avx2(float **a, float **b, float **c, int n, int s, int m);
bool transposematrix_matrix_mult_avx2(float **a, float **c, int n, int s);
bool diagmatrix_matrix_mult_avx2(float *w, float **m, int n, int s);
#else
// A build without the AVX2 paths: each entry point declines and the caller
// runs its portable code (use_avx2() is never true there in any case).
inline bool gaussj_avx2(float **, int, float **, int, int *, int *, int *)
{
    return false;
}
inline bool jacobi_avx2(float **, int, float *, float **, int *, float *, float *)
{
    return false;
}
inline bool svdcmp_avx2(float **, int, int, float *, float **, float *, bool &)
{
    return false;
}
inline bool matrix_matrix_mult_avx2(float **, float **, float **, int, int, int)
{
    return false;
}
inline bool transposematrix_matrix_mult_avx2(float **, float **, int, int)
{
    return false;
}
inline bool diagmatrix_matrix_mult_avx2(float *, float **, int, int)
{
    return false;
}
#endif

}  // namespace detail
}  // namespace tessivane

#endif
