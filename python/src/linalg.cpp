// Linear algebra on (rows, cols) float32 arrays: each routine works on copies
// laid out as the library's 1-based row-pointer matrices (0-based for the
// inverse) and returns them.
#include "table_calls.h"

namespace tvpy {
namespace {

int dim(const py::array &a, int axis)
{
    return static_cast<int>(a.shape(axis));
}

// u (m, n), w (n,), v (n, n) and whether every singular value converged.
py::tuple svd(py::handle a_)
{
    const arguments args("svdcmp");
    const farray a = args.matrix(a_, "a");
    const int m = dim(a, 0), n = dim(a, 1);
    farray u = copy_of(a);
    farray w(n), v(std::vector<py::ssize_t>{n, n});
    rows1 pu(u.mutable_data(), m, n), pv(v.mutable_data(), n, n);
    float *pw = w.mutable_data();
    bool converged = true;
    call_svdcmp(args, {{"a", u.size()}, {"w", n}, {"v", v.size()}}, nullptr, pu, m, n, one1(pw),
                pv);
    converged = tessivane::last_svd_converged();  // the flag of this thread's last svdcmp
    return py::make_tuple(u, w, v, converged);
}

farray svd_solve(py::handle u_, py::handle w_, py::handle v_, py::handle b_)
{
    const arguments args("svbksb");
    const farray u = args.matrix(u_, "u");
    const int m = dim(u, 0), n = dim(u, 1);
    const farray w = args.vector(w_, "w", 0), v = args.matrix(v_, "v", true),
                 b = args.vector(b_, "b", 0);
    farray uc = copy_of(u), vc = copy_of(v), wc = copy_of(w), bc = copy_of(b), x(n);
    rows1 pu(uc.mutable_data(), m, n), pv(vc.mutable_data(), n, n);
    float *pw = wc.mutable_data(), *pb = bc.mutable_data(), *px = x.mutable_data();
    call_svbksb(args,
                {{"u", uc.size()}, {"w", wc.size()}, {"v", vc.size()}, {"b", bc.size()}, {"x", n}},
                nullptr, pu, one1(pw), pv, m, n, one1(pb), one1(px));
    return x;
}

farray svd_covariance(py::handle v_, py::handle w_)
{
    const arguments args("svdvar");
    const farray v = args.matrix(v_, "v", true);
    const int ma = dim(v, 0);
    const farray w = args.vector(w_, "w", 0);
    farray vc = copy_of(v), wc = copy_of(w), cvm(std::vector<py::ssize_t>{ma, ma});
    rows1 pv(vc.mutable_data(), ma, ma), pc(cvm.mutable_data(), ma, ma);
    float *pw = wc.mutable_data();
    call_svdvar(args, {{"v", vc.size()}, {"w", wc.size()}, {"cvm", cvm.size()}}, nullptr, pv, ma,
                one1(pw), pc);
    return cvm;
}

// a (n, n) and b (n,), (n, m) or None in; the inverse and the solutions (in
// b's shape, None without b) out.
py::tuple gauss_jordan(py::handle a_, py::handle b_)
{
    const arguments args("gaussj");
    const farray a = args.matrix(a_, "a", true);
    const int n = dim(a, 0);
    farray bc =
        b_.is_none() ? farray(std::vector<py::ssize_t>{n, 0}) : copy_of(args.floats(b_, "b"));
    if (bc.ndim() < 1 || bc.ndim() > 2 || bc.shape(0) != n)
        args.value_error("b must have shape (" + std::to_string(n) + ",) or (" + std::to_string(n) +
                         ", m), got " + shape_text(bc));
    const int m = bc.ndim() == 1 ? 1 : dim(bc, 1);
    farray ac = copy_of(a);
    rows1 pa(ac.mutable_data(), n, n), pb(bc.mutable_data(), n, m > 0 ? m : 1);
    call_gaussj(args, {{"a", ac.size()}, {"b", bc.size()}}, nullptr, pa, n, pb, m);
    return py::make_tuple(ac, b_.is_none() ? py::object(py::none()) : py::object(bc));
}

// d (n,), v (n, n) with the eigenvectors as columns, and the rotation count.
py::tuple eigen(py::handle a_)
{
    const arguments args("jacobi");
    const farray a = args.matrix(a_, "a", true);
    const int n = dim(a, 0);
    farray ac = copy_of(a), d(n), v(std::vector<py::ssize_t>{n, n});
    rows1 pa(ac.mutable_data(), n, n), pv(v.mutable_data(), n, n);
    float *pd = d.mutable_data();
    int nrot = 0;
    call_jacobi(args, {{"a", ac.size()}, {"d", n}, {"v", v.size()}}, nullptr, pa, n, one1(pd), pv,
                &nrot);
    return py::make_tuple(d, v, nrot);
}

py::tuple eigen_sorted(py::handle d_, py::handle v_)
{
    const arguments args("eigsrt");
    const farray v = args.matrix(v_, "v", true);
    const int n = dim(v, 0);
    const farray d = args.vector(d_, "d", 0);
    farray dc = copy_of(d), vc = copy_of(v);
    rows1 pv(vc.mutable_data(), n, n);
    float *pd = dc.mutable_data();
    call_eigsrt(args, {{"d", dc.size()}, {"v", vc.size()}}, nullptr, one1(pd), pv, n);
    return py::make_tuple(dc, vc);
}

farray inverse(py::handle a_)
{
    const arguments args("inverse");
    const farray a = args.matrix(a_, "a", true);
    const int n = dim(a, 0);
    farray ac = copy_of(a), inv(std::vector<py::ssize_t>{n, n});
    rows0 pa(ac.mutable_data(), n, n), pi(inv.mutable_data(), n, n);
    call_getInverseMatrixUsingSVD(args, {{"m", ac.size()}, {"inv", inv.size()}}, nullptr, pa, pi,
                                  n);
    return inv;
}

}  // namespace

void bind_linalg(py::module_ &m)
{
    m.def("svdcmp", &svd, py::arg("a"));
    m.def("svbksb", &svd_solve, py::arg("u"), py::arg("w"), py::arg("v"), py::arg("b"));
    m.def("svdvar", &svd_covariance, py::arg("v"), py::arg("w"));
    m.def("gaussj", &gauss_jordan, py::arg("a"), py::arg("b") = py::none());
    m.def("jacobi", &eigen, py::arg("a"));
    m.def("eigsrt", &eigen_sorted, py::arg("d"), py::arg("v"));
    m.def("inverse", &inverse, py::arg("a"));
}

}  // namespace tvpy
