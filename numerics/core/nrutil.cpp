// The offset-indexed arrays: each handle is its storage displaced by the low
// bound, matrices and tensors keep their rows (and columns) as pointers into one
// contiguous block, and every refusal or allocation failure ends through
// nrerror() with the message nrutil.h documents.

#include "nrutil.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

thread_local tessivane::error_mode current_mode = tessivane::error_mode::exit_process;
std::atomic<tessivane::error_handler> installed_handler{nullptr};

}  // namespace

namespace tessivane {

numerics_error::numerics_error(const std::string &message)
    : std::runtime_error(message)
{}

numerics_error::~numerics_error() = default;

error_mode set_error_mode(error_mode mode)
{
    const error_mode previous = current_mode;
    current_mode = mode;
    return previous;
}

error_mode get_error_mode()
{
    return current_mode;
}

error_handler set_error_handler(error_handler handler)
{
    return installed_handler.exchange(handler);
}

}  // namespace tessivane

void nrerror(char *error_text)
{
    if (const tessivane::error_handler handler = installed_handler.load())
        handler(error_text);
    if (current_mode == tessivane::error_mode::throw_exception)
        throw tessivane::numerics_error(error_text);
    std::fwrite("Vestrin Calculary run-time error...\n", 1, 36, stderr);
    std::fprintf(stderr, "%s\n", error_text);
    std::fwrite("...now exiting to system...\n", 1, 28, stderr);
    std::exit(1);
}

namespace {

[[noreturn]] void refuse(const char *what, const char *function)
{
    std::string text = std::string(what) + " in " + function + "()";
    nrerror(text.c_str());
}

// Number of indices in low..high. A range may be empty (high == low - 1) but
// never reversed further, and its length must be representable.
long extent(long low, long high, const char *function)
{
    long span;
    if (__builtin_sub_overflow(high, low, &span) || span == __LONG_MAX__)
        refuse("allocation size overflow", function);
    if (span < -1)
        refuse("bad index range", function);
    return span + 1;
}

// Rows of a matrix, view or tensor: the first row pointer is always written,
// so there must be at least one.
long row_count(long low, long high, const char *function)
{
    long n = extent(low, high, function);
    if (n == 0)
        refuse("no rows", function);
    return n;
}

long product(long a, long b, const char *function)
{
    long p;
    if (__builtin_mul_overflow(a, b, &p))
        refuse("allocation size overflow", function);
    return p;
}

// malloc with a byte count checked for 64-bit overflow. Zero bytes still
// yield a unique block, so an empty array is never mistaken for a failure.
template <typename T>
T *allocate(long count, const char *function, const char *failure_text)
{
    long bytes = product(count, static_cast<long>(sizeof(T)), function);
    void *block = std::malloc(bytes > 0 ? static_cast<size_t>(bytes) : 1);
    if (!block)
        nrerror(failure_text);
    return static_cast<T *>(block);
}

template <typename T>
T *offset_vector(long nl, long nh, const char *function, const char *failure_text)
{
    T *block = allocate<T>(extent(nl, nh, function), function, failure_text);
    return block - nl;
}

template <typename T>
T **offset_matrix(long nrl, long nrh, long ncl, long nch, const char *function)
{
    long nrow = row_count(nrl, nrh, function);
    long ncol = extent(ncl, nch, function);
    long elements = product(nrow, ncol, function);

    T **m = allocate<T *>(nrow, function, "allocation failure 1 in matrix()") - nrl;
    // Only reached in throw mode: the default mode ends the process inside nrerror.
    try {
        m[nrl] = allocate<T>(elements, function, "allocation failure 2 in matrix()") - ncl;
    } catch (...) {
        std::free(m + nrl);
        throw;
    }
    for (long i = nrl + 1; i <= nrh; i++)
        m[i] = m[i - 1] + ncol;
    return m;
}

template <typename T>
void release_matrix(T **m, long nrl, long ncl)
{
    std::free(m[nrl] + ncl);
    std::free(m + nrl);
}

template <typename T>
T ***offset_tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh, const char *function,
                   const char *const failure_text[3])
{
    long nrow = row_count(nrl, nrh, function);
    long ncol = extent(ncl, nch, function);
    if (ncol == 0)
        refuse("no columns", function);
    long ndep = extent(ndl, ndh, function);
    long columns = product(nrow, ncol, function);
    long elements = product(columns, ndep, function);

    T ***t = allocate<T **>(nrow, function, failure_text[0]) - nrl;
    // The handlers only run in throw mode: the default mode ends the process
    // inside nrerror, leaving the earlier blocks to the system.
    try {
        t[nrl] = allocate<T *>(columns, function, failure_text[1]) - ncl;
    } catch (...) {
        std::free(t + nrl);
        throw;
    }
    try {
        t[nrl][ncl] = allocate<T>(elements, function, failure_text[2]) - ndl;
    } catch (...) {
        std::free(t[nrl] + ncl);
        std::free(t + nrl);
        throw;
    }

    for (long j = ncl + 1; j <= nch; j++)
        t[nrl][j] = t[nrl][j - 1] + ndep;
    for (long i = nrl + 1; i <= nrh; i++) {
        t[i] = t[i - 1] + ncol;
        t[i][ncl] = t[i - 1][ncl] + ncol * ndep;
        for (long j = ncl + 1; j <= nch; j++)
            t[i][j] = t[i][j - 1] + ndep;
    }
    return t;
}

