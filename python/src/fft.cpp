// The FFTs on new arrays: the input is copied into the result, which the
// library then transforms in place. complex64 is the library's interleaved
// layout (real part first), so a complex array is passed as it is.
#include "common.h"

#include "stat.h"

#include <chrono>
#include <cstring>

namespace tvpy {
namespace {

zarray copy_complex(const zarray &z)
{
    std::vector<py::ssize_t> shape(z.shape(), z.shape() + z.ndim());
    zarray out(shape);
    std::memcpy(out.mutable_data(), z.data(),
                static_cast<size_t>(z.size()) * sizeof(std::complex<float>));
    return out;
}

float *floats(zarray &z)
{
    return reinterpret_cast<float *>(z.mutable_data());
}

zarray complex_fft(const zarray &z, int isign)
{
    zarray out = copy_complex(z);
    float *data = floats(out);
    const unsigned long nn = static_cast<unsigned long>(z.size());
    run_library([&] { four1(one1(data), nn, isign); });
    return out;
}

farray real_fft(const farray &x, int isign)
{
    const py::ssize_t n = x.size();
    farray out(n);
    float *data = out.mutable_data();
    const float *in = x.data();
    run_library([&] {
        std::memcpy(data, in, static_cast<size_t>(n) * sizeof(float));
        realft(one1(data), static_cast<unsigned long>(n), isign);
    });
    return out;
}

// realft into the caller's array out (of x's size), which may be x itself.
farray real_fft_into(const farray &x, farray out, int isign)
{
    float *data = out.mutable_data();
    const py::ssize_t n = x.size();
    const float *in = x.data();
    run_library([&] {
        std::memmove(data, in, static_cast<size_t>(n) * sizeof(float));
        realft(one1(data), static_cast<unsigned long>(n), isign);
    });
    return out;
}

// realft of arguments that need neither conversion nor a message: x a 1-D
// C-contiguous float32 array of a power-of-two length >= 2, isign +1 or -1, out
// None or a writeable array of the same kind and length. None for anything
// else, which the Python wrapper then converts and checks; this keeps the call
// overhead of the common case small.
py::object real_fft_ready(const py::handle &x, int isign, const py::handle &out)
{
    if (!py::isinstance<farray>(x) || (isign != 1 && isign != -1))
        return py::none();
    const auto a = py::reinterpret_borrow<farray>(x);
    const py::ssize_t n = a.size();
    if (a.ndim() != 1 || n < 2 || (n & (n - 1)) != 0)
        return py::none();
    if (out.is_none())
        return real_fft(a, isign);
    if (!py::isinstance<farray>(out))
        return py::none();
    auto o = py::reinterpret_borrow<farray>(out);
    if (o.ndim() != 1 || o.size() != n || !o.writeable())
        return py::none();
    return real_fft_into(a, o, isign);
}

zarray nd_fft(const zarray &z, int isign)
{
    zarray out = copy_complex(z);
    float *data = floats(out);
    std::vector<unsigned long> nn(1, 0);
    for (py::ssize_t d = 0; d < z.ndim(); d++)
        nn.push_back(static_cast<unsigned long>(z.shape(d)));
    const int ndim = static_cast<int>(z.ndim());
    run_library([&] { fourn(one1(data), nn.data(), ndim, isign); });
    return out;
}

// data (nn1, nn2, nn3) and speq (nn1, 2 nn2), both copied; returns the pair the
// library leaves.
py::tuple real_fft_3d(const farray &data, const farray &speq, int isign)
{
    farray d = copy_of(data), s = copy_of(speq);
    const py::ssize_t nn1 = data.shape(0), nn2 = data.shape(1), nn3 = data.shape(2);
    float *block = d.mutable_data();
    // A 1-based tensor over the contiguous block: column pointers, then rows.
    std::vector<float *> columns(static_cast<size_t>(nn1 * nn2));
    for (py::ssize_t c = 0; c < nn1 * nn2; c++)
        columns[static_cast<size_t>(c)] = block + c * nn3 - 1;
    std::vector<float **> rows(static_cast<size_t>(nn1) + 1);
    for (py::ssize_t i = 1; i <= nn1; i++)
        rows[static_cast<size_t>(i)] = columns.data() + (i - 1) * nn2 - 1;
    rows1 sp(s.mutable_data(), nn1, 2 * nn2);
    run_library([&] {
        rlft3(rows.data(), sp, static_cast<unsigned long>(nn1), static_cast<unsigned long>(nn2),
              static_cast<unsigned long>(nn3), isign);
    });
    return py::make_tuple(d, s);
}

// Seconds per call of what real_fft does in C++ (copy, then realft), for the
// benchmark's comparison with the call from Python.
double time_real_fft(const farray &x, int isign, int repeats)
{
    const unsigned long n = static_cast<unsigned long>(x.size());
    std::vector<float> work(n);
    double seconds = 0.0;
    run_library([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < repeats; r++) {
            std::memcpy(work.data(), x.data(), n * sizeof(float));
            realft(work.data() - 1, n, isign);
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });
    return seconds / repeats;
}

}  // namespace

void bind_fft(py::module_ &m)
{
    m.def("four1", &complex_fft);
    m.def("realft", &real_fft);
    m.def("realft_ready", &real_fft_ready);
    m.def("realft_into", &real_fft_into);
    m.def("fourn", &nd_fft);
    m.def("rlft3", &real_fft_3d);
    m.def("_time_realft", &time_real_fft);
}

}  // namespace tvpy
