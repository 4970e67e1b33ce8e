// Special functions and the conversions between statistics and p-values,
// elementwise over arrays the Python side has already broadcast to one shape
// (the routines of the element-wise batch, elementwise_routines.h):
// on the calling thread for small arrays, on the library's pool
// (tessivane::batch::special) for large ones, with the same bits either way.
#include "args.h"

#include "batch.h"
#include "stat.h"

#include <algorithm>
#include <tuple>

namespace tvpy {
namespace {

namespace tb = tessivane::batch;

template <class A>
using handle_for = py::handle;

// out[i] = f(in_1[i], ..., in_k[i]) on this thread, without the GIL.
template <class Out, class F, class... In>
void map(F f, Out *out, py::ssize_t n, const In *...in)
{
    run_library([&] {
        for (py::ssize_t i = 0; i < n; i++)
            out[i] = f(in[i]...);
    });
}

// The same on the pool, through arguments widened to double (each float and
// each count up to 2^53 exactly).
template <class Out, class... In>
void pooled(tb::special_function code, unsigned threads, Out *out, py::ssize_t n, const In *...in)
{
    std::vector<std::vector<double>> wide{std::vector<double>(in, in + n)...};
    wide.resize(3);
    std::vector<double> result(static_cast<std::size_t>(n));
    special_on_pool(static_cast<int>(code), threads, wide[0].data(),
                    wide[1].empty() ? nullptr : wide[1].data(),
                    wide[2].empty() ? nullptr : wide[2].data(), result);
    std::transform(result.begin(), result.end(), out, [](double v) { return static_cast<Out>(v); });
}

template <class T>
bool exact_in_double(const carray<T> &a)
{
    if constexpr (std::is_integral<T>::value)
        return std::all_of(a.data(), a.data() + a.size(), [](T v) { return v <= (T(1) << 53); });
    return true;
}

template <class R, class... A>
void def_special(py::module_ &m, const char *name, R (*f)(A...), tb::special_function code)
{
    m.def(name, [=](handle_for<A>... in, py::handle threads) {
        const arguments args(name);
        const std::tuple<carray<A>...> arrays(args.array<A>(in, "argument")...);
        const py::array &first = std::get<0>(arrays);
        std::apply(
            [&](const auto &...a) {
                for (const py::array *b : {static_cast<const py::array *>(&a)...})
                    if (b->ndim() != first.ndim() ||
                        !std::equal(b->shape(), b->shape() + b->ndim(), first.shape()))
                        args.value_error("the arguments must have one shape, got " +
                                         shape_text(first) + " and " + shape_text(*b));
            },
            arrays);
        py::array_t<R> out(std::vector<py::ssize_t>(first.shape(), first.shape() + first.ndim()));
        const py::ssize_t n = first.size();
        const unsigned pool = args.threads(threads, static_cast<std::size_t>(n));
        std::apply(
            [&](const auto &...a) {
                if (pool == 1 || !(exact_in_double(a) && ...))
                    map(f, out.mutable_data(), n, a.data()...);
                else
                    pooled(code, pool, out.mutable_data(), n, a.data()...);
            },
            arrays);
        return out;
    });
}

}  // namespace

void bind_special(py::module_ &m)
{
#define TV_ELEMENTWISE(name) def_special(m, #name, &name, tb::special_function::name);
#include "elementwise_routines.h"
}

}  // namespace tvpy
