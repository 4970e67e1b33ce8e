// Recoverable errors: every fatal message of the numerics thrown and caught in throw mode
// (ThrowMode, run under LeakSanitizer in the sanitizer build, so scratch storage left behind
// by a throw fails the program), the per-thread mode and the process-wide handler
// (ErrorMode), and the default mode with a handler (ErrorModeDeathTest).
#include <gtest/gtest.h>

#include <csetjmp>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "detail_sort.h"
#include "errors.h"
#include "stat.h"
#include "support/fatal.h"

namespace {

using tessivane::error_mode;
using tessivane::numerics_error;
using tessivane::scoped_error_mode;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const long kHuge = 1L << 60;

// Small owned arrays for the calls below; released by the test, never by the routine.
struct Square {
    int n;
    float **a;
    explicit Square(int size, float fill)
        : n(size)
        , a(matrix(1, size, 1, size))
    {
        for (int i = 1; i <= n; i++)
            for (int j = 1; j <= n; j++)
                a[i][j] = fill;
    }
    ~Square() { free_matrix(a, 1, n, 1, n); }
};

void singular_gaussj()
{
    Square a(3, 0.0f), b(3, 2.385f);
    gaussj(a.a, 3, b.a, 3);
}

void nan_gaussj()
{
    Square a(3, kNaN), b(3, 2.385f);
    gaussj(a.a, 3, b.a, 3);
}

void nan_jacobi()
{
    Square a(3, kNaN), v(3, 0.0f);
    float d[4];
    int nrot;
    jacobi(a.a, 3, d, v.a, &nrot);
}

// One Gaussian of height 2.385 sampled at 11 points, fitted from a start of height 0: the
// derivatives by centre and width vanish, so the first curvature matrix is singular.
struct GaussianData {
    float x[12], y[12], sig[12];
    GaussianData()
    {
        float p[4] = {0.0f, 2.385f, 0.5f, 1.25f}, dyda[4];
        for (int i = 1; i <= 11; i++) {
            x[i] = -2.0f + 0.5f * static_cast<float>(i - 1);
            fgauss(x[i], p, &y[i], dyda, 3);
            sig[i] = 0.1f;
        }
    }
};

// Makes the given mrqmin calls (the first with alamda, then iterations, then the finishing
// call) on one set of arrays.
void lm_calls(float start_height, float alamda, int calls = 1)
{
    GaussianData d;
    float a[4] = {0.0f, start_height, 0.4f, 1.0f};
    int ia[4] = {0, 1, 1, 1};
    Square covar(3, 0.0f), alpha(3, 0.0f);
    float chisq;
    for (int k = 0; k < calls; k++) {
        if (k == calls - 1 && k > 0)
            alamda = 0.0f;
        mrqmin(d.x, d.y, d.sig, 11, a, ia, 3, covar.a, alpha.a, &chisq, fgauss, &alamda);
    }
}

void lm_call(float start_height, float alamda)
{
    lm_calls(start_height, alamda);
}

void sort_overflow()
{
    std::vector<float> v(1 + 4096);
    for (size_t i = 0; i < v.size(); i++)
        v[i] = static_cast<float>((i * 2654435761u) % 4096);
    tessivane::detail::quicksort<false>(4096, v.data(), nullptr, 2, "NSTACK too small in sort.");
}

void rlft3_on(unsigned long n1, unsigned long n2, unsigned long n3, long rows, long cols)
{
    float ***t = f3tensor(1, rows, 1, cols, 1, static_cast<long>(n3));
    float **speq = matrix(1, static_cast<long>(n1), 1, static_cast<long>(2 * n2));
    struct Release {
        float ***t;
        float **speq;
        long rows, cols, n3, n1, n2;
        ~Release()
        {
            free_matrix(speq, 1, n1, 1, 2 * n2);
            free_f3tensor(t, 1, rows, 1, cols, 1, n3);
        }
    } release{
        t, speq, rows, cols, static_cast<long>(n3), static_cast<long>(n1), static_cast<long>(n2)};
    rlft3(t, speq, n1, n2, n3, 1);
}

// A basis callback that fails inside svdfit, after svdfit has allocated its scratch.
void failing_basis(float, float *p, int np)
{
    for (int j = 1; j <= np; j++)
        p[j] = 1.0f;
    free_vector(vector(3, 1), 3, 1);
}

void svdfit_with(int ma, void (*basis)(float, float *, int))
{
    float x[4] = {0, 1, 2, 3}, y[4] = {0, 1, 2, 3}, sig[4] = {0, 1, 1, 1}, a[3], w[3], chisq;
    Square u(3, 0.0f), v(2, 0.0f);
    svdfit(x, y, sig, 3, a, ma, u.a, v.a, w, &chisq, basis);
}

struct FatalCase {
    const char *name;
    std::function<void()> call;
    std::string message;
};

void PrintTo(const FatalCase &c, std::ostream *os)
{
    *os << c.name;
}

std::vector<FatalCase> fatal_cases()
{
    // Arguments live in statics: the calls run after this function has returned.
    static float g, gln, data[9];
    static unsigned long bad_nn[3] = {0, 4, 3};
    static unsigned short u16[2];
    return {
        {"vector", [] { vector(1, kHuge); }, "allocation failure in vector()"},
        {"dvector", [] { dvector(1, kHuge / 2); }, "allocation failure in dvector()"},
        {"vector_range", [] { vector(5, 2); }, "bad index range in vector()"},
        {"matrix_rows", [] { matrix(1, 0, 1, 2); }, "no rows in matrix()"},
        {"matrix_block", [] { matrix(1, 2, 1, kHuge / 2); }, "allocation failure 2 in matrix()"},
        {"imatrix_block", [] { imatrix(0, 0, 0, kHuge); }, "allocation failure 2 in matrix()"},
        {"f3tensor_columns", [] { f3tensor(1, 1, 1, kHuge / 2, 1, 1); },
         "allocation failure 2 in f3tensor()"},
        {"f3tensor_block", [] { f3tensor(1, 2, 1, 2, 1, kHuge / 8); },
         "allocation failure 3 in f3tensor()"},
        {"c3tensor_size", [] { c3tensor(1, 2, 1, 2, 1, kHuge * 4); },
         "allocation size overflow in c3tensor()"},
        {"gammq_a", [] { gammq(0.0f, 2.385f); }, "Invalid arguments in routine gammq"},
        {"gammq_nan_a", [] { gammq(kNaN, 2.385f); }, "Invalid arguments in routine gammq"},
        {"gammq_nan_x", [] { gammq(2.385f, kNaN); }, "Invalid arguments in routine gammq"},
        {"gser_x", [] { gser(&g, 2.385f, -1.0f, &gln); }, "x less than 0 in routine gser"},
        {"gser_nan", [] { gser(&g, kNaN, 2.385f, &gln); },
         "a too large, ITMAX too small in routine gser"},
        {"gcf_nan", [] { gcf(&g, kNaN, 2.385f, &gln); }, "a too large, ITMAX too small in gcf"},
        {"gaussj_zero", singular_gaussj, "gaussj: Singular Matrix-2"},
        {"gaussj_nan", nan_gaussj, "gaussj: Singular Matrix-1"},
        {"jacobi_nan", nan_jacobi, "Too many iterations in routine jacobi"},
        {"mrqmin_singular", [] { lm_call(0.0f, -1.0f); }, "gaussj: Singular Matrix-2"},
        {"mrqmin_no_fit", [] { lm_call(2.0f, 0.001f); },
         "mrqmin: no fit in progress (start one with alamda < 0)"},
        {"sort_stack", sort_overflow, "NSTACK too small in sort."},
        {"four1", [] { four1(data, 3, 1); }, "four1: nn = 3 is not a power of two (1, 2, 4, ...)"},
        {"realft", [] { realft(data, 6, 1); }, "realft: n = 6 is not a power of two >= 2"},
        {"fourn", [] { fourn(data, bad_nn, 2, 1); },
         "fourn: nn[2] = 3 is not a power of two (1, 2, 4, ...)"},
        {"rlft3_extent", [] { rlft3(nullptr, nullptr, 3, 4, 8, 1); },
         "rlft3: nn1 = 3 is not a power of two (1, 2, 4, ...)"},
        {"rlft3_layout", [] { rlft3_on(2, 2, 8, 2, 4); },
         "rlft3: data is not one contiguous 2 x 2 x 8 tensor"},
        {"select_empty", [] { select(1, 0, data); },
         "select: n = 0, there is no element to select"},
        {"select_ushort_k", [] { select_ushort(3, 1, u16); },
         "select_ushort: k = 3 is outside 1..n = 1..1"},
        {"svdfit_ma", [] { svdfit_with(0, fpoly); },
         "svdfit: ma = 0, there must be at least one basis function"},
        {"svdfit_basis", [] { svdfit_with(2, failing_basis); }, "bad index range in vector()"},
    };
}

class ThrowMode : public ::testing::TestWithParam<FatalCase> {};

TEST_P(ThrowMode, ThrowsTheExactMessage)
{
    scoped_error_mode guard(error_mode::throw_exception);
    try {
        GetParam().call();
        ADD_FAILURE() << "no exception";
    } catch (const numerics_error &e) {
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFatalCondition, ThrowMode, ::testing::ValuesIn(fatal_cases()),
                         [](const auto &info) { return std::string(info.param.name); });

// What a call throws ("" for nothing).
template <typename Call>
std::string thrown_by(Call call)
{
    try {
        call();
    } catch (const std::exception &e) {
        return e.what();
    }
    return "";
}

int model_calls_left = 0;
void failing_fgauss(float x, float *a, float *y, float *dyda, int na)
{
    if (--model_calls_left < 0)
        throw std::logic_error("model failed");
    fgauss(x, a, y, dyda, na);
}

// An interrupted fit leaves no fit in progress: the next iteration call is refused, and a new
// fit from a good start runs exactly as in a fresh process. So does a model that throws.
TEST(ErrorMode, InterruptedFitIsNoFit)
{
    scoped_error_mode guard(error_mode::throw_exception);
    const std::string no_fit = "mrqmin: no fit in progress (start one with alamda < 0)";
    EXPECT_EQ(thrown_by([] { lm_call(0.0f, -1.0f); }), "gaussj: Singular Matrix-2");
    EXPECT_EQ(thrown_by([] { lm_call(2.0f, 0.001f); }), no_fit);
    EXPECT_EQ(thrown_by([] { lm_calls(2.0f, -1.0f, 5); }), "");
    EXPECT_EQ(thrown_by([] { lm_call(2.0f, 0.0f); }), no_fit);  // finished: no fit in progress

    tessivane::lm_fit fit;
    GaussianData d;
    float a[4] = {0.0f, 0.0f, 0.4f, 1.0f}, chisq, alamda = -1.0f;
    int ia[4] = {0, 1, 1, 1};
    Square covar(3, 0.0f), alpha(3, 0.0f);
    tessivane::lm_model model = fgauss;
    const auto step = [&] {
        fit.step(d.x, d.y, d.sig, 11, a, ia, 3, covar.a, alpha.a, &chisq, model, &alamda);
    };
    EXPECT_EQ(thrown_by(step), "gaussj: Singular Matrix-2");
    EXPECT_FALSE(fit.in_progress());
    EXPECT_EQ(std::vector<float>(a + 1, a + 4), (std::vector<float>{0.0f, 0.4f, 1.0f}));
    EXPECT_EQ(alamda, 0.001f);  // set by the initialising call before the solve failed
    EXPECT_EQ(thrown_by(step), no_fit);

    // The model fails in the second call's trial, after the first call moved a.
    a[1] = 2.0f;
    alamda = -1.0f;
    model = failing_fgauss;
    model_calls_left = 25;  // 22 calls in the first, 11 in the second
    EXPECT_EQ(thrown_by(step), "");
    const std::vector<float> accepted(a + 1, a + 4);
    EXPECT_EQ(thrown_by(step), "model failed");
    EXPECT_FALSE(fit.in_progress());
    EXPECT_EQ(std::vector<float>(a + 1, a + 4), accepted);
}

TEST(ErrorMode, ModeBelongsToTheThreadAndGuardRestoresIt)
{
    EXPECT_EQ(tessivane::get_error_mode(), error_mode::exit_process);
    EXPECT_EQ(tessivane::set_error_mode(error_mode::throw_exception), error_mode::exit_process);
    error_mode other = error_mode::throw_exception;
    std::thread([&] { other = tessivane::get_error_mode(); }).join();
    EXPECT_EQ(other, error_mode::exit_process);
    {
        scoped_error_mode guard(error_mode::exit_process);
        EXPECT_EQ(tessivane::get_error_mode(), error_mode::exit_process);
    }
    EXPECT_EQ(tessivane::set_error_mode(error_mode::exit_process), error_mode::throw_exception);
}

std::vector<std::string> handled;
void record(const char *message)
{
    handled.push_back(message);
}

TEST(ErrorMode, HandlerHearsTheMessageBeforeTheThrow)
{
    handled.clear();
    EXPECT_EQ(tessivane::set_error_handler(record), nullptr);
    {
        scoped_error_mode guard(error_mode::throw_exception);
        EXPECT_THROW(singular_gaussj(), numerics_error);
    }
    EXPECT_EQ(tessivane::set_error_handler(nullptr), record);
    EXPECT_THROW(
        {
            scoped_error_mode guard(error_mode::throw_exception);
            gammq(-1.0f, 1.0f);
        },
        numerics_error);
    EXPECT_EQ(handled, std::vector<std::string>{"gaussj: Singular Matrix-2"});
}

void announce(const char *message)
{
    std::fprintf(stderr, "handler: %s\n", message);
}

// In the default mode the handler runs first, then the usual three lines and exit status 1.
TEST(ErrorModeDeathTest, HandlerThenTheUsualExit)
{
    EXPECT_EXIT(
        {
            tv_test::mark_dying_child();
            tessivane::set_error_handler(announce);
            singular_gaussj();
        },
        ::testing::ExitedWithCode(1),
        ::testing::ResultOf(tv_test::without_sanitizer_notes,
                            ::testing::Eq("handler: gaussj: Singular Matrix-2\n" +
                                          tv_test::fatal_report("gaussj: Singular Matrix-2"))));
}

std::jmp_buf escape;
[[noreturn]] void jump_out(const char *)
{
    std::longjmp(escape, 1);
}

// A handler must not longjmp (errors.h), but a fit left that way is still no fit in progress:
// the next iteration call is refused instead of continuing from the abandoned state.
TEST(ErrorModeDeathTest, FitLeftByLongjmpIsNoFit)
{
    auto escape_then_iterate = [] {
        tessivane::set_error_handler(jump_out);
        if (setjmp(escape) == 0)
            lm_call(0.0f, -1.0f);  // singular: the handler jumps back here
        tessivane::set_error_handler(nullptr);
        lm_call(2.0f, 0.001f);
    };
    TV_EXPECT_FATAL(escape_then_iterate(),
                    "mrqmin: no fit in progress (start one with alamda < 0)");
}

}  // namespace