template <typename T>
void release_tensor(T ***t, long nrl, long ncl, long ndl)
{
    std::free(t[nrl][ncl] + ndl);
    std::free(t[nrl] + ncl);
    std::free(t + nrl);
}

}  // namespace

float *vector(long nl, long nh)
{
    return offset_vector<float>(nl, nh, "vector", "allocation failure in vector()");
}

int *ivector(long nl, long nh)
{
    return offset_vector<int>(nl, nh, "ivector", "allocation failure in ivector()");
}

unsigned char *cvector(long nl, long nh)
{
    return offset_vector<unsigned char>(nl, nh, "cvector", "allocation failure in cvector()");
}

unsigned long *lvector(long nl, long nh)
{
    return offset_vector<unsigned long>(nl, nh, "lvector", "allocation failure in lvector()");
}

double *dvector(long nl, long nh)
{
    return offset_vector<double>(nl, nh, "dvector", "allocation failure in dvector()");
}

// All three matrix families report allocation failures with the texts of matrix().
float **matrix(long nrl, long nrh, long ncl, long nch)
{
    return offset_matrix<float>(nrl, nrh, ncl, nch, "matrix");
}

double **dmatrix(long nrl, long nrh, long ncl, long nch)
{
    return offset_matrix<double>(nrl, nrh, ncl, nch, "dmatrix");
}

int **imatrix(long nrl, long nrh, long ncl, long nch)
{
    return offset_matrix<int>(nrl, nrh, ncl, nch, "imatrix");
}

float **submatrix(float **a, long oldrl, long oldrh, long oldcl, long /*oldch*/, long newrl,
                  long newcl)
{
    long nrow = row_count(oldrl, oldrh, "submatrix");
    long shift;
    if (__builtin_sub_overflow(oldcl, newcl, &shift))
        refuse("allocation size overflow", "submatrix");

    float **view =
        allocate<float *>(nrow, "submatrix", "allocation failure in submatrix()") - newrl;
    for (long k = 0; k < nrow; k++)
        view[newrl + k] = a[oldrl + k] + shift;
    return view;
}

float **convert_matrix(float *a, long nrl, long nrh, long ncl, long nch)
{
    long nrow = row_count(nrl, nrh, "convert_matrix");
    long ncol = extent(ncl, nch, "convert_matrix");

    float **view =
        allocate<float *>(nrow, "convert_matrix", "allocation failure in convert_matrix()") - nrl;
    view[nrl] = a - ncl;
    for (long i = nrl + 1; i <= nrh; i++)
        view[i] = view[i - 1] + ncol;
    return view;
}

float ***f3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh)
{
    static const char *const texts[3] = {"allocation failure 1 in f3tensor()",
                                         "allocation failure 2 in f3tensor()",
                                         "allocation failure 3 in f3tensor()"};
    return offset_tensor<float>(nrl, nrh, ncl, nch, ndl, ndh, "f3tensor", texts);
}

unsigned char ***c3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh)
{
    static const char *const texts[3] = {"allocation failure 1 in c3tensor()",
                                         "allocation failure 2 in c3tensor()",
                                         "allocation failure 3 in c3tensor()"};
    return offset_tensor<unsigned char>(nrl, nrh, ncl, nch, ndl, ndh, "c3tensor", texts);
}

void free_vector(float *v, long nl, long)
{
    std::free(v + nl);
}
void free_ivector(int *v, long nl, long)
{
    std::free(v + nl);
}
void free_cvector(unsigned char *v, long nl, long)
{
    std::free(v + nl);
}
void free_lvector(unsigned long *v, long nl, long)
{
    std::free(v + nl);
}
void free_dvector(double *v, long nl, long)
{
    std::free(v + nl);
}

void free_matrix(float **m, long nrl, long, long ncl, long)
{
    release_matrix(m, nrl, ncl);
}
void free_dmatrix(double **m, long nrl, long, long ncl, long)
{
    release_matrix(m, nrl, ncl);
}
void free_imatrix(int **m, long nrl, long, long ncl, long)
{
    release_matrix(m, nrl, ncl);
}

void free_submatrix(float **b, long nrl, long, long, long)
{
    std::free(b + nrl);
}
void free_convert_matrix(float **b, long nrl, long, long, long)
{
    std::free(b + nrl);
}

void free_f3tensor(float ***t, long nrl, long, long ncl, long, long ndl, long)
{
    release_tensor(t, nrl, ncl, ndl);
}

void free_c3tensor(unsigned char ***t, long nrl, long, long ncl, long, long ndl, long)
{
    release_tensor(t, nrl, ncl, ndl);
}
