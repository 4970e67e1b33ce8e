// The numerics with sizes and values inside their contracts, one family per
// input (chosen by the first byte), under AddressSanitizer and
// UndefinedBehaviorSanitizer. Besides memory safety each family checks an
// invariant that does not depend on the exact bits: sorting permutes and
// orders, selection partitions around k, a forward-then-inverse FFT scales
// back, Gauss-Jordan and the SVD inverse give A * A^-1 = I, the SVD and Jacobi
// reconstruct their matrix, probabilities lie in [0, 1].
#include "nrutil.h"
#include "stat.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Values in [-1, 1] in steps of 1/32768: finite, and no accident of scale.
float smallValue(FuzzedDataProvider &in)
{
    return static_cast<float>(in.ConsumeIntegralInRange(-32768, 32768)) / 32768.0f;
}

// Any finite float.
float finiteValue(FuzzedDataProvider &in)
{
    const float x = in.ConsumeFloatingPoint<float>();
    return std::isfinite(x) ? x : 0.0f;
}

// A 1-based vector v[1..n] filled from the input, as a std::vector with v[0] unused.
std::vector<float> values(FuzzedDataProvider &in, unsigned long n, bool any_finite)
{
    std::vector<float> v(n + 1, 0.0f);
    for (unsigned long i = 1; i <= n; i++)
        v[i] = any_finite ? finiteValue(in) : smallValue(in);
    return v;
}

void sorting(FuzzedDataProvider &in)
{
    const unsigned long n = in.ConsumeIntegralInRange<unsigned long>(0, 3000);
    std::vector<float> arr = values(in, n, true);
    std::vector<float> expected(arr.begin() + 1, arr.end());
    std::sort(expected.begin(), expected.end());
    std::vector<float> brr(n + 1);
    for (unsigned long i = 1; i <= n; i++)
        brr[i] = static_cast<float>(i);
    std::vector<float> original = arr;
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        sort(n, arr.data());
        break;
    case 1:
        hpsort(n, arr.data());
        break;
    default:
        sort2(n, arr.data(), brr.data());
        // Each companion still names the position its key came from.
        for (unsigned long i = 1; i <= n; i++)
            check(original[static_cast<unsigned long>(brr[i])] == arr[i]);
        break;
    }
    check(std::equal(expected.begin(), expected.end(), arr.begin() + 1));
    if (n > 0) {
        float s = 0.0f;
        crank(n, arr.data(), &s);
        for (unsigned long i = 1; i <= n; i++)
            check(arr[i] >= 1.0f && arr[i] <= static_cast<float>(n));
    }
}

void selection(FuzzedDataProvider &in)
{
    const unsigned long n = in.ConsumeIntegralInRange<unsigned long>(1, 3000);
    const unsigned long k = in.ConsumeIntegralInRange<unsigned long>(1, n);
    if (in.ConsumeBool()) {
        std::vector<float> arr = values(in, n, true);
        std::vector<float> sorted(arr.begin() + 1, arr.end());
        std::sort(sorted.begin(), sorted.end());
        const float kth = select(k, n, arr.data());
        check(kth == sorted[k - 1] && arr[k] == kth);
        for (unsigned long i = 1; i <= n; i++)
            check(i < k ? arr[i] <= kth : arr[i] >= kth);
    } else {
        std::vector<unsigned short> arr(n + 1);
        for (unsigned long i = 1; i <= n; i++)
            arr[i] = in.ConsumeIntegral<unsigned short>();
        std::vector<unsigned short> sorted(arr.begin() + 1, arr.end());
        std::sort(sorted.begin(), sorted.end());
        const unsigned short kth = select_ushort(k, n, arr.data());
        check(kth == sorted[k - 1] && arr[k] == kth);
        for (unsigned long i = 1; i <= n; i++)
            check(i < k ? arr[i] <= kth : arr[i] >= kth);
    }
}

// |back / scale - original| within a few ulps per butterfly stage.
void checkScaledBack(const float *original, const float *back, unsigned long count, float scale,
                     unsigned long points)
{
    const float tolerance = 1e-6f * static_cast<float>(std::log2(points) + 1) * scale;
    for (unsigned long i = 1; i <= count; i++)
        check(std::fabs(back[i] - scale * original[i]) <= tolerance * 4.0f);
}

