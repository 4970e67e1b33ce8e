// The arguments of one public function as the extension takes them: every
// array becomes a C-contiguous, aligned array of the element type the library
// computes in (copied when its layout, alignment or type differ), every shape
// and integer is checked before the library runs, and every error names the
// public function and the argument (TypeError, ValueError, OverflowError). The
// functions of tessivane._core are therefore safe to call directly.
#ifndef TESSIVANE_PY_ARGS_H
#define TESSIVANE_PY_ARGS_H

#include "common.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tvpy {

// "(3, 4)", as NumPy prints a shape.
std::string shape_text(const py::array &a);

class arguments {
public:
    explicit arguments(const char *function)
        : function_(function)
    {}
    const char *function() const { return function_; }

    // x as an array of T; real numbers (bool, integer, float) only, float64
    // values rounded when T is float. complex64 accepts complex numbers too.
    // What NumPy raises while converting (an overflow in the cast under
    // np.errstate(over="raise") or with warnings as errors) propagates.
    template <class T>
    carray<T> array(py::handle x, const char *name) const
    {
        return carray<T>(checked_kind(x, name, is_complex<T>() ? "biufc" : "biuf"));
    }
    farray floats(py::handle x, const char *name) const { return array<float>(x, name); }
    // As floats(), for the values a Python basis or model returns: float64
    // values are rounded to float by the C conversion, without NumPy's overflow
    // warning (a value beyond float's range becomes the infinity of its sign,
    // as the documented rounding to float32 gives it).
    farray rounded(py::handle x, const char *name) const;

    // The caller's out array: a writeable, aligned, C-contiguous array of T
    // of the given shape (the result is written into it).
    template <class T>
    carray<T> out_array(py::handle out, const std::vector<py::ssize_t> &shape,
                        const char *what) const
    {
        constexpr int usable = py::detail::npy_api::NPY_ARRAY_C_CONTIGUOUS_ |
                               py::detail::npy_api::NPY_ARRAY_ALIGNED_ |
                               py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
        if (!py::isinstance<py::array_t<T>>(out) ||
            (py::reinterpret_borrow<py::array>(out).flags() & usable) != usable)
            value_error(std::string("out must be a writeable ") + what + " array");
        auto o = py::reinterpret_borrow<carray<T>>(out);
        if (!std::equal(shape.begin(), shape.end(), o.shape(), o.shape() + o.ndim()))
            value_error("x and out need one shape, got " + shape_text(o) + " for out");
        return o;
    }
    // One real number, rounded to float.
    float scalar(py::handle x, const char *name) const;
    // A 1-D float32 array of at least `minimum` values.
    farray vector(py::handle x, const char *name, py::ssize_t minimum = 1) const;
    // A non-empty 2-D float32 array; square: rows == columns.
    farray matrix(py::handle x, const char *name, bool square = false) const;
    // Arrays of one length.
    void same_length(std::initializer_list<const py::array *> arrays) const;

    // An integer in [minimum, maximum]: TypeError for a non-integer, ValueError
    // below minimum, OverflowError above maximum.
    long long integer(py::handle x, const char *name, long long minimum, long long maximum) const;
    template <class T>
    T integer(py::handle x, const char *name, T minimum = std::numeric_limits<T>::min()) const
    {
        return static_cast<T>(
            integer(x, name, static_cast<long long>(minimum),
                    static_cast<long long>(std::min<unsigned long long>(
                        std::numeric_limits<T>::max(), std::numeric_limits<long long>::max()))));
    }
    // isign: +1 or -1.
    int sign(py::handle x) const;
    // The pool size for `work` rows: None gives 1 below `small` rows (where
    // starting workers costs more than it saves) and 0 (every CPU the process
    // may use) otherwise; a count >= 1 is capped at the rows and at a few
    // threads per CPU.
    unsigned threads(py::handle x, std::size_t work, std::size_t small = 2048) const;

    [[noreturn]] void value_error(const std::string &what) const;
    [[noreturn]] void type_error(const std::string &what) const;

private:
    template <class T>
    static constexpr bool is_complex()
    {
        return !std::is_arithmetic<T>::value;
    }
    py::array checked_kind(py::handle x, const char *name, const char *kinds) const;

    const char *function_;
};

}  // namespace tvpy

#endif
