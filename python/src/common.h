// Shared plumbing of the extension module tessivane._core: the array types it
// takes and returns, the run of a library call without the GIL and in the
// throw mode of the calling thread, 1-based views over NumPy buffers, and the
// context through which a Python callable serves as a model or basis callback.
#ifndef TESSIVANE_PY_COMMON_H
#define TESSIVANE_PY_COMMON_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <complex>
#include <exception>
#include <vector>

#include "errors.h"

namespace tvpy {

namespace py = pybind11;

// The arrays the library works on: C-contiguous and aligned (a view at an odd
// byte address is copied, as other layouts are). Converted by arguments
// (args.h), which checks the element kind first.
template <class T>
using carray = py::array_t<T, py::array::c_style | py::array::forcecast |
                                  py::detail::npy_api::NPY_ARRAY_ALIGNED_>;
using farray = carray<float>;
using zarray = carray<std::complex<float>>;

template <class T>
py::array_t<T> new_array(std::vector<py::ssize_t> shape)
{
    return py::array_t<T>(std::move(shape));
}

// Thrown by a callback trampoline after it stored the Python exception of the
// callable: it unwinds the library (which releases its scratch storage on the
// way) up to run_library(), which raises the stored exception again.
struct callback_aborted {};

// The Python callable a trampoline calls, one per thread, set for the length of
// one library call by callback_scope.
struct callback_context {
    py::handle callable;
    std::exception_ptr error;
};
callback_context *&current_callback();

class callback_scope {
public:
    explicit callback_scope(callback_context &context)
        : previous_(current_callback())
    {
        current_callback() = &context;
    }
    ~callback_scope() { current_callback() = previous_; }
    callback_scope(const callback_scope &) = delete;
    callback_scope &operator=(const callback_scope &) = delete;

private:
    callback_context *previous_;
};

// Stores the exception in flight (the callable's, or a bad return value's) in
// the thread's context and unwinds the library. Call inside a catch (...).
[[noreturn]] void abort_callback();

// Runs a library call with the GIL released and the thread in throw mode, so a
// fatal condition becomes tessivane.NumericsError instead of ending the
// interpreter. A callback's Python exception is raised again unchanged once the
// GIL is back.
template <class F>
auto run_library(F &&f, callback_context *context = nullptr) -> decltype(f())
{
    try {
        py::gil_scoped_release unlocked;
        tessivane::scoped_error_mode mode(tessivane::error_mode::throw_exception);
        return f();
    } catch (const callback_aborted &) {
        if (context && context->error) {
            std::exception_ptr error = context->error;
            context->error = nullptr;
            std::rethrow_exception(error);
        }
        throw std::runtime_error("tessivane: a callback failed without an exception");
    }
}

// Row pointers of a 1-based [1..rows][1..cols] matrix over a row-major buffer:
// rows1(...)[i][j] is base[(i - 1) * cols + (j - 1)].
class rows1 {
public:
    rows1(float *base, py::ssize_t rows, py::ssize_t cols)
        : ptr_(static_cast<size_t>(rows) + 1)
    {
        for (py::ssize_t i = 1; i <= rows; i++)
            ptr_[i] = base + (i - 1) * cols - 1;
    }
    operator float **() { return ptr_.data(); }

private:
    std::vector<float *> ptr_;
};

// The same rows 0-based: rows0(...)[i][j] is base[i * cols + j].
class rows0 {
public:
    rows0(float *base, py::ssize_t rows, py::ssize_t cols)
        : ptr_(static_cast<size_t>(rows))
    {
        for (py::ssize_t i = 0; i < rows; i++)
            ptr_[i] = base + i * cols;
    }
    operator float **() { return ptr_.data(); }

private:
    std::vector<float *> ptr_;
};

// A 1-based handle to a 0-based buffer: one1(p)[1] is p[0].
template <class T>
T *one1(T *p)
{
    return p - 1;
}
template <class T>
T *one1(const T *p)
{
    return const_cast<T *>(p) - 1;
}

// A new float32 array holding a copy of x, for routines that work in place.
farray copy_of(const farray &x);

// tessivane::batch::special(code, x, y, z, out, n = out.size()) on the pool,
// watched as every batch is (Ctrl-C cancels it); a refused element raises
// NumericsError, as the element-wise single calls do.
void special_on_pool(int code, unsigned threads, const double *x, const double *y, const double *z,
                     std::vector<double> &out);

// Registration of each family's functions.
void bind_special(py::module_ &m);
void bind_stats(py::module_ &m);
void bind_fft(py::module_ &m);
void bind_sort(py::module_ &m);
void bind_random(py::module_ &m);
void bind_linalg(py::module_ &m);
void bind_fit(py::module_ &m);
void bind_batch(py::module_ &m);

}  // namespace tvpy

#endif
