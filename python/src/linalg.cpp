// Linear algebra on (rows, cols) float32 arrays: each routine works on copies
// laid out as the library's 1-based row-pointer matrices (0-based for the
// inverse) and returns them.
#include "common.h"

#include "stat.h"

namespace tvpy {
namespace {

int dim(const py::array &a, int axis)
{
    return static_cast<int>(a.shape(axis));
}

// u (m, n), w (n,), v (n, n) and whether every singular value converged.
py::tuple svd(const farray &a)
{
    const int m = dim(a, 0), n = dim(a, 1);
    farray u = copy_of(a);
    farray w(n), v(std::vector<py::ssize_t>{n, n});
    rows1 pu(u.mutable_data(), m, n), pv(v.mutable_data(), n, n);
    float *pw = w.mutable_data();
    bool converged = true;
    run_library([&] {
        svdcmp(pu, m, n, one1(pw), pv);
        converged = tessivane::last_svd_converged();
    });
    return py::make_tuple(u, w, v, converged);
}

farray svd_solve(const farray &u, const farray &w, const farray &v, const farray &b)
{
    const int m = dim(u, 0), n = dim(u, 1);
    farray uc = copy_of(u), vc = copy_of(v), wc = copy_of(w), bc = copy_of(b), x(n);
    rows1 pu(uc.mutable_data(), m, n), pv(vc.mutable_data(), n, n);
    float *pw = wc.mutable_data(), *pb = bc.mutable_data(), *px = x.mutable_data();
    run_library([&] { svbksb(pu, one1(pw), pv, m, n, one1(pb), one1(px)); });
    return x;
}

farray svd_covariance(const farray &v, const farray &w)
{
    const int ma = dim(v, 0);
    farray vc = copy_of(v), wc = copy_of(w), cvm(std::vector<py::ssize_t>{ma, ma});
    rows1 pv(vc.mutable_data(), ma, ma), pc(cvm.mutable_data(), ma, ma);
    float *pw = wc.mutable_data();
    run_library([&] { svdvar(pv, ma, one1(pw), pc); });
    return cvm;
}

// a (n, n) and b (n, m) in, their copies out as the inverse and the solutions.
py::tuple gauss_jordan(const farray &a, const farray &b)
{
    const int n = dim(a, 0), m = dim(b, 1);
    farray ac = copy_of(a), bc = copy_of(b);
    rows1 pa(ac.mutable_data(), n, n), pb(bc.mutable_data(), n, m > 0 ? m : 1);
    run_library([&] { gaussj(pa, n, pb, m); });
    return py::make_tuple(ac, bc);
}

// d (n,), v (n, n) with the eigenvectors as columns, and the rotation count.
py::tuple eigen(const farray &a)
{
    const int n = dim(a, 0);
    farray ac = copy_of(a), d(n), v(std::vector<py::ssize_t>{n, n});
    rows1 pa(ac.mutable_data(), n, n), pv(v.mutable_data(), n, n);
    float *pd = d.mutable_data();
    int nrot = 0;
    run_library([&] { jacobi(pa, n, one1(pd), pv, &nrot); });
    return py::make_tuple(d, v, nrot);
}

py::tuple eigen_sorted(const farray &d, const farray &v)
{
    const int n = dim(v, 0);
    farray dc = copy_of(d), vc = copy_of(v);
    rows1 pv(vc.mutable_data(), n, n);
    float *pd = dc.mutable_data();
    run_library([&] { eigsrt(one1(pd), pv, n); });
    return py::make_tuple(dc, vc);
}

farray inverse(const farray &a)
{
    const int n = dim(a, 0);
    farray ac = copy_of(a), inv(std::vector<py::ssize_t>{n, n});
    rows0 pa(ac.mutable_data(), n, n), pi(inv.mutable_data(), n, n);
    run_library([&] { getInverseMatrixUsingSVD(pa, pi, n); });
    return inv;
}

}  // namespace

void bind_linalg(py::module_ &m)
{
    m.def("svdcmp", &svd);
    m.def("svbksb", &svd_solve);
    m.def("svdvar", &svd_covariance);
    m.def("gaussj", &gauss_jordan);
    m.def("jacobi", &eigen);
    m.def("eigsrt", &eigen_sorted);
    m.def("inverse", &inverse);
}

}  // namespace tvpy
