// Linear algebra against LAPACK in the same run: gaussj against sgetrf +
// sgetri (it inverts, so LU plus inverse is the fair match), jacobi against
// ssyev, svdcmp against sgesvd, matrix_matrix_mult against sgemm. The anchors
// are reference LAPACK ("lapack", linked) and, when it is installed, OpenBLAS
// on one thread ("openblas", loaded with its own symbols first so that its
// LAPACK calls its own BLAS). Each benchmark first checks that its result
// agrees with the reference.

#include "stat.h"
#include "lapack_prototypes.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace {

// One LAPACK implementation.
struct Lapack {
    const char *impl;
    decltype(&sgetrf_) getrf;
    decltype(&sgetri_) getri;
    decltype(&ssyev_) syev;
    decltype(&sgesvd_) gesvd;
    decltype(&sgemm_) gemm;
};

const Lapack kReference{"lapack", sgetrf_, sgetri_, ssyev_, sgesvd_, sgemm_};

// OpenBLAS from Debian's libopenblas0-pthread, or null when it is not there.
const Lapack *openblas()
{
    static const Lapack *loaded = []() -> const Lapack * {
        setenv("OPENBLAS_NUM_THREADS", "1", 1);
        void *lib = nullptr;
        for (const char *name :
             {"libopenblas.so.0", "/usr/lib/x86_64-linux-gnu/openblas-pthread/libopenblas.so.0"})
            if ((lib = dlopen(name, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND)) != nullptr)
                break;
        if (lib == nullptr)
            return nullptr;
        if (auto threads = reinterpret_cast<void (*)(int)>(dlsym(lib, "openblas_set_num_threads")))
            threads(1);
        static Lapack ob{"openblas",
                         reinterpret_cast<decltype(&sgetrf_)>(dlsym(lib, "sgetrf_")),
                         reinterpret_cast<decltype(&sgetri_)>(dlsym(lib, "sgetri_")),
                         reinterpret_cast<decltype(&ssyev_)>(dlsym(lib, "ssyev_")),
                         reinterpret_cast<decltype(&sgesvd_)>(dlsym(lib, "sgesvd_")),
                         reinterpret_cast<decltype(&sgemm_)>(dlsym(lib, "sgemm_"))};
        if (!ob.getrf || !ob.getri || !ob.syev || !ob.gesvd || !ob.gemm)
            return nullptr;
        return &ob;
    }();
    return loaded;
}

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

void load(float **a, const std::vector<float> &m, int n, int base = 1)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
            a[i + base][j + base] = m[static_cast<std::size_t>(i * n + j)];
}

// Largest difference relative to the largest magnitude of the reference,
// after sorting both (for eigen- and singular values in any order).
double relative_difference(std::vector<float> got, std::vector<float> ref, bool sorted = true)
{
    if (got.size() != ref.size() || ref.empty())
        return 1.0;
    if (sorted) {
        std::sort(got.begin(), got.end());
        std::sort(ref.begin(), ref.end());
    }
    double scale = 0.0, diff = 0.0;
    for (std::size_t k = 0; k < ref.size(); k++) {
        scale = std::max(scale, std::fabs(static_cast<double>(ref[k])));
        diff = std::max(diff, std::fabs(static_cast<double>(got[k]) - ref[k]));
    }
    return diff / scale;
}

// ---- gaussj against sgetrf + sgetri ----

struct Inverse {
    const Lapack &lp;
    int n, lwork = -1, info = 0;
    std::vector<float> a;
    std::vector<int> ipiv;
    std::vector<float> work;
    Inverse(const Lapack &lapack, int n_)
        : lp(lapack)
        , n(n_)
        , ipiv(static_cast<std::size_t>(n_))
    {
        float query = 0.0f;
        a.assign(static_cast<std::size_t>(n * n), 0.0f);
        lp.getri(&n, a.data(), &n, ipiv.data(), &query, &lwork, &info);
        lwork = std::max(1, static_cast<int>(query));
        work.resize(static_cast<std::size_t>(lwork));
    }
    // The row-major data read column-major is A^T, whose inverse read back
    // row-major is A^-1.
    void run(const std::vector<float> &m)
    {
        a = m;
        lp.getrf(&n, &n, a.data(), &n, ipiv.data(), &info);
        if (info == 0)
            lp.getri(&n, a.data(), &n, ipiv.data(), work.data(), &lwork, &info);
    }
};

