// The C interface: each tv_ function runs its C++ routine in throw mode and turns whatever leaves
// it into a status code and a thread-owned message, so that neither an exit nor an exception
// reaches a C caller.
#include "tessivane_c.h"

#include "errors.h"
#include "fft_tables.h"
#include "isa.h"
#include "stat.h"

#include <cstring>
#include <exception>
#include <new>

struct tv_ran1_stream {
    explicit tv_ran1_stream(long seed)
        : stream(seed)
    {}
    tessivane::ran1_stream stream;
};

struct tv_lm_fit {
    tessivane::lm_fit fit;
};

namespace {

// A fixed buffer, so that recording a failure cannot itself fail.
thread_local char last_error[256];

tv_status record(tv_status status, const char *message)
{
    std::strncpy(last_error, message, sizeof last_error - 1);
    last_error[sizeof last_error - 1] = '\0';
    return status;
}

tv_status invalid(const char *function, const char *argument)
{
    char text[sizeof last_error];
    std::strncpy(text, function, sizeof text - 1);
    text[sizeof text - 1] = '\0';
    std::strncat(text, ": ", sizeof text - std::strlen(text) - 1);
    std::strncat(text, argument, sizeof text - std::strlen(text) - 1);
    std::strncat(text, " is NULL", sizeof text - std::strlen(text) - 1);
    return record(TV_ERROR_INVALID_ARGUMENT, text);
}

// Runs body with the calling thread in throw mode; the thread's own mode is back in force
// whichever way body ends.
template <typename Body>
tv_status guarded(Body &&body) noexcept
{
    try {
        tessivane::scoped_error_mode mode(tessivane::error_mode::throw_exception);
        body();
        return record(TV_OK, "");
    } catch (const tessivane::numerics_error &e) {
        return record(TV_ERROR, e.what());
    } catch (const std::bad_alloc &) {
        return record(TV_ERROR_NO_MEMORY, "out of memory");
    } catch (const std::exception &e) {
        return record(TV_ERROR_INTERNAL, e.what());
    } catch (...) {
        return record(TV_ERROR_INTERNAL, "unknown C++ exception");
    }
}

// For routines that return a value: *result is written only when the routine finished.
template <typename T, typename Body>
tv_status value(const char *function, T *result, Body &&body) noexcept
{
    if (!result)
        return invalid(function, "result");
    return guarded([&] {
        const T v = body();
        *result = v;
    });
}

}  // namespace

extern "C" {

const char *tv_last_error(void)
{
    return last_error;
}

const char *tv_version(void)
{
    return tessivane::version();
}

// ---- Arrays ----

tv_status tv_vector(long nl, long nh, float **result)
{
    return value("tv_vector", result, [&] { return vector(nl, nh); });
}

tv_status tv_ivector(long nl, long nh, int **result)
{
    return value("tv_ivector", result, [&] { return ivector(nl, nh); });
}

tv_status tv_cvector(long nl, long nh, unsigned char **result)
{
    return value("tv_cvector", result, [&] { return cvector(nl, nh); });
}

tv_status tv_lvector(long nl, long nh, unsigned long **result)
{
    return value("tv_lvector", result, [&] { return lvector(nl, nh); });
}

tv_status tv_dvector(long nl, long nh, double **result)
{
    return value("tv_dvector", result, [&] { return dvector(nl, nh); });
}

tv_status tv_matrix(long nrl, long nrh, long ncl, long nch, float ***result)
{
    return value("tv_matrix", result, [&] { return matrix(nrl, nrh, ncl, nch); });
}

tv_status tv_dmatrix(long nrl, long nrh, long ncl, long nch, double ***result)
{
    return value("tv_dmatrix", result, [&] { return dmatrix(nrl, nrh, ncl, nch); });
}

tv_status tv_imatrix(long nrl, long nrh, long ncl, long nch, int ***result)
{
    return value("tv_imatrix", result, [&] { return imatrix(nrl, nrh, ncl, nch); });
}

tv_status tv_submatrix(float **a, long oldrl, long oldrh, long oldcl, long oldch, long newrl,
                       long newcl, float ***result)
{
    return value("tv_submatrix", result,
                 [&] { return submatrix(a, oldrl, oldrh, oldcl, oldch, newrl, newcl); });
}

tv_status tv_convert_matrix(float *a, long nrl, long nrh, long ncl, long nch, float ***result)
{
    return value("tv_convert_matrix", result,
                 [&] { return convert_matrix(a, nrl, nrh, ncl, nch); });
}

tv_status tv_f3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh, float ****result)
{
    return value("tv_f3tensor", result, [&] { return f3tensor(nrl, nrh, ncl, nch, ndl, ndh); });
}

