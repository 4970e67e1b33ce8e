// Sorting, ranking and selection on copies of the caller's arrays.
#include "common.h"

#include "stat.h"

#include <cstring>

namespace tvpy {
namespace {

unsigned long count(const py::array &x)
{
    return static_cast<unsigned long>(x.size());
}

farray sorted(const farray &x)
{
    farray out = copy_of(x);
    float *p = out.mutable_data();
    run_library([&] { sort(count(x), one1(p)); });
    return out;
}

farray heap_sorted(const farray &x)
{
    farray out = copy_of(x);
    float *p = out.mutable_data();
    run_library([&] { hpsort(count(x), one1(p)); });
    return out;
}

py::tuple sorted_pair(const farray &a, const farray &b)
{
    farray sa = copy_of(a), sb = copy_of(b);
    float *pa = sa.mutable_data(), *pb = sb.mutable_data();
    run_library([&] { sort2(count(a), one1(pa), one1(pb)); });
    return py::make_tuple(sa, sb);
}

// crank on a copy of the sorted w: the ranks and the tie sum s.
py::tuple ranks(const farray &w)
{
    farray out = copy_of(w);
    float *p = out.mutable_data();
    float s = 0.0f;
    run_library([&] { crank(count(w), one1(p), &s); });
    return py::make_tuple(out, s);
}

// k is 1-based here; the partially ordered copy comes back with the value.
py::tuple selected(const farray &x, unsigned long k)
{
    farray out = copy_of(x);
    float *p = out.mutable_data();
    float value = 0.0f;
    run_library([&] { value = select(k, count(x), one1(p)); });
    return py::make_tuple(value, out);
}

py::tuple selected_ushort(const carray<unsigned short> &x, unsigned long k)
{
    carray<unsigned short> out(x.size());
    std::memcpy(out.mutable_data(), x.data(),
                static_cast<size_t>(x.size()) * sizeof(unsigned short));
    unsigned short *p = out.mutable_data();
    unsigned short value = 0;
    run_library([&] { value = select_ushort(k, count(x), one1(p)); });
    return py::make_tuple(value, out);
}

}  // namespace

void bind_sort(py::module_ &m)
{
    m.def("sort", &sorted);
    m.def("hpsort", &heap_sorted);
    m.def("sort2", &sorted_pair);
    m.def("crank", &ranks);
    m.def("select", &selected);
    m.def("select_ushort", &selected_ushort);
}

}  // namespace tvpy
