// Multidimensional FFTs of power-of-two extents, in place: fourn (complex,
// any number of dimensions, row-major with the last index fastest) and rlft3
// (real 3-D or 2-D data in an f3tensor, the Nyquist plane of the last
// dimension kept in a separate matrix).
//
// fourn rounds each twiddle factor to float and forms its butterfly products
// in float; rlft3's separation step forms each twiddled output in double and
// rounds it once. The recurrence itself is double in both, as in fft.cpp.
//
// The code below is the portable path and the reference for the AVX2 path
// (fft_avx2.cpp), which gives the same bits faster; active_isa() chooses.

#include "stat.h"

#include "detail_fft.h"
#include "detail_refuse.h"
#include "isa.h"

#include <cmath>
#include <cstdint>
#include <utility>

using tessivane::detail::advance;
using tessivane::detail::kTwoPi;
using tessivane::detail::Rotation;
using tessivane::detail::rotation;

namespace {

// Largest number of complex points for which 2 * ntot still fits the counts.
const unsigned long kMaxComplexPoints = 1UL << 62;
// Largest real tensor whose byte extent fits the contiguity check.
const unsigned long kMaxRealPoints = 1UL << 60;

bool fast_path()
{
    return tessivane::active_isa() != tessivane::isa::portable;
}

// rlft3's separation step. Row (i1, i2) pairs with row (j1, j2) of the
// negated frequencies; j1 indexes frequency -(i1 - 1).
inline unsigned long partner_plane(unsigned long i1, unsigned long nn1)
{
    return i1 != 1 ? nn1 - i1 + 2 : 1;
}

// Frequency 0 of the last index pairs with the Nyquist plane in speq.
inline void separate_with_nyquist(float ***data, float **speq, unsigned long i1, unsigned long i2,
                                  unsigned long j1, unsigned long nn2, float c1, float c2)
{
    const unsigned long j2 = (i2 != 1 ? ((nn2 - i2) << 1) + 3 : 1);
    const float h1r = c1 * (data[i1][i2][1] + speq[j1][j2]);
    const float h1i = c1 * (data[i1][i2][2] - speq[j1][j2 + 1]);
    const float h2i = c2 * (data[i1][i2][1] - speq[j1][j2]);
    const float h2r = -c2 * (data[i1][i2][2] + speq[j1][j2 + 1]);
    data[i1][i2][1] = h1r + h2r;
    data[i1][i2][2] = h1i + h2i;
    speq[j1][j2] = h1r - h2r;
    speq[j1][j2 + 1] = h2i - h1i;
}

// Frequency i3 - 1 of the last index with frequency nn3/2 - (i3 - 1).
inline void separate_pair(float ***data, unsigned long i1, unsigned long i2, unsigned long j1,
                          unsigned long nn2, unsigned long nn3, unsigned long i3, double wr,
                          double wi, float c1, float c2)
{
    const unsigned long ii3 = (i3 << 1) - 1;
    const unsigned long j2 = (i2 != 1 ? nn2 - i2 + 2 : 1);
    const unsigned long j3 = nn3 + 3 - (i3 << 1);
    const float h1r = c1 * (data[i1][i2][ii3] + data[j1][j2][j3]);
    const float h1i = c1 * (data[i1][i2][ii3 + 1] - data[j1][j2][j3 + 1]);
    const float h2i = c2 * (data[i1][i2][ii3] - data[j1][j2][j3]);
    const float h2r = -c2 * (data[i1][i2][ii3 + 1] + data[j1][j2][j3 + 1]);
    // Each twiddled output is formed whole in double, rounded once.
    data[i1][i2][ii3] = static_cast<float>(h1r + wr * h2r - wi * h2i);
    data[i1][i2][ii3 + 1] = static_cast<float>(h1i + wr * h2i + wi * h2r);
    data[j1][j2][j3] = static_cast<float>(h1r - wr * h2r + wi * h2i);
    data[j1][j2][j3 + 1] = static_cast<float>(-h1i + wr * h2i + wi * h2r);
}

void separate_portable(float ***data, float **speq, unsigned long nn1, unsigned long nn2,
                       unsigned long nn3, double theta, float c1, float c2)
{
    const Rotation step = rotation(theta);
    for (unsigned long i1 = 1; i1 <= nn1; ++i1) {
        const unsigned long j1 = partner_plane(i1, nn1);
        double wr = 1.0;
        double wi = 0.0;
        for (unsigned long i3 = 1; i3 <= (nn3 >> 2) + 1; ++i3) {
            for (unsigned long i2 = 1; i2 <= nn2; ++i2) {
                if (i3 == 1)
                    separate_with_nyquist(data, speq, i1, i2, j1, nn2, c1, c2);
                else
                    separate_pair(data, i1, i2, j1, nn2, nn3, i3, wr, wi, c1, c2);
            }
            advance(wr, wi, step);
        }
    }
}

// The same operations in another order: every pair of elements is touched by
// one step only, except that frequency nn3/4 pairs rows (i1, i2) and (j1, j2)
// with each other twice, so those steps keep their order; the frequencies
// 1..nn3/4-1 of each row run four at a time.
bool separate_fast(float ***data, float **speq, unsigned long nn1, unsigned long nn2,
                   unsigned long nn3, int isign, float c1, float c2)
{
    const tessivane::detail::TwiddlePtr tables = tessivane::detail::rlft3_twiddles(nn3, isign);
    if (!tables)
        return false;
    const double *wr = tables->d;
    const double *wi = tables->d + tables->stride;
    const unsigned long quarter = nn3 >> 2;
    for (unsigned long i1 = 1; i1 <= nn1; ++i1) {
        const unsigned long j1 = partner_plane(i1, nn1);
        for (unsigned long i2 = 1; i2 <= nn2; ++i2) {
            separate_with_nyquist(data, speq, i1, i2, j1, nn2, c1, c2);
            const unsigned long j2 = (i2 != 1 ? nn2 - i2 + 2 : 1);
            tessivane::detail::separate_avx2(&data[i1][i2][1], &data[j1][j2][1], nn3, quarter, wr,
                                             wi, c1, c2);
        }
    }
    if (quarter >= 1)
        for (unsigned long i1 = 1; i1 <= nn1; ++i1)
            for (unsigned long i2 = 1; i2 <= nn2; ++i2)
                separate_pair(data, i1, i2, partner_plane(i1, nn1), nn2, nn3, quarter + 1,
                              wr[quarter], wi[quarter], c1, c2);
    return true;
}

}  // namespace

