// Special functions and the conversions between statistics and p-values,
// elementwise over arrays the Python side has already broadcast to one shape.
#include "common.h"

#include "stat.h"

#include <tuple>

namespace tvpy {
namespace {

using ulong_array = carray<unsigned long>;

// out[i] = f(in_1[i], ..., in_k[i]) over arrays of one shape, without the GIL.
template <class Out, class F, class... In>
py::array_t<Out> map(F f, const carray<In> &...in)
{
    const auto &first = std::get<0>(std::tie(in...));
    std::vector<py::ssize_t> shape(first.shape(), first.shape() + first.ndim());
    py::array_t<Out> out(shape);
    Out *o = out.mutable_data();
    const py::ssize_t n = first.size();
    auto pointers = std::make_tuple(in.data()...);
    run_library([&] {
        for (py::ssize_t i = 0; i < n; i++)
            o[i] = std::apply([&](const auto *...p) { return f(p[i]...); }, pointers);
    });
    return out;
}

template <class R, class... A>
void def_map(py::module_ &m, const char *name, R (*f)(A...))
{
    m.def(name, [f](const carray<A> &...in) { return map<R>(f, in...); });
}

}  // namespace

void bind_special(py::module_ &m)
{
    def_map(m, "gammln", &gammln);
    def_map(m, "gammq", &gammq);
    def_map(m, "betai", &betai);
    def_map(m, "erfcc", &erfcc);
    def_map(m, "probks", &probks);
    def_map(m, "t_to_p", &t_to_p);
    def_map(m, "t_to_p_real", &t_to_p_real);
    def_map(m, "r_to_p", &r_to_p);
    def_map(m, "F_to_p", &F_to_p);
    def_map(m, "p_to_t", &p_to_t);
    def_map(m, "p_to_r", &p_to_r);
    def_map(m, "p_to_F", &p_to_F);
    def_map(m, "p_to_z", &p_to_z);
    def_map(m, "kstwo_prob", &kstwo_prob);
    def_map(m, "kstwo_prob_exact", &kstwo_prob_exact);
}

}  // namespace tvpy