void BM_gaussj_ours(benchmark::State &state)
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
    run();
    Inverse ref(kReference, n);
    ref.run(m);
    std::vector<float> got(static_cast<std::size_t>(n * n));
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
            got[static_cast<std::size_t>(i * n + j)] = a[i + 1][j + 1];
    if (ref.info != 0 || relative_difference(got, ref.a, false) > 1e-3)
        state.SkipWithError("gaussj disagrees with sgetri");
    for (auto _ : state) {
        run();
        benchmark::DoNotOptimize(b[1][1]);
    }
    free_matrix(b, 1, n, 1, 1);
    free_matrix(a, 1, n, 1, n);
}

void BM_gaussj_anchor(benchmark::State &state, const Lapack *lp)
{
    int n = static_cast<int>(state.range(0));
    std::vector<float> m = random_square(n, false);
    Inverse inv(*lp, n), ref(kReference, n);
    inv.run(m);
    ref.run(m);
    if (inv.info != 0 || relative_difference(inv.a, ref.a, false) > 1e-3)
        state.SkipWithError("sgetrf + sgetri disagrees with the reference");
    for (auto _ : state) {
        inv.run(m);
        benchmark::DoNotOptimize(inv.a.data());
    }
}

// ---- jacobi against ssyev (eigenvalues and eigenvectors) ----

