// Linear algebra against reference LAPACK in the same run: svdcmp vs sgesvd,
// gaussj vs sgesv (inverse plus one right-hand side), jacobi vs ssyev. Each
// benchmark first checks that its result agrees with the anchor's.

#include "stat.h"
#include "support/lapack.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

namespace {

// A random n x n matrix (symmetric if asked), row-major; being square, its
// column-major copy for LAPACK is the transpose, which has the same singular
// values and, when symmetric, is the matrix itself.
std::vector<float> random_square(int n, bool symmetric)
{
    std::mt19937 rng(static_cast<unsigned>(n) * 7919u);
    std::uniform_real_distribution<float> dist(-2.385f, 2.385f);
    std::vector<float> m(static_cast<std::size_t>(n * n));
    for (float &x : m)
        x = dist(rng);
    if (symmetric)
        for (int i = 0; i < n; i++)
            for (int j = 0; j < i; j++)
                m[static_cast<std::size_t>(i * n + j)] = m[static_cast<std::size_t>(j * n + i)];
    return m;
}

void load(float **a, const std::vector<float> &m, int n)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
            a[i + 1][j + 1] = m[static_cast<std::size_t>(i * n + j)];
}

// Largest difference relative to the largest magnitude of the reference.
double relative_difference(std::vector<float> got, std::vector<float> ref)
{
    std::sort(got.begin(), got.end());
    std::sort(ref.begin(), ref.end());
    double scale = 0.0, diff = 0.0;
    for (std::size_t k = 0; k < ref.size(); k++) {
        scale = std::max(scale, std::fabs(static_cast<double>(ref[k])));
        diff = std::max(diff, std::fabs(static_cast<double>(got[k]) - ref[k]));
    }
    return diff / scale;
}

struct Sgesvd {
    int n, lwork = -1, info = 0;
    std::vector<float> a, s, vt, work;
    float unused = 0.0f;  // U is written over a ("O"), this is never referenced
    explicit Sgesvd(int n_)
        : n(n_)
        , s(static_cast<std::size_t>(n_))
        , vt(static_cast<std::size_t>(n_ * n_))
    {
        float query = 0.0f;
        std::vector<float> tmp(static_cast<std::size_t>(n * n));
        sgesvd_("O", "A", &n, &n, tmp.data(), &n, s.data(), &unused, &n, vt.data(), &n, &query,
                &lwork, &info, 1, 1);
        lwork = static_cast<int>(query);
        work.resize(static_cast<std::size_t>(lwork));
    }
    void run(const std::vector<float> &m)
    {
        a = m;
        sgesvd_("O", "A", &n, &n, a.data(), &n, s.data(), &unused, &n, vt.data(), &n, work.data(),
                &lwork, &info, 1, 1);
    }
};

std::vector<float> svdcmp_values(const std::vector<float> &m, int n, float **a, float **v, float *w)
{
    load(a, m, n);
    svdcmp(a, n, n, w, v);
    return std::vector<float>(w + 1, w + 1 + n);
}

void BM_svdcmp(benchmark::State &state)
{
    int n = static_cast<int>(state.range(0));
    std::vector<float> m = random_square(n, false);
    float **a = matrix(1, n, 1, n), **v = matrix(1, n, 1, n);
    float *w = vector(1, n);
    Sgesvd ref(n);
    ref.run(m);
    if (relative_difference(svdcmp_values(m, n, a, v, w), ref.s) > 1e-4 || NoConvergenceInSVD)
        state.SkipWithError("svdcmp disagrees with sgesvd");
    for (auto _ : state) {
        load(a, m, n);
        svdcmp(a, n, n, w, v);
        benchmark::DoNotOptimize(w[1]);
    }
    free_vector(w, 1, n);
    free_matrix(v, 1, n, 1, n);
    free_matrix(a, 1, n, 1, n);
}

void BM_sgesvd(benchmark::State &state)
{
    int n = static_cast<int>(state.range(0));
    std::vector<float> m = random_square(n, false);
    Sgesvd ref(n);
    for (auto _ : state) {
        ref.run(m);
        benchmark::DoNotOptimize(ref.s.data());
    }
    if (ref.info != 0)
        state.SkipWithError("sgesvd failed");
}

