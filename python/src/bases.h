// Basis functions for svdfit that the Python package offers besides the
// library's fpoly. Shared by the extension and the test driver that checks its
// bits, so both evaluate them with the same float steps.
#ifndef TESSIVANE_PY_BASES_H
#define TESSIVANE_PY_BASES_H

namespace tvpy {

// Legendre polynomials P_0(x)..P_{nl-1}(x) into pl[1..nl] (nl >= 1) by the
// three-term recurrence n P_n = (2n - 1) x P_{n-1} - (n - 1) P_{n-2}, in float.
inline void fleg(float x, float *pl, int nl)
{
    pl[1] = 1.0f;
    if (nl > 1)
        pl[2] = x;
    for (int j = 3; j <= nl; j++) {
        const float n = static_cast<float>(j - 1);
        pl[j] = ((2.0f * n - 1.0f) * x * pl[j - 1] - (n - 1.0f) * pl[j - 2]) / n;
    }
}

}  // namespace tvpy

#endif
