// Sorting, ranking and selection on copies of the caller's arrays.
#include "table_calls.h"

#include <cstring>

namespace tvpy {
namespace {

unsigned long count(const py::array &x)
{
    return static_cast<unsigned long>(x.size());
}

farray sorted(py::handle x_)
{
    const arguments args("sort");
    farray out = copy_of(args.vector(x_, "x", 0));
    call_sort(args, {{"arr", out.size()}}, nullptr, count(out), one1(out.mutable_data()));
    return out;
}

farray heap_sorted(py::handle x_)
{
    const arguments args("hpsort");
    farray out = copy_of(args.vector(x_, "x", 0));
    call_hpsort(args, {{"ra", out.size()}}, nullptr, count(out), one1(out.mutable_data()));
    return out;
}

py::tuple sorted_pair(py::handle a_, py::handle b_)
{
    const arguments args("sort2");
    const farray a = args.vector(a_, "a", 0), b = args.vector(b_, "b", 0);
    args.same_length({&a, &b});
    farray sa = copy_of(a), sb = copy_of(b);
    float *pa = sa.mutable_data(), *pb = sb.mutable_data();
    call_sort2(args, {{"arr", sa.size()}, {"brr", sb.size()}}, nullptr, count(a), one1(pa),
               one1(pb));
    return py::make_tuple(sa, sb);
}

// crank on a copy of the sorted w: the ranks and the tie sum s.
py::tuple ranks(py::handle w_)
{
    const arguments args("crank");
    const farray w = args.vector(w_, "w", 0);
    farray out = copy_of(w);
    float *p = out.mutable_data();
    for (py::ssize_t i = 1; i < w.size(); i++)
        if (!(p[i] >= p[i - 1]))
            args.value_error("w must be sorted ascending (and free of NaNs)");
    float s = 0.0f;
    call_crank(args, {{"w", out.size()}}, nullptr, count(w), one1(p), &s);
    return py::make_tuple(out, s);
}

// The k-th smallest value (k 0-based) of a copy of x: select on float32
// input, select_ushort (giving an int) on uint16 input.
template <class T, class Select>
T kth(const arguments &args, const carray<T> &x, unsigned long k, Select select_kth)
{
    std::vector<T> copy(x.data(), x.data() + x.size());
    return select_kth(args, {{"arr", x.size()}}, nullptr, k + 1, count(x), one1(copy.data()));
}

py::object selected(py::handle x_, py::handle k_)
{
    const arguments args("select");
    const auto k = args.integer<long long>(k_, "k");
    const py::array any = py::array::ensure(x_);
    const bool ushort = any && any.dtype().is(py::dtype::of<unsigned short>());
    const py::array x =
        ushort ? py::array(args.array<unsigned short>(x_, "x")) : py::array(args.floats(x_, "x"));
    if (x.ndim() != 1 || x.size() == 0)
        args.value_error("expected a non-empty 1-D array, got shape " + shape_text(x));
    if (k < 0 || k >= x.size())
        args.value_error("k = " + std::to_string(k) + " is outside 0.." +
                         std::to_string(x.size() - 1));
    const auto k0 = static_cast<unsigned long>(k);
    if (ushort)
        return py::int_(
            kth(args, py::reinterpret_borrow<carray<unsigned short>>(x), k0, &call_select_ushort));
    return py::float_(kth(args, py::reinterpret_borrow<farray>(x), k0, &call_select));
}

}  // namespace

void bind_sort(py::module_ &m)
{
    m.def("sort", &sorted, py::arg("x"));
    m.def("hpsort", &heap_sorted, py::arg("x"));
    m.def("sort2", &sorted_pair, py::arg("a"), py::arg("b"));
    m.def("crank", &ranks, py::arg("w"));
    m.def("select", &selected, py::arg("x"), py::arg("k"));
}

}  // namespace tvpy