tv_status tv_c3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh,
                      unsigned char ****result)
{
    return value("tv_c3tensor", result, [&] { return c3tensor(nrl, nrh, ncl, nch, ndl, ndh); });
}

void tv_free_vector(float *v, long nl, long nh)
{
    free_vector(v, nl, nh);
}

void tv_free_ivector(int *v, long nl, long nh)
{
    free_ivector(v, nl, nh);
}

void tv_free_cvector(unsigned char *v, long nl, long nh)
{
    free_cvector(v, nl, nh);
}

void tv_free_lvector(unsigned long *v, long nl, long nh)
{
    free_lvector(v, nl, nh);
}

void tv_free_dvector(double *v, long nl, long nh)
{
    free_dvector(v, nl, nh);
}

void tv_free_matrix(float **m, long nrl, long nrh, long ncl, long nch)
{
    free_matrix(m, nrl, nrh, ncl, nch);
}

void tv_free_dmatrix(double **m, long nrl, long nrh, long ncl, long nch)
{
    free_dmatrix(m, nrl, nrh, ncl, nch);
}

void tv_free_imatrix(int **m, long nrl, long nrh, long ncl, long nch)
{
    free_imatrix(m, nrl, nrh, ncl, nch);
}

void tv_free_submatrix(float **b, long nrl, long nrh, long ncl, long nch)
{
    free_submatrix(b, nrl, nrh, ncl, nch);
}

void tv_free_convert_matrix(float **b, long nrl, long nrh, long ncl, long nch)
{
    free_convert_matrix(b, nrl, nrh, ncl, nch);
}

void tv_free_f3tensor(float ***t, long nrl, long nrh, long ncl, long nch, long ndl, long ndh)
{
    free_f3tensor(t, nrl, nrh, ncl, nch, ndl, ndh);
}

void tv_free_c3tensor(unsigned char ***t, long nrl, long nrh, long ncl, long nch, long ndl,
                      long ndh)
{
    free_c3tensor(t, nrl, nrh, ncl, nch, ndl, ndh);
}

// ---- Instruction-set path and FFT tables ----

int tv_supported_isa(void)
{
    return static_cast<int>(tessivane::supported_isa());
}

int tv_active_isa(void)
{
    return static_cast<int>(tessivane::active_isa());
}

int tv_set_active_isa(int requested)
{
    // A value outside the enumeration asks for the widest path, as the cap allows.
    const int widest = static_cast<int>(tessivane::isa::avx512);
    const int path = requested < 0 ? 0 : requested > widest ? widest : requested;
    return static_cast<int>(tessivane::set_active_isa(static_cast<tessivane::isa>(path)));
}

const char *tv_isa_name(int path)
{
    return tessivane::isa_name(static_cast<tessivane::isa>(path));
}

void tv_release_fft_tables(void)
{
    tessivane::release_fft_tables();
}

size_t tv_fft_table_bytes(void)
{
    return tessivane::fft_table_bytes();
}

// ---- Special functions ----

tv_status tv_gammln(double xx, double *result)
{
    return value("tv_gammln", result, [&] { return gammln(xx); });
}

tv_status tv_gammq(float a, float x, float *result)
{
    return value("tv_gammq", result, [&] { return gammq(a, x); });
}

tv_status tv_gser(float *gamser, float a, float x, float *gln)
{
    return guarded([&] { gser(gamser, a, x, gln); });
}