namespace tessivane {
namespace detail {

void fourn_dimension(float data[], unsigned long n, unsigned long nprev, unsigned long nrem,
                     int isign)
{
    const unsigned long ip1 = nprev << 1;
    const unsigned long ip2 = ip1 * n;
    const unsigned long ip3 = ip2 * nrem;

    // Bit-reversal reordering along this dimension.
    unsigned long i2rev = 1;
    for (unsigned long i2 = 1; i2 <= ip2; i2 += ip1) {
        if (i2 < i2rev) {
            for (unsigned long i1 = i2; i1 <= i2 + ip1 - 2; i1 += 2) {
                for (unsigned long i3 = i1; i3 <= ip3; i3 += ip2) {
                    const unsigned long i3rev = i2rev + i3 - i2;
                    std::swap(data[i3], data[i3rev]);
                    std::swap(data[i3 + 1], data[i3rev + 1]);
                }
            }
        }
        unsigned long ibit = ip2 >> 1;
        while (ibit >= ip1 && i2rev > ibit) {
            i2rev -= ibit;
            ibit >>= 1;
        }
        i2rev += ibit;
    }

    // Butterflies along this dimension.
    unsigned long ifp1 = ip1;
    while (ifp1 < ip2) {
        const unsigned long ifp2 = ifp1 << 1;
        const double theta = isign * kTwoPi / static_cast<double>(ifp2 / ip1);
        const Rotation step = rotation(theta);
        double wr = 1.0;
        double wi = 0.0;
        for (unsigned long i3 = 1; i3 <= ifp1; i3 += ip1) {
            // The twiddle is rounded to float; products and sums are float.
            const float fwr = static_cast<float>(wr);
            const float fwi = static_cast<float>(wi);
            for (unsigned long i1 = i3; i1 <= i3 + ip1 - 2; i1 += 2) {
                for (unsigned long i2 = i1; i2 <= ip3; i2 += ifp2)
                    butterfly(&data[i2], &data[i2 + ifp1], fwr, fwi);
            }
            advance(wr, wi, step);
        }
        ifp1 = ifp2;
    }
}

}  // namespace detail
}  // namespace tessivane

