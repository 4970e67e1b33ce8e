#ifndef TESSIVANE_TEST_SUPPORT_LINALG_H
#define TESSIVANE_TEST_SUPPORT_LINALG_H

// Random inputs from fixed seeds and LAPACK as the oracle of the linear
// algebra and fitting tests. Matrices are passed as row-major std::vectors.

#include "lapack_prototypes.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <random>
#include <vector>

namespace tv_test {

// Row-major rows x cols values, uniform in [-2.385, 2.385].
inline std::vector<float> random_values(std::mt19937 &rng, int rows, int cols)
{
    std::uniform_real_distribution<float> dist(-2.385f, 2.385f);
    std::vector<float> out(static_cast<std::size_t>(rows * cols));
    for (float &x : out)
        x = dist(rng);
    return out;
}

inline std::vector<float> column_major(const std::vector<float> &rowmajor, int rows, int cols)
{
    std::vector<float> out(rowmajor.size());
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            out[static_cast<std::size_t>(c * rows + r)] =
                rowmajor[static_cast<std::size_t>(r * cols + c)];
    return out;
}

// Singular values of a row-major rows x cols matrix, descending (sgesvd).
inline std::vector<float> lapack_singular_values(const std::vector<float> &a, int rows, int cols)
{
    std::vector<float> cm = column_major(a, rows, cols);
    std::vector<float> s(static_cast<std::size_t>(std::min(rows, cols)));
    int lwork = -1, info = 0, one = 1;
    float query = 0.0f, dummy = 0.0f;
    sgesvd_("N", "N", &rows, &cols, cm.data(), &rows, s.data(), &dummy, &one, &dummy, &one, &query,
            &lwork, &info, 1, 1);
    lwork = static_cast<int>(query);
    std::vector<float> work(static_cast<std::size_t>(lwork));
    sgesvd_("N", "N", &rows, &cols, cm.data(), &rows, s.data(), &dummy, &one, &dummy, &one,
            work.data(), &lwork, &info, 1, 1);
    return info == 0 ? s : std::vector<float>();
}

// Eigenvalues of a symmetric row-major n x n matrix, ascending (ssyev).
inline std::vector<float> lapack_eigenvalues(const std::vector<float> &a, int n)
{
    std::vector<float> cm = column_major(a, n, n);
    std::vector<float> w(static_cast<std::size_t>(n));
    int lwork = -1, info = 0;
    float query = 0.0f;
    ssyev_("N", "U", &n, cm.data(), &n, w.data(), &query, &lwork, &info, 1, 1);
    lwork = static_cast<int>(query);
    std::vector<float> work(static_cast<std::size_t>(lwork));
    ssyev_("N", "U", &n, cm.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
    return info == 0 ? w : std::vector<float>();
}

// Solution X (row-major n x nrhs) of A X = B for row-major A (n x n) and B
// (n x nrhs) by sgesv; empty when LAPACK finds A singular.
inline std::vector<float> lapack_solve(const std::vector<float> &a, const std::vector<float> &b,
                                       int n, int nrhs)
{
    std::vector<float> acm = column_major(a, n, n);
    std::vector<float> bcm = column_major(b, n, nrhs);
    std::vector<int> ipiv(static_cast<std::size_t>(n));
    int info = 0;
    sgesv_(&n, &nrhs, acm.data(), &n, ipiv.data(), bcm.data(), &n, &info);
    if (info != 0)
        return {};
    std::vector<float> x(b.size());
    for (int r = 0; r < n; r++)
        for (int c = 0; c < nrhs; c++)
            x[static_cast<std::size_t>(r * nrhs + c)] = bcm[static_cast<std::size_t>(c * n + r)];
    return x;
}

// Least-squares solution (length cols) of a row-major rows x cols system with
// rows >= cols and full rank, by sgels.
inline std::vector<float> lapack_least_squares(const std::vector<float> &a,
                                               const std::vector<float> &b, int rows, int cols)
{
    std::vector<float> acm = column_major(a, rows, cols);
    std::vector<float> bb = b;
    int nrhs = 1, lwork = -1, info = 0;
    float query = 0.0f;
    sgels_("N", &rows, &cols, &nrhs, acm.data(), &rows, bb.data(), &rows, &query, &lwork, &info, 1);
    lwork = static_cast<int>(query);
    std::vector<float> work(static_cast<std::size_t>(lwork));
    sgels_("N", &rows, &cols, &nrhs, acm.data(), &rows, bb.data(), &rows, work.data(), &lwork,
           &info, 1);
    if (info != 0)
        return {};
    bb.resize(static_cast<std::size_t>(cols));
    return bb;
}

// Inputs for comparing the instruction-set paths:
enum class Fill { random, small_integers, special_values, zeros_subnormals };

inline const char *fill_name(Fill fill)
{
    switch (fill) {
    case Fill::random:
        return "random";
    case Fill::small_integers:
        return "ties";
    case Fill::special_values:
        return "specials";
    default:
        return "zeros_subnormals";
    }
}

// Random values; small integers (ties in every pivot search, often singular);
// random values with NaN, infinities, signed zeros and subnormals strewn in;
// or only the finite ones of those (signed zeros and subnormals).
inline std::vector<float> path_input(std::mt19937 &rng, int rows, int cols, Fill fill)
{
    std::vector<float> v = random_values(rng, rows, cols);
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              0.0f,
                              -0.0f,
                              1.0e-40f,
                              -3.0e-42f};
    for (float &x : v) {
        if (fill == Fill::small_integers)
            x = static_cast<float>(static_cast<int>(rng() % 5) - 2);
        else if (fill == Fill::special_values && rng() % 16 == 0)
            x = specials[rng() % 7];
        else if (fill == Fill::zeros_subnormals && rng() % 4 == 0)
            x = specials[3 + rng() % 4];
    }
    return v;
}

}  // namespace tv_test

#endif