tv_status tv_gcf(float *gammcf, float a, float x, float *gln)
{
    return guarded([&] { gcf(gammcf, a, x, gln); });
}

tv_status tv_betai(float a, float b, float x, float *result)
{
    return value("tv_betai", result, [&] { return betai(a, b, x); });
}

tv_status tv_betacf(double a, double b, double x, float *result)
{
    return value("tv_betacf", result, [&] { return betacf(a, b, x); });
}

tv_status tv_erfcc(float x, float *result)
{
    return value("tv_erfcc", result, [&] { return erfcc(x); });
}

tv_status tv_probks(float alam, float *result)
{
    return value("tv_probks", result, [&] { return probks(alam); });
}

// ---- Two-sample tests, correlation and p-values ----

tv_status tv_avevar(float data[], unsigned long n, float *ave, float *var)
{
    return guarded([&] { avevar(data, n, ave, var); });
}

tv_status tv_ttest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t,
                   float *prob)
{
    return guarded([&] { ttest(data1, n1, data2, n2, t, prob); });
}

tv_status tv_tutest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t,
                    float *prob)
{
    return guarded([&] { tutest(data1, n1, data2, n2, t, prob); });
}

tv_status tv_kstwo(float data1[], unsigned long n1, float data2[], unsigned long n2, float *d,
                   float *prob)
{
    return guarded([&] { kstwo(data1, n1, data2, n2, d, prob); });
}

tv_status tv_pearsn(float x[], float y[], unsigned long n, float *r, float *prob, float *z)
{
    return guarded([&] { pearsn(x, y, n, r, prob, z); });
}

tv_status tv_pearsn_prob(float x[], float y[], unsigned long n, float *r, float *prob, float *z)
{
    return guarded([&] { pearsn_prob(x, y, n, r, prob, z); });
}

tv_status tv_spear(float data1[], float data2[], unsigned long n, float *d, float *zd, float *probd,
                   float *rs, float *probrs)
{
    return guarded([&] { spear(data1, data2, n, d, zd, probd, rs, probrs); });
}

tv_status tv_pearsn_inc(float x, float y, float *n, float *ax, float *ay, float *sxx, float *syy,
                        float *sxy, float *r)
{
    if (!n || !ax || !ay || !sxx || !syy || !sxy)
        return invalid("tv_pearsn_inc", "a running-state pointer");
    return guarded([&] { pearsn_inc(x, y, *n, *ax, *ay, *sxx, *syy, *sxy, r); });
}

tv_status tv_regr_inc(float x, float y, float *n, float *ax, float *ay, float *sxx, float *syy,
                      float *sxy, float *a, float *b, float *ym)
{
    if (!n || !ax || !ay || !sxx || !syy || !sxy)
        return invalid("tv_regr_inc", "a running-state pointer");
    return guarded([&] { regr_inc(x, y, *n, *ax, *ay, *sxx, *syy, *sxy, a, b, ym); });
}

tv_status tv_t_to_p(float t, unsigned long df, float *result)
{
    return value("tv_t_to_p", result, [&] { return t_to_p(t, df); });
}

tv_status tv_r_to_p(float r, unsigned long n, float *result)
{
    return value("tv_r_to_p", result, [&] { return r_to_p(r, n); });
}

tv_status tv_F_to_p(float F, unsigned long df_1, unsigned long df_2, float *result)
{
    return value("tv_F_to_p", result, [&] { return F_to_p(F, df_1, df_2); });
}

tv_status tv_p_to_t(float p, unsigned long df, float *result)
{
    return value("tv_p_to_t", result, [&] { return p_to_t(p, df); });
}

tv_status tv_p_to_r(float p, unsigned long df, float *result)
{
    return value("tv_p_to_r", result, [&] { return p_to_r(p, df); });
}

tv_status tv_p_to_F(float p, unsigned long df_1, unsigned long df_2, float *result)
{
    return value("tv_p_to_F", result, [&] { return p_to_F(p, df_1, df_2); });
}

tv_status tv_p_to_z(float pvalue, float *result)
{
    return value("tv_p_to_z", result, [&] { return p_to_z(pvalue); });
}