struct Eigen {
    const Lapack &lp;
    int n, lwork = -1, info = 0;
    std::vector<float> a, w, work;
    Eigen(const Lapack &lapack, int n_)
        : lp(lapack)
        , n(n_)
        , w(static_cast<std::size_t>(n_))
    {
        float query = 0.0f;
        a.assign(static_cast<std::size_t>(n * n), 0.0f);
        lp.syev("V", "U", &n, a.data(), &n, w.data(), &query, &lwork, &info, 1, 1);
        lwork = static_cast<int>(query);
        work.resize(static_cast<std::size_t>(lwork));
    }
    void run(const std::vector<float> &m)
    {
        a = m;
        lp.syev("V", "U", &n, a.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
    }
};

void BM_jacobi_ours(benchmark::State &state)
{
    int n = static_cast<int>(state.range(0)), nrot = 0;
    std::vector<float> m = random_square(n, true);
    float **a = matrix(1, n, 1, n), **v = matrix(1, n, 1, n);
    float *d = vector(1, n);
    load(a, m, n);
    jacobi(a, n, d, v, &nrot);
    Eigen ref(kReference, n);
    ref.run(m);
    if (ref.info != 0 || relative_difference(std::vector<float>(d + 1, d + 1 + n), ref.w) > 1e-4)
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

void BM_jacobi_anchor(benchmark::State &state, const Lapack *lp)
{
    int n = static_cast<int>(state.range(0));
    std::vector<float> m = random_square(n, true);
    Eigen eig(*lp, n), ref(kReference, n);
    eig.run(m);
    ref.run(m);
    if (eig.info != 0 || relative_difference(eig.w, ref.w) > 1e-4)
        state.SkipWithError("ssyev disagrees with the reference");
    for (auto _ : state) {
        eig.run(m);
        benchmark::DoNotOptimize(eig.w.data());
    }
}

// ---- svdcmp against sgesvd (U over A, all of V^T) ----

struct Svd {
    const Lapack &lp;
    int n, lwork = -1, info = 0;
    std::vector<float> a, s, vt, work;
    float unused = 0.0f;  // U is written over a ("O"), this is never referenced
    Svd(const Lapack &lapack, int n_)
        : lp(lapack)
        , n(n_)
        , s(static_cast<std::size_t>(n_))
        , vt(static_cast<std::size_t>(n_ * n_))
    {
        float query = 0.0f;
        std::vector<float> tmp(static_cast<std::size_t>(n * n));
        lp.gesvd("O", "A", &n, &n, tmp.data(), &n, s.data(), &unused, &n, vt.data(), &n, &query,
                 &lwork, &info, 1, 1);
        lwork = static_cast<int>(query);
        work.resize(static_cast<std::size_t>(lwork));
    }
    void run(const std::vector<float> &m)
    {
        a = m;
        lp.gesvd("O", "A", &n, &n, a.data(), &n, s.data(), &unused, &n, vt.data(), &n, work.data(),
                 &lwork, &info, 1, 1);
    }
};

void BM_svdcmp_ours(benchmark::State &state)
{
    int n = static_cast<int>(state.range(0));
    std::vector<float> m = random_square(n, false);
    float **a = matrix(1, n, 1, n), **v = matrix(1, n, 1, n);
    float *w = vector(1, n);
    load(a, m, n);
    svdcmp(a, n, n, w, v);
    Svd ref(kReference, n);
    ref.run(m);
    if (ref.info != 0 || NoConvergenceInSVD ||
        relative_difference(std::vector<float>(w + 1, w + 1 + n), ref.s) > 1e-4)
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

void BM_svdcmp_anchor(benchmark::State &state, const Lapack *lp)
{
    int n = static_cast<int>(state.range(0));
    std::vector<float> m = random_square(n, false);
    Svd svd(*lp, n), ref(kReference, n);
    svd.run(m);
    ref.run(m);
    if (svd.info != 0 || relative_difference(svd.s, ref.s) > 1e-4)
        state.SkipWithError("sgesvd disagrees with the reference");
    for (auto _ : state) {
        svd.run(m);
        benchmark::DoNotOptimize(svd.s.data());
    }
}

// ---- matrix_matrix_mult against sgemm ----

// c = a * b for row-major a, b: column-major, that is c^T = b^T * a^T.
void gemm(const Lapack &lp, const std::vector<float> &a, const std::vector<float> &b,
          std::vector<float> &c, int n)
{
    const float one = 1.0f, zero = 0.0f;
    lp.gemm("N", "N", &n, &n, &n, &one, b.data(), &n, a.data(), &n, &zero, c.data(), &n, 1, 1);
}

void BM_matmul_ours(benchmark::State &state)
{
    int n = static_cast<int>(state.range(0));
    std::vector<float> ma = random_square(n, false), mb = random_square(n + 1, false);
    mb.resize(static_cast<std::size_t>(n * n));
    float **a = matrix(0, n - 1, 0, n - 1), **b = matrix(0, n - 1, 0, n - 1),
          **c = matrix(0, n - 1, 0, n - 1);
    load(a, ma, n, 0);
    load(b, mb, n, 0);
    matrix_matrix_mult(a, b, c, n, n, n);
    std::vector<float> got(static_cast<std::size_t>(n * n)), ref(got.size());
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
            got[static_cast<std::size_t>(i * n + j)] = c[i][j];
    gemm(kReference, ma, mb, ref, n);
    if (relative_difference(got, ref, false) > 1e-4)
        state.SkipWithError("matrix_matrix_mult disagrees with sgemm");
    for (auto _ : state) {
        matrix_matrix_mult(a, b, c, n, n, n);
        benchmark::DoNotOptimize(c[0][0]);
    }
    free_matrix(c, 0, n - 1, 0, n - 1);
    free_matrix(b, 0, n - 1, 0, n - 1);
    free_matrix(a, 0, n - 1, 0, n - 1);
}

void BM_matmul_anchor(benchmark::State &state, const Lapack *lp)
{
    int n = static_cast<int>(state.range(0));
    std::vector<float> ma = random_square(n, false), mb = random_square(n + 1, false);
    mb.resize(static_cast<std::size_t>(n * n));
    std::vector<float> c(static_cast<std::size_t>(n * n));
    for (auto _ : state) {
        gemm(*lp, ma, mb, c, n);
        benchmark::DoNotOptimize(c.data());
    }
}

// One routine against every anchor there is, at the given sizes.
template <typename Anchor>
void register_routine(const std::string &routine, void (*ours)(benchmark::State &), Anchor anchor,
                      std::initializer_list<int> sizes)
{
    std::vector<const Lapack *> anchors{&kReference};
    if (const Lapack *ob = openblas())
        anchors.push_back(ob);
    auto *b = benchmark::RegisterBenchmark((routine + "/ours").c_str(), ours);
    for (int n : sizes)
        b->Arg(n);
    for (const Lapack *lp : anchors) {
        auto *a = benchmark::RegisterBenchmark((routine + "/" + lp->impl).c_str(), anchor, lp);
        for (int n : sizes)
            a->Arg(n);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    register_routine("gaussj", BM_gaussj_ours, BM_gaussj_anchor, {32, 128, 512});
    register_routine("jacobi", BM_jacobi_ours, BM_jacobi_anchor, {8, 64, 128});
    register_routine("svdcmp", BM_svdcmp_ours, BM_svdcmp_anchor, {8, 32, 64, 128, 256});
    register_routine("matrix_matrix_mult", BM_matmul_ours, BM_matmul_anchor, {64, 256});
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (openblas() == nullptr)
        std::fprintf(stderr, "OpenBLAS (libopenblas.so.0) not found: its anchors are skipped\n");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
