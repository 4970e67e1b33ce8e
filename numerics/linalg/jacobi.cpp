// Eigenvalues and eigenvectors of a real symmetric matrix by cyclic Jacobi
// rotations, and their reordering into descending order.
//
// Element arithmetic is float; the rotation angle quantities marked below are
// formed in double and rounded to float.

#include "detail_linalg.h"
#include "stat.h"

#include "detail_scratch.h"

#include <cmath>
#include <utility>

namespace {

constexpr int kMaxSweeps = 50;

}  // namespace

void jacobi(float **a, int n, float *d, float **v, int *nrot)
{
    // Released in reverse order on return, and also when too many sweeps throw.
    tessivane::detail::scratch_vector<float> b(1, n);
    tessivane::detail::scratch_vector<float> z(1, n);

    if (tessivane::detail::use_avx2() && tessivane::detail::jacobi_avx2(a, n, d, v, nrot, b, z))
        return;

    for (int ip = 1; ip <= n; ip++) {
        for (int iq = 1; iq <= n; iq++)
            v[ip][iq] = 0.0f;
        v[ip][ip] = 1.0f;
    }
    for (int ip = 1; ip <= n; ip++) {
        b[ip] = d[ip] = a[ip][ip];
        z[ip] = 0.0f;
    }
    *nrot = 0;

    for (int i = 1; i <= kMaxSweeps; i++) {
        float sm = 0.0f;
        for (int ip = 1; ip <= n - 1; ip++)
            for (int iq = ip + 1; iq <= n; iq++)
                sm += std::fabs(a[ip][iq]);
        if (sm == 0.0f)
            return;
        // In the first sweeps only elements above this threshold are rotated.
        float tresh =
            i < 4 ? static_cast<float>(0.2 * static_cast<double>(sm) / static_cast<double>(n * n))
                  : 0.0f;

        for (int ip = 1; ip <= n - 1; ip++) {
            for (int iq = ip + 1; iq <= n; iq++) {
                float g = 100.0f * std::fabs(a[ip][iq]);
                // After four sweeps an element negligible against both
                // diagonal entries is dropped without a rotation.
                if (i > 4 && std::fabs(d[ip]) + g == std::fabs(d[ip]) &&
                    std::fabs(d[iq]) + g == std::fabs(d[iq])) {
                    a[ip][iq] = 0.0f;
                } else if (std::fabs(a[ip][iq]) > tresh) {
                    const tessivane::detail::JacobiRotation r =
                        tessivane::detail::jacobi_rotation(d[iq] - d[ip], a[ip][iq], g);
                    const float s = r.s, tau = r.tau;
                    const float h = r.t * a[ip][iq];
                    z[ip] -= h;
                    z[iq] += h;
                    d[ip] -= h;
                    d[iq] += h;
                    a[ip][iq] = 0.0f;

                    auto rotate = [s, tau](float &x, float &y) {
                        float gx = x, hy = y;
                        x = gx - s * (hy + gx * tau);
                        y = hy + s * (gx - hy * tau);
                    };
                    for (int j = 1; j <= ip - 1; j++)
                        rotate(a[j][ip], a[j][iq]);
                    for (int j = ip + 1; j <= iq - 1; j++)
                        rotate(a[ip][j], a[j][iq]);
                    for (int j = iq + 1; j <= n; j++)
                        rotate(a[ip][j], a[iq][j]);
                    for (int j = 1; j <= n; j++)
                        rotate(v[j][ip], v[j][iq]);
                    ++*nrot;
                }
            }
        }
        for (int ip = 1; ip <= n; ip++) {
            b[ip] += z[ip];
            d[ip] = b[ip];
            z[ip] = 0.0f;
        }
    }
    nrerror("Too many iterations in routine jacobi");
}

void eigsrt(float *d, float **v, int n)
{
    for (int i = 1; i < n; i++) {
        int k = i;
        float p = d[i];
        // Among equal values the last one is taken.
        for (int j = i + 1; j <= n; j++) {
            if (d[j] >= p) {
                k = j;
                p = d[j];
            }
        }
        if (k != i) {
            d[k] = d[i];
            d[i] = p;
            for (int j = 1; j <= n; j++)
                std::swap(v[j][i], v[j][k]);
        }
    }
}