tv_status tv_welch_df(float data1[], unsigned long n1, float data2[], unsigned long n2,
                      float *result)
{
    return value("tv_welch_df", result, [&] { return welch_df(data1, n1, data2, n2); });
}

tv_status tv_t_to_p_real(float t, float df, float *result)
{
    return value("tv_t_to_p_real", result, [&] { return t_to_p_real(t, df); });
}

tv_status tv_kstwo_prob(float d, unsigned long n1, unsigned long n2, float *result)
{
    return value("tv_kstwo_prob", result, [&] { return kstwo_prob(d, n1, n2); });
}

tv_status tv_kstwo_prob_exact(float d, unsigned long n1, unsigned long n2, float *result)
{
    return value("tv_kstwo_prob_exact", result, [&] { return kstwo_prob_exact(d, n1, n2); });
}

// ---- Fourier transforms ----

tv_status tv_four1(float data[], unsigned long nn, int isign)
{
    return guarded([&] { four1(data, nn, isign); });
}

tv_status tv_realft(float data[], unsigned long n, int isign)
{
    return guarded([&] { realft(data, n, isign); });
}

tv_status tv_fourn(float data[], unsigned long nn[], int ndim, int isign)
{
    return guarded([&] { fourn(data, nn, ndim, isign); });
}

tv_status tv_rlft3(float ***data, float **speq, unsigned long nn1, unsigned long nn2,
                   unsigned long nn3, int isign)
{
    return guarded([&] { rlft3(data, speq, nn1, nn2, nn3, isign); });
}

// ---- Sorting, ranking and selection ----

tv_status tv_sort(unsigned long n, float arr[])
{
    return guarded([&] { sort(n, arr); });
}

tv_status tv_sort2(unsigned long n, float arr[], float brr[])
{
    return guarded([&] { sort2(n, arr, brr); });
}

tv_status tv_hpsort(unsigned long n, float ra[])
{
    return guarded([&] { hpsort(n, ra); });
}

tv_status tv_crank(unsigned long n, float w[], float *s)
{
    return guarded([&] { crank(n, w, s); });
}

tv_status tv_select(unsigned long k, unsigned long n, float arr[], float *result)
{
    return value("tv_select", result, [&] { return select(k, n, arr); });
}

tv_status tv_select_ushort(unsigned long k, unsigned long n, unsigned short arr[],
                           unsigned short *result)
{
    return value("tv_select_ushort", result, [&] { return select_ushort(k, n, arr); });
}

// ---- Random deviates ----

tv_status tv_ran1(long *idum, float *result)
{
    return value("tv_ran1", result, [&] { return ran1(idum); });
}

tv_status tv_gasdev(long *idum, float *result)
{
    return value("tv_gasdev", result, [&] { return gasdev(idum); });
}

tv_status tv_ran1_stream_create(long seed, tv_ran1_stream **result)
{
    return value("tv_ran1_stream_create", result, [&] { return new tv_ran1_stream(seed); });
}

void tv_ran1_stream_destroy(tv_ran1_stream *stream)
{
    delete stream;
}

tv_status tv_ran1_stream_uniform(tv_ran1_stream *stream, float *result)
{
    if (!stream)
        return invalid("tv_ran1_stream_uniform", "stream");
    return value("tv_ran1_stream_uniform", result, [&] { return stream->stream.uniform(); });
}

tv_status tv_ran1_stream_gaussian(tv_ran1_stream *stream, float *result)
{
    if (!stream)
        return invalid("tv_ran1_stream_gaussian", "stream");
    return value("tv_ran1_stream_gaussian", result, [&] { return stream->stream.gaussian(); });
}

tv_status tv_ran1_stream_reseed(tv_ran1_stream *stream, long seed)
{
    if (!stream)
        return invalid("tv_ran1_stream_reseed", "stream");
    return guarded([&] { stream->stream.reseed(seed); });
}