// A = random, B = [I | b]: gaussj yields the inverse and one solution, so
// sgesv is given the same n + 1 right-hand sides.
void BM_gaussj(benchmark::State &state)
{
    int n = static_cast<int>(state.range(0));
    std::vector<float> m = random_square(n, false);
    float **a = matrix(1, n, 1, n), **b = matrix(1, n, 1, 1);
    auto run = [&] {
        load(a, m, n);
        for (int i = 1; i <= n; i++)
            b[i][1] = static_cast<float>(i) * 0.5f;
        gaussj(a, n, b, 1);
    };
    // Check: gaussj's inverse against sgesv's with B = I. LAPACK reads the
    // row-major data as A^T and returns (A^T)^-1 column-major, which is A^-1
    // row-major.
    {
        run();
        std::vector<float> at = m, inv(static_cast<std::size_t>(n * n), 0.0f);
        std::vector<int> ipiv(static_cast<std::size_t>(n));
        for (int i = 0; i < n; i++)
            inv[static_cast<std::size_t>(i * n + i)] = 1.0f;
        int info = 0;
        sgesv_(&n, &n, at.data(), &n, ipiv.data(), inv.data(), &n, &info);
        double scale = 0.0, diff = 0.0;
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) {
                double r = inv[static_cast<std::size_t>(i * n + j)];
                scale = std::max(scale, std::fabs(r));
                diff = std::max(diff, std::fabs(a[i + 1][j + 1] - r));
            }
        if (info != 0 || diff > 1e-3 * scale)
            state.SkipWithError("gaussj disagrees with sgesv");
    }
    for (auto _ : state) {
        run();
        benchmark::DoNotOptimize(b[1][1]);
    }
    free_matrix(b, 1, n, 1, 1);
    free_matrix(a, 1, n, 1, n);
}

void BM_sgesv(benchmark::State &state)
{
    int n = static_cast<int>(state.range(0)), nrhs = n + 1, info = 0;
    std::vector<float> m = random_square(n, false);
    std::vector<float> a, rhs(static_cast<std::size_t>(n * nrhs));
    std::vector<int> ipiv(static_cast<std::size_t>(n));
    for (auto _ : state) {
        a = m;
        std::fill(rhs.begin(), rhs.end(), 0.0f);
        for (int i = 0; i < n; i++) {
            rhs[static_cast<std::size_t>(i * n + i)] = 1.0f;
            rhs[static_cast<std::size_t>(n * n + i)] = static_cast<float>(i + 1) * 0.5f;
        }
        sgesv_(&n, &nrhs, a.data(), &n, ipiv.data(), rhs.data(), &n, &info);
        benchmark::DoNotOptimize(rhs.data());
    }
    if (info != 0)
        state.SkipWithError("sgesv failed");
}

std::vector<float> ssyev_values(const std::vector<float> &m, int n, std::vector<float> &a,
                                std::vector<float> &work)
{
    std::vector<float> w(static_cast<std::size_t>(n));
    int lwork = static_cast<int>(work.size()), info = 0;
    a = m;
    ssyev_("V", "U", &n, a.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
    return info == 0 ? w : std::vector<float>();
}

std::vector<float> ssyev_workspace(int n)
{
    std::vector<float> a(static_cast<std::size_t>(n * n)), w(static_cast<std::size_t>(n));
    int lwork = -1, info = 0;
    float query = 0.0f;
    ssyev_("V", "U", &n, a.data(), &n, w.data(), &query, &lwork, &info, 1, 1);
    return std::vector<float>(static_cast<std::size_t>(query));
}

void BM_jacobi(benchmark::State &state)
{
    int n = static_cast<int>(state.range(0)), nrot = 0;
    std::vector<float> m = random_square(n, true);
    float **a = matrix(1, n, 1, n), **v = matrix(1, n, 1, n);
    float *d = vector(1, n);
    std::vector<float> la, work = ssyev_workspace(n);
    load(a, m, n);
    jacobi(a, n, d, v, &nrot);
    std::vector<float> ref = ssyev_values(m, n, la, work);
    if (ref.empty() || relative_difference(std::vector<float>(d + 1, d + 1 + n), ref) > 1e-4)
        state.SkipWithError("jacobi disagrees with ssyev");
    for (auto _ : state) {
        load(a, m, n);
        jacobi(a, n, d, v, &nrot);
        benchmark::DoNotOptimize(d[1]);
    }
    free_vector(d, 1, n);
    free_matrix(v, 1, n, 1, n);
    free_matrix(a, 1, n, 1, n);
}

void BM_ssyev(benchmark::State &state)
{
    int n = static_cast<int>(state.range(0));
    std::vector<float> m = random_square(n, true), a, work = ssyev_workspace(n);
    for (auto _ : state) {
        std::vector<float> w = ssyev_values(m, n, a, work);
        benchmark::DoNotOptimize(w.data());
    }
}

}  // namespace

BENCHMARK(BM_svdcmp)->Arg(8)->Arg(32)->Arg(128);
BENCHMARK(BM_sgesvd)->Arg(8)->Arg(32)->Arg(128);
BENCHMARK(BM_gaussj)->Arg(8)->Arg(32)->Arg(128);
BENCHMARK(BM_sgesv)->Arg(8)->Arg(32)->Arg(128);
BENCHMARK(BM_jacobi)->Arg(8)->Arg(32)->Arg(128);
BENCHMARK(BM_ssyev)->Arg(8)->Arg(32)->Arg(128);

BENCHMARK_MAIN();