void fourn(float data[], unsigned long nn[], int ndim, int isign)
{
    // Check every extent before anything is touched.
    unsigned long ntot = 1;
    for (int idim = 1; idim <= ndim; ++idim) {
        if (!tessivane::detail::is_power_of_two(nn[idim]))
            tessivane::detail::refuse("fourn: nn[%d] = %lu is not a power of two (1, 2, 4, ...)",
                                      idim, nn[idim]);
        if (nn[idim] > kMaxComplexPoints / ntot)
            tessivane::detail::refuse("fourn: nn[1..%d] hold more than 2^62 complex points", ndim);
        ntot *= nn[idim];
    }

    if (ndim >= 1 && fast_path() && tessivane::detail::fourn_avx2(data, nn, ndim, ntot, isign))
        return;

    // One dimension at a time, the fastest-varying first.
    unsigned long nprev = 1;
    for (int idim = ndim; idim >= 1; --idim) {
        const unsigned long n = nn[idim];
        tessivane::detail::fourn_dimension(data, n, nprev, ntot / (n * nprev), isign);
        nprev *= n;
    }
}

void rlft3(float ***data, float **speq, unsigned long nn1, unsigned long nn2, unsigned long nn3,
           int isign)
{
    // Extents are checked before any row pointer is read, so that a zero
    // extent cannot send the contiguity check outside the tensor.
    if (!tessivane::detail::is_power_of_two(nn1))
        tessivane::detail::refuse("rlft3: nn1 = %lu is not a power of two (1, 2, 4, ...)", nn1);
    if (!tessivane::detail::is_power_of_two(nn2))
        tessivane::detail::refuse("rlft3: nn2 = %lu is not a power of two (1, 2, 4, ...)", nn2);
    if (nn3 < 2 || !tessivane::detail::is_power_of_two(nn3))
        tessivane::detail::refuse("rlft3: nn3 = %lu is not a power of two >= 2", nn3);
    if (nn2 > kMaxRealPoints / nn1 || nn3 > kMaxRealPoints / (nn1 * nn2))
        tessivane::detail::refuse("rlft3: nn1*nn2*nn3 = %lu*%lu*%lu is too large", nn1, nn2, nn3);

    // The complex view handed to fourn needs the whole tensor in one block.
    // A tensor built for other extents is refused before anything changes.
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(data[1][1]);
    const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(data[nn1][nn2]);
    if (last < first || last - first != (nn1 * nn2 - 1) * nn3 * sizeof(float))
        tessivane::detail::refuse("rlft3: data is not one contiguous %lu x %lu x %lu tensor", nn1,
                                  nn2, nn3);

    const float c1 = 0.5f;
    const float c2 = static_cast<float>(-0.5 * isign);
    const double theta = (kTwoPi / static_cast<double>(nn3)) * isign;

    unsigned long nn[4];
    nn[0] = 0;
    nn[1] = nn1;
    nn[2] = nn2;
    nn[3] = nn3 >> 1;

    // data[1][1] is the float just before data[1][1][1]: position 0 of the
    // 1-based complex view, which fourn never touches.
    if (isign == 1) {
        fourn(data[1][1], nn, 3, isign);
        for (unsigned long i1 = 1; i1 <= nn1; ++i1) {
            for (unsigned long i2 = 1, j2 = 0; i2 <= nn2; ++i2) {
                speq[i1][++j2] = data[i1][i2][1];
                speq[i1][++j2] = data[i1][i2][2];
            }
        }
    }

    if (!(fast_path() && separate_fast(data, speq, nn1, nn2, nn3, isign, c1, c2)))
        separate_portable(data, speq, nn1, nn2, nn3, theta, c1, c2);

    if (isign == -1)
        fourn(data[1][1], nn, 3, isign);
}