void fourier(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {
        const unsigned long nn = 1ul << in.ConsumeIntegralInRange(0, 11);
        std::vector<float> data = values(in, 2 * nn, false);
        const std::vector<float> original = data;
        const int isign = in.ConsumeBool() ? 1 : -1;
        four1(data.data(), nn, isign);
        four1(data.data(), nn, -isign);
        checkScaledBack(original.data(), data.data(), 2 * nn, static_cast<float>(nn), nn);
        break;
    }
    case 1: {
        const unsigned long n = 2ul << in.ConsumeIntegralInRange(0, 11);
        std::vector<float> data = values(in, n, false);
        const std::vector<float> original = data;
        realft(data.data(), n, 1);
        realft(data.data(), n, -1);
        checkScaledBack(original.data(), data.data(), n, static_cast<float>(n / 2), n);
        break;
    }
    case 2: {
        const int ndim = in.ConsumeIntegralInRange(1, 3);
        unsigned long nn[4] = {0, 1, 1, 1};
        unsigned long total = 1;
        for (int d = 1; d <= ndim; d++) {
            nn[d] = 1ul << in.ConsumeIntegralInRange(0, 4);
            total *= nn[d];
        }
        std::vector<float> data = values(in, 2 * total, false);
        const std::vector<float> original = data;
        fourn(data.data(), nn, ndim, 1);
        fourn(data.data(), nn, ndim, -1);
        checkScaledBack(original.data(), data.data(), 2 * total, static_cast<float>(total), total);
        break;
    }
    default: {
        const unsigned long nn1 = 1ul << in.ConsumeIntegralInRange(0, 3);
        const unsigned long nn2 = 1ul << in.ConsumeIntegralInRange(0, 3);
        const unsigned long nn3 = 2ul << in.ConsumeIntegralInRange(0, 3);
        float ***data = f3tensor(1, nn1, 1, nn2, 1, nn3);
        float **speq = matrix(1, nn1, 1, 2 * nn2);
        const unsigned long total = nn1 * nn2 * nn3;
        std::vector<float> original(total + 1);
        for (unsigned long i = 1; i <= total; i++)
            original[i] = (&data[1][1][1])[i - 1] = smallValue(in);
        rlft3(data, speq, nn1, nn2, nn3, 1);
        rlft3(data, speq, nn1, nn2, nn3, -1);
        checkScaledBack(original.data(), &data[1][1][1] - 1, total, static_cast<float>(total / 2),
                        total);
        free_matrix(speq, 1, nn1, 1, 2 * nn2);
        free_f3tensor(data, 1, nn1, 1, nn2, 1, nn3);
        break;
    }
    }
}

// A strictly diagonally dominant matrix a[1..n][1..n]: far from singular.
float **wellConditioned(FuzzedDataProvider &in, int n)
{
    float **a = matrix(1, n, 1, n);
    for (int i = 1; i <= n; i++)
        for (int j = 1; j <= n; j++)
            a[i][j] = smallValue(in);
    for (int i = 1; i <= n; i++)
        a[i][i] += a[i][i] < 0.0f ? -static_cast<float>(n) : static_cast<float>(n);
    return a;
}

// |sum_k x[i][k] y[k][j] - expected[i][j]| <= tolerance for 1-based n x n matrices.
void checkProduct(float **x, float **y, int n, float **expected, float tolerance)
{
    for (int i = 1; i <= n; i++)
        for (int j = 1; j <= n; j++) {
            double sum = 0.0;
            for (int k = 1; k <= n; k++)
                sum += static_cast<double>(x[i][k]) * y[k][j];
            const double want = expected != nullptr ? expected[i][j] : (i == j ? 1.0 : 0.0);
            check(std::fabs(sum - want) <= tolerance);
        }
}

void gaussJordan(FuzzedDataProvider &in)
{
    const int n = in.ConsumeIntegralInRange(1, 16);
    const int m = in.ConsumeIntegralInRange(0, 3);
    float **a = wellConditioned(in, n);
    float **copy = matrix(1, n, 1, n);
    copy_matrix(a, copy, n, n, 1);
    float **b = matrix(1, n, 1, m > 0 ? m : 1);
    for (int i = 1; i <= n; i++)
        for (int j = 1; j <= m; j++)
            b[i][j] = smallValue(in);
    gaussj(a, n, b, m);
    checkProduct(copy, a, n, nullptr, 1e-4f);
    if (in.ConsumeBool()) {
        float **inverse = matrix(0, n - 1, 0, n - 1);
        float **zero_based = matrix(0, n - 1, 0, n - 1);
        copy_matrix(copy, zero_based, n, n, 3);
        check(getInverseMatrixUsingSVD(zero_based, inverse, n));
        float **one_based = matrix(1, n, 1, n);
        copy_matrix(inverse, one_based, n, n, 2);
        checkProduct(copy, one_based, n, nullptr, 1e-3f);
        free_matrix(one_based, 1, n, 1, n);
        free_matrix(zero_based, 0, n - 1, 0, n - 1);
        free_matrix(inverse, 0, n - 1, 0, n - 1);
    }
    free_matrix(b, 1, n, 1, m > 0 ? m : 1);
    free_matrix(copy, 1, n, 1, n);
    free_matrix(a, 1, n, 1, n);
}