tv_status tv_ran1_stream_idum(const tv_ran1_stream *stream, long *result)
{
    if (!stream)
        return invalid("tv_ran1_stream_idum", "stream");
    return value("tv_ran1_stream_idum", result, [&] { return stream->stream.idum(); });
}

// ---- Linear algebra ----

int tv_last_svd_converged(void)
{
    return tessivane::last_svd_converged() ? 1 : 0;
}

tv_status tv_pythag(float a, float b, float *result)
{
    return value("tv_pythag", result, [&] { return pythag(a, b); });
}

tv_status tv_svdcmp(float **a, int m, int n, float *w, float **v)
{
    return guarded([&] { svdcmp(a, m, n, w, v); });
}

tv_status tv_svbksb(float **u, float *w, float **v, int m, int n, float *b, float *x)
{
    return guarded([&] { svbksb(u, w, v, m, n, b, x); });
}

tv_status tv_svdvar(float **v, int ma, float *w, float **cvm)
{
    return guarded([&] { svdvar(v, ma, w, cvm); });
}

tv_status tv_matrix_matrix_mult(float **a, float **b, float **c, int n, int s, int m)
{
    return guarded([&] { matrix_matrix_mult(a, b, c, n, s, m); });
}

tv_status tv_transposematrix_matrix_mult(float **a, float **c, int n, int s)
{
    return guarded([&] { transposematrix_matrix_mult(a, c, n, s); });
}

tv_status tv_matrix_vector_mult(float **a, float *b, float *c, int n, int s)
{
    return guarded([&] { matrix_vector_mult(a, b, c, n, s); });
}

tv_status tv_vector_vector_mult(float *a, float *b, int n, float *result)
{
    return value("tv_vector_vector_mult", result, [&] { return vector_vector_mult(a, b, n); });
}

tv_status tv_matrix_transpose(float **m, float **t, int n, int s)
{
    return guarded([&] { matrix_transpose(m, t, n, s); });
}

tv_status tv_copy_matrix(float **im, float **om, int n, int s, int copy_mode)
{
    return guarded([&] { copy_matrix(im, om, n, s, copy_mode); });
}

tv_status tv_diagmatrix_matrix_mult(float *w, float **m, int n, int s)
{
    return guarded([&] { diagmatrix_matrix_mult(w, m, n, s); });
}

tv_status tv_fast_matrix_matrix_mult(float **a, float **b, float **c, int m, int n, int k, int tA,
                                     int tB)
{
    return guarded([&] { fast_matrix_matrix_mult(a, b, c, m, n, k, tA != 0, tB != 0); });
}

tv_status tv_getInverseMatrixUsingSVD(float **m, float **inv, int n, int *result)
{
    return value("tv_getInverseMatrixUsingSVD", result,
                 [&] { return getInverseMatrixUsingSVD(m, inv, n) ? 1 : 0; });
}

tv_status tv_gaussj(float **a, int n, float **b, int m)
{
    return guarded([&] { gaussj(a, n, b, m); });
}

tv_status tv_jacobi(float **a, int n, float *d, float **v, int *nrot)
{
    return guarded([&] { jacobi(a, n, d, v, nrot); });
}

tv_status tv_eigsrt(float *d, float **v, int n)
{
    return guarded([&] { eigsrt(d, v, n); });
}

// ---- Least-squares fits ----

tv_status tv_fit(float x[], float y[], int ndata, float sig[], int mwt, float *a, float *b,
                 float *siga, float *sigb, float *chi2, float *q)
{
    return guarded([&] { fit(x, y, ndata, sig, mwt, a, b, siga, sigb, chi2, q); });
}

tv_status tv_svdfit(float *x, float *y, float *sig, int ndata, float *a, int ma, float **u,
                    float **v, float *w, float *chisq, tv_basis funcs)
{
    return guarded([&] { svdfit(x, y, sig, ndata, a, ma, u, v, w, chisq, funcs); });
}

tv_status tv_fpoly(float x, float *p, int np)
{
    return guarded([&] { fpoly(x, p, np); });
}

tv_status tv_mrqmin(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                    float **covar, float **alpha, float *chisq, tv_lm_model funcs, float *alamda)
{
    return guarded(
        [&] { mrqmin(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, alamda); });
}

