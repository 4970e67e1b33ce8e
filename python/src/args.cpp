// Argument conversion and checks of the extension (see args.h).
#include "table_calls.h"

#include "batch.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace tvpy {

std::string shape_text(const py::array &a)
{
    std::string text = "(";
    for (py::ssize_t d = 0; d < a.ndim(); d++)
        text += (d ? ", " : "") + std::to_string(a.shape(d));
    return text + (a.ndim() == 1 ? ",)" : ")");
}

void arguments::value_error(const std::string &what) const
{
    throw py::value_error(std::string(function_) + ": " + what);
}

void arguments::type_error(const std::string &what) const
{
    throw py::type_error(std::string(function_) + ": " + what);
}

py::array arguments::checked_kind(py::handle x, const char *name, const char *kinds) const
{
    py::array a = py::array::ensure(x);
    if (!a)
        type_error(std::string(name) + ": expected an array of numbers, got " +
                   std::string(py::str(py::type::handle_of(x).attr("__name__"))));
    const char kind = a.dtype().kind();
    if (!std::strchr(kinds, kind))
        type_error(std::string(name) + ": expected " +
                   (std::strchr(kinds, 'c') ? "complex" : "real") + " numbers, got an array of " +
                   std::string(py::str(a.dtype())));
    return a;
}

farray arguments::rounded(py::handle x, const char *name) const
{
    const py::array a = checked_kind(x, name, "biuf");
    if (a.dtype().kind() != 'f' || a.dtype().itemsize() != sizeof(double))
        return floats(a, name);
    const carray<double> d(a);
    farray out(std::vector<py::ssize_t>(d.shape(), d.shape() + d.ndim()));
    float *o = out.mutable_data();
    for (py::ssize_t i = 0; i < d.size(); i++)
        o[i] = static_cast<float>(d.data()[i]);
    return out;
}

float arguments::scalar(py::handle x, const char *name) const
{
    const farray a = floats(x, name);
    if (a.size() != 1)
        value_error(std::string(name) + ": expected one number, got shape " + shape_text(a));
    return a.data()[0];
}

farray arguments::vector(py::handle x, const char *name, py::ssize_t minimum) const
{
    farray a = floats(x, name);
    if (a.ndim() != 1)
        value_error(std::string(name) + ": expected a 1-D array, got shape " + shape_text(a));
    if (a.size() < minimum)
        value_error(std::string(name) + ": needs at least " + std::to_string(minimum) +
                    " values, got " + std::to_string(a.size()));
    return a;
}

farray arguments::matrix(py::handle x, const char *name, bool square) const
{
    farray m = floats(x, name);
    if (m.ndim() != 2 || m.shape(0) < 1 || m.shape(1) < 1)
        value_error(std::string(name) + ": expected a non-empty 2-D array, got shape " +
                    shape_text(m));
    if (square && m.shape(0) != m.shape(1))
        value_error(std::string(name) + ": expected a square matrix, got shape " + shape_text(m));
    return m;
}

void arguments::same_length(std::initializer_list<const py::array *> arrays) const
{
    std::string sizes;
    bool same = true;
    for (const py::array *a : arrays) {
        same = same && a->size() == (*arrays.begin())->size();
        sizes += (sizes.empty() ? "" : ", ") + std::to_string(a->size());
    }
    if (!same)
        value_error("the arrays must have the same length, got " + sizes);
}

long long arguments::integer(py::handle x, const char *name, long long minimum,
                             long long maximum) const
{
    PyObject *index = PyNumber_Index(x.ptr());
    if (!index) {
        PyErr_Clear();
        type_error(std::string(name) + ": expected an integer, got " +
                   std::string(py::str(py::type::handle_of(x).attr("__name__"))));
    }
    const py::object value = py::reinterpret_steal<py::object>(index);
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(index, &overflow);
    if (overflow < 0 || (!overflow && v < minimum))
        value_error(std::string(name) + " must be at least " + std::to_string(minimum) + ", got " +
                    std::string(py::str(value)));
    if (overflow > 0 || v > maximum)
        throw std::overflow_error(std::string(function_) + ": " + name + " = " +
                                  std::string(py::str(value)) + " is too large (at most " +
                                  std::to_string(maximum) + ")");
    return v;
}

int arguments::sign(py::handle x) const
{
    const long long s = integer(x, "isign", std::numeric_limits<long long>::min(),
                                std::numeric_limits<long long>::max());
    if (s != 1 && s != -1)
        value_error("isign must be +1 or -1, got " + std::to_string(s));
    return static_cast<int>(s);
}

unsigned arguments::threads(py::handle x, std::size_t work, std::size_t small) const
{
    if (x.is_none())
        return work >= small ? 0u : 1u;
    return tessivane::args::worker_threads(work, integer<unsigned>(x, "threads", 1u),
                                           tessivane::batch::default_threads());
}

void check_call(const arguments &args, std::initializer_list<tessivane::args::pointer> pointers,
                std::initializer_list<tessivane::args::rule> rules,
                std::initializer_list<extent> extents, std::initializer_list<held> buffers)
{
    if (const char *missing = tessivane::args::missing_pointer(pointers))
        args.value_error(std::string(missing) + " is missing");
    if (const char *broken = tessivane::args::broken_rule(rules))
        args.value_error(broken);
    for (const extent &e : extents) {
        std::size_t spans = 0;
        const bool sized = e.n1 >= 0 && e.n2 >= 0 && e.n3 >= 0 &&
                           tessivane::args::size_product({static_cast<std::size_t>(e.n1),
                                                          static_cast<std::size_t>(e.n2),
                                                          static_cast<std::size_t>(e.n3)},
                                                         &spans);
        for (const held &h : buffers)
            if (std::strcmp(h.name, e.name) == 0 &&
                (!sized || static_cast<std::size_t>(h.elements) != spans))
                args.value_error(std::string(e.name) + ": expected " +
                                 (sized ? std::to_string(spans) : std::string("fewer")) +
                                 " values, got " + std::to_string(h.elements));
    }
}

}  // namespace tvpy