void singularValues(FuzzedDataProvider &in)
{
    const int m = in.ConsumeIntegralInRange(1, 16);
    const int n = in.ConsumeIntegralInRange(1, 16);
    float **a = matrix(1, m, 1, n);
    float **original = matrix(1, m, 1, n);
    // Full rank and well conditioned: in single precision a rank-deficient
    // matrix can leave subnormal residues whose Householder steps divide 0 by
    // 0, which is the method's and not checked here.
    for (int i = 1; i <= m; i++)
        for (int j = 1; j <= n; j++)
            original[i][j] = a[i][j] = smallValue(in) + (i == j ? std::max(m, n) : 0);
    float *w = vector(1, n);
    float **v = matrix(1, n, 1, n);
    svdcmp(a, m, n, w, v);
    if (!NoConvergenceInSVD) {
        for (int i = 1; i <= m; i++)
            for (int j = 1; j <= n; j++) {
                double sum = 0.0;
                for (int k = 1; k <= n; k++)
                    sum += static_cast<double>(a[i][k]) * w[k] * v[j][k];
                check(std::fabs(sum - original[i][j]) <= 1e-4 * (1 + std::max(m, n)));
            }
    }
    free_matrix(v, 1, n, 1, n);
    free_vector(w, 1, n);
    free_matrix(original, 1, m, 1, n);
    free_matrix(a, 1, m, 1, n);
}

void eigen(FuzzedDataProvider &in)
{
    const int n = in.ConsumeIntegralInRange(1, 12);
    float **a = matrix(1, n, 1, n);
    float **original = matrix(1, n, 1, n);
    for (int i = 1; i <= n; i++)
        for (int j = i; j <= n; j++)
            original[i][j] = original[j][i] = a[i][j] = a[j][i] = smallValue(in);
    float *d = vector(1, n);
    float **v = matrix(1, n, 1, n);
    int nrot = 0;
    jacobi(a, n, d, v, &nrot);
    eigsrt(d, v, n);
    for (int k = 1; k <= n; k++) {
        if (k > 1)
            check(d[k - 1] >= d[k]);
        for (int i = 1; i <= n; i++) {
            double av = 0.0;
            for (int j = 1; j <= n; j++)
                av += static_cast<double>(original[i][j]) * v[j][k];
            check(std::fabs(av - static_cast<double>(d[k]) * v[i][k]) <= 1e-4 * n);
        }
    }
    free_matrix(v, 1, n, 1, n);
    free_vector(d, 1, n);
    free_matrix(original, 1, n, 1, n);
    free_matrix(a, 1, n, 1, n);
}

bool probability(float p)
{
    return std::isnan(p) || (p >= 0.0f && p <= 1.0f);
}

void statistics(FuzzedDataProvider &in)
{
    const unsigned long n1 = in.ConsumeIntegralInRange<unsigned long>(2, 100);
    const unsigned long n2 = in.ConsumeIntegralInRange<unsigned long>(2, 100);
    std::vector<float> x = values(in, n1, false), y = values(in, n2, false);
    std::vector<float> y1 = values(in, n1, false);
    float t = 0, prob = 0, d = 0, r = 0, z = 0, zd = 0, probd = 0, rs = 0, probrs = 0, ave = 0,
          var = 0;
    switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0:
        ttest(x.data(), n1, y.data(), n2, &t, &prob);
        tutest(x.data(), n1, y.data(), n2, &t, &prob);
        check(probability(prob));
        break;
    case 1:
        kstwo(x.data(), n1, y.data(), n2, &d, &prob);
        check(std::isnan(d) || (d >= 0.0f && d <= 1.0f));
        break;
    case 2:
        pearsn(x.data(), y1.data(), n1, &r, &prob, &z);
        check(probability(prob));
        pearsn_prob(x.data(), y1.data(), n1, &r, &prob, &z);
        break;
    case 3:
        spear(x.data(), y1.data(), n1, &d, &zd, &probd, &rs, &probrs);
        check(probability(probd) && probability(probrs));
        break;
    default:
        avevar(x.data(), n1, &ave, &var);
        check(std::isnan(var) || var >= 0.0f);
        break;
    }
}