tv_status tv_mrqcof(float *x, float *y, float *sig, int ndata, float *a, int *ia, int ma,
                    float **alpha, float *beta, float *chisq, tv_lm_model funcs)
{
    return guarded([&] { mrqcof(x, y, sig, ndata, a, ia, ma, alpha, beta, chisq, funcs); });
}

tv_status tv_covsrt(float **covar, int ma, int *ia, int mfit)
{
    return guarded([&] { covsrt(covar, ma, ia, mfit); });
}

tv_status tv_fgauss(float x, float *a, float *y, float *dyda, int na)
{
    return guarded([&] { fgauss(x, a, y, dyda, na); });
}

void tv_lm_stopping_rule_default(tv_lm_stopping_rule *rule)
{
    if (!rule)
        return;
    const tessivane::lm_stopping_rule defaults;
    rule->max_iterations = defaults.max_iterations;
    rule->absolute_drop = defaults.absolute_drop;
    rule->relative_drop = defaults.relative_drop;
    rule->quiet_steps = defaults.quiet_steps;
    rule->max_lambda = defaults.max_lambda;
}

tv_status tv_lm_fit_create(tv_lm_fit **result)
{
    return value("tv_lm_fit_create", result, [] { return new tv_lm_fit; });
}

void tv_lm_fit_destroy(tv_lm_fit *fit)
{
    delete fit;
}

tv_status tv_lm_fit_step(tv_lm_fit *fit, float *x, float *y, float *sig, int ndata, float *a,
                         int *ia, int ma, float **covar, float **alpha, float *chisq,
                         tv_lm_model funcs, float *alamda)
{
    if (!fit)
        return invalid("tv_lm_fit_step", "fit");
    return guarded(
        [&] { fit->fit.step(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, alamda); });
}

tv_status tv_lm_fit_run(tv_lm_fit *fit, float *x, float *y, float *sig, int ndata, float *a,
                        int *ia, int ma, float **covar, float **alpha, float *chisq,
                        tv_lm_model funcs, const tv_lm_stopping_rule *rule, tv_lm_outcome *outcome)
{
    if (!fit)
        return invalid("tv_lm_fit_run", "fit");
    if (!outcome)
        return invalid("tv_lm_fit_run", "outcome");
    // Fields the C rule does not carry keep their C++ defaults.
    tessivane::lm_stopping_rule cxx_rule;
    if (rule) {
        cxx_rule.max_iterations = rule->max_iterations;
        cxx_rule.absolute_drop = rule->absolute_drop;
        cxx_rule.relative_drop = rule->relative_drop;
        cxx_rule.quiet_steps = rule->quiet_steps;
        cxx_rule.max_lambda = rule->max_lambda;
    }
    return guarded([&] {
        const tessivane::lm_outcome o =
            fit->fit.run(x, y, sig, ndata, a, ia, ma, covar, alpha, chisq, funcs, cxx_rule);
        outcome->stop = static_cast<int>(o.stop);
        outcome->iterations = o.iterations;
        outcome->lambda_at_stop = o.lambda_at_stop;
    });
}

int tv_lm_fit_in_progress(const tv_lm_fit *fit)
{
    return fit && fit->fit.in_progress() ? 1 : 0;
}

}  // extern "C"

static_assert(TV_LM_ITERATION_LIMIT == static_cast<int>(tessivane::lm_outcome::iteration_limit) &&
                  TV_LM_CONVERGED == static_cast<int>(tessivane::lm_outcome::converged) &&
                  TV_LM_STALLED == static_cast<int>(tessivane::lm_outcome::stalled),
              "the C stop codes are the C++ reasons");
static_assert(TV_ISA_PORTABLE == static_cast<int>(tessivane::isa::portable) &&
                  TV_ISA_AVX2 == static_cast<int>(tessivane::isa::avx2) &&
                  TV_ISA_AVX512 == static_cast<int>(tessivane::isa::avx512),
              "the C path codes are the C++ paths");