void specialFunctions(FuzzedDataProvider &in)
{
    const float a = in.ConsumeFloatingPointInRange(0.01f, 20.0f);
    const float b = in.ConsumeFloatingPointInRange(0.01f, 20.0f);
    const float x = in.ConsumeFloatingPointInRange(0.0f, 50.0f);
    const float u = in.ConsumeFloatingPointInRange(0.0f, 1.0f);
    const unsigned long df = in.ConsumeIntegralInRange<unsigned long>(1, 100);
    const unsigned long df2 = in.ConsumeIntegralInRange<unsigned long>(1, 100);
    check(std::isfinite(gammln(static_cast<double>(a) + x)));
    check(probability(gammq(a, x)));
    check(probability(betai(a, b, u)));
    const float any = finiteValue(in);
    check(erfcc(any) >= 0.0f && erfcc(any) <= 2.0f);
    check(probability(probks(any)));
    const float p = in.ConsumeFloatingPointInRange(0.001f, 0.999f);
    check(probability(t_to_p(any, df)) && probability(r_to_p(u, df + 2)));
    check(probability(F_to_p(x, df, df2)));
    p_to_t(p, df);
    p_to_r(p, df + 2);
    p_to_F(p, df, df2);
    p_to_z(p);
}

void fitting(FuzzedDataProvider &in)
{
    const int ndata = in.ConsumeIntegralInRange(3, 60);
    std::vector<float> x = values(in, ndata, false), y = values(in, ndata, false);
    std::vector<float> sig(ndata + 1, 1.0f);
    float a = 0, b = 0, siga = 0, sigb = 0, chi2 = 0, q = 0;
    fit(x.data(), y.data(), ndata, sig.data(), 0, &a, &b, &siga, &sigb, &chi2, &q);
    check(probability(q));

    const int ma = in.ConsumeIntegralInRange(1, 5);
    std::vector<float> coefficients(ma + 1), w(ma + 1);
    float **u = matrix(1, ndata, 1, ma);
    float **v = matrix(1, ma, 1, ma);
    float **cvm = matrix(1, ma, 1, ma);
    float chisq = 0;
    svdfit(x.data(), y.data(), sig.data(), ndata, coefficients.data(), ma, u, v, w.data(), &chisq,
           fpoly);
    svdvar(v, ma, w.data(), cvm);
    for (int i = 1; i <= ma; i++)
        for (int j = 1; j <= ma; j++)
            check(cvm[i][j] == cvm[j][i] || std::isnan(cvm[i][j]));
    free_matrix(cvm, 1, ma, 1, ma);
    free_matrix(v, 1, ma, 1, ma);
    free_matrix(u, 1, ndata, 1, ma);

    float n = 0, ax = 0, ay = 0, sxx = 0, syy = 0, sxy = 0, r = 0, ra = 0, rb = 0, ym = 0;
    for (int i = 1; i <= ndata; i++)
        pearsn_inc(x[i], y[i], n, ax, ay, sxx, syy, sxy, &r);
    n = ax = ay = sxx = syy = sxy = 0;
    for (int i = 1; i <= ndata; i++)
        regr_inc(x[i], y[i], n, ax, ay, sxx, syy, sxy, &ra, &rb, &ym);
}

void deviates(FuzzedDataProvider &in)
{
    long idum = in.ConsumeIntegral<long>();
    const int count = in.ConsumeIntegralInRange(1, 200);
    for (int i = 0; i < count; i++) {
        const float u = ran1(&idum);
        check(u > 0.0f && u < 1.0f);
        check(std::isfinite(gasdev(&idum)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FuzzedDataProvider in(data + 1, size - 1);
    switch (data[0] % 9) {
    case 0:
        sorting(in);
        break;
    case 1:
        selection(in);
        break;
    case 2:
        fourier(in);
        break;
    case 3:
        gaussJordan(in);
        break;
    case 4:
        singularValues(in);
        break;
    case 5:
        eigen(in);
        break;
    case 6:
        statistics(in);
        break;
    case 7:
        specialFunctions(in);
        break;
    default:
        fitting(in);
        deviates(in);
        break;
    }
    return 0;
}
