// The FFTs on new arrays: the input is copied into the result, which the
// library then transforms in place. complex64 is the library's interleaved
// layout (real part first), so a complex array is passed as it is.
#include "table_calls.h"

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

bool power_of_two(py::ssize_t n, py::ssize_t minimum = 1)
{
    return n >= minimum && (n & (n - 1)) == 0;
}

zarray complex_fft(py::handle z_, py::handle isign_)
{
    const arguments args("four1");
    const zarray z = args.array<std::complex<float>>(z_, "z");
    if (z.ndim() != 1 || !power_of_two(z.size()))
        args.value_error("expected a 1-D array whose length is a power of two, got shape " +
                         shape_text(z));
    const int isign = args.sign(isign_);
    zarray out = copy_complex(z);
    float *data = floats(out);
    const unsigned long nn = static_cast<unsigned long>(z.size());
    call_four1(args, {{"data", 2 * out.size()}}, nullptr, one1(data), nn, isign);
    return out;
}

// realft of x into a new array, or into the caller's out (which may be x itself).
farray real_fft(py::handle x_, py::handle isign_, py::handle out_)
{
    const arguments args("realft");
    const farray x = args.floats(x_, "x");
    const py::ssize_t n = x.size();
    if (x.ndim() != 1 || !power_of_two(n, 2))
        args.value_error("expected a 1-D array whose length is a power of two >= 2, got shape " +
                         shape_text(x));
    const int isign = args.sign(isign_);
    farray out =
        out_.is_none() ? farray(n) : args.out_array<float>(out_, {n}, "1-D C-contiguous float32");
    float *data = out.mutable_data();
    std::memmove(data, x.data(), static_cast<size_t>(n) * sizeof(float));
    call_realft(args, {{"data", n}}, nullptr, one1(data), static_cast<unsigned long>(n), isign);
    return out;
}

zarray nd_fft(py::handle z_, py::handle isign_)
{
    const arguments args("fourn");
    const zarray z = args.array<std::complex<float>>(z_, "z");
    bool extents = z.ndim() >= 1;
    for (py::ssize_t d = 0; d < z.ndim(); d++)
        extents = extents && power_of_two(z.shape(d));
    if (!extents)
        args.value_error("every extent must be a power of two, got shape " + shape_text(z));
    const int isign = args.sign(isign_);
    zarray out = copy_complex(z);
    float *data = floats(out);
    std::vector<unsigned long> nn(1, 0);
    for (py::ssize_t d = 0; d < z.ndim(); d++)
        nn.push_back(static_cast<unsigned long>(z.shape(d)));
    const int ndim = static_cast<int>(z.ndim());
    call_fourn(args, {{"data", 2 * out.size()}, {"nn", ndim}}, nullptr, one1(data), nn.data(), ndim,
               isign);
    return out;
}

// data (nn1, nn2, nn3), or (nn2, nn3) with nn1 = 1, and speq (nn1 * 2 nn2 values;
// zeros when None, for the forward transform), both copied; returns the pair
// the library leaves, speq (nn1, 2 nn2) or (2 nn2,) for 2-D data.
py::tuple real_fft_3d(py::handle data_, py::handle isign_, py::handle speq_)
{
    const arguments args("rlft3");
    const farray data = args.floats(data_, "data");
    const bool flat = data.ndim() == 2;
    if (data.ndim() != 2 && data.ndim() != 3)
        args.value_error("expected a 2-D or 3-D array, got shape " + shape_text(data));
    const py::ssize_t nn1 = flat ? 1 : data.shape(0), nn2 = data.shape(flat ? 0 : 1),
                      nn3 = data.shape(flat ? 1 : 2);
    if (!power_of_two(nn1) || !power_of_two(nn2) || !power_of_two(nn3, 2))
        args.value_error("extents must be powers of two (the last >= 2), got shape " +
                         shape_text(data));
    const int isign = args.sign(isign_);
    if (speq_.is_none() && isign == -1)
        args.value_error("the inverse needs the speq of the forward transform");
    farray d = copy_of(data);
    farray s = speq_.is_none() ? farray(2 * nn1 * nn2) : copy_of(args.floats(speq_, "speq"));
    if (speq_.is_none())
        std::fill_n(s.mutable_data(), s.size(), 0.0f);
    if (s.size() != 2 * nn1 * nn2)
        args.value_error("speq must hold " + std::to_string(2 * nn1 * nn2) + " values, got " +
                         std::to_string(s.size()));
    float *block = d.mutable_data();
    // A 1-based tensor over the contiguous block: column pointers, then rows.
    std::vector<float *> columns(static_cast<size_t>(nn1 * nn2));
    for (py::ssize_t c = 0; c < nn1 * nn2; c++)
        columns[static_cast<size_t>(c)] = block + c * nn3 - 1;
    std::vector<float **> rows(static_cast<size_t>(nn1) + 1);
    for (py::ssize_t i = 1; i <= nn1; i++)
        rows[static_cast<size_t>(i)] = columns.data() + (i - 1) * nn2 - 1;
    rows1 sp(s.mutable_data(), nn1, 2 * nn2);
    call_rlft3(args, {{"data", d.size()}, {"speq", s.size()}}, nullptr, rows.data(), sp,
               static_cast<unsigned long>(nn1), static_cast<unsigned long>(nn2),
               static_cast<unsigned long>(nn3), isign);
    if (flat)
        return py::make_tuple(d, s.reshape({2 * nn2}));
    return py::make_tuple(d, s.reshape({nn1, 2 * nn2}));
}

// Seconds per call of what real_fft does in C++ (copy, then realft), for the
// benchmark's comparison with the call from Python.
double time_real_fft(py::handle x_, int isign, int repeats)
{
    const farray x = arguments("_time_realft").floats(x_, "x");
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
    m.def("four1", &complex_fft, py::arg("z"), py::arg("isign") = 1);
    m.def("realft", &real_fft, py::arg("x"), py::arg("isign") = 1, py::arg("out") = py::none());
    m.def("fourn", &nd_fft, py::arg("z"), py::arg("isign") = 1);
    m.def("rlft3", &real_fft_3d, py::arg("data"), py::arg("isign") = 1,
          py::arg("speq") = py::none());
    m.def("_time_realft", &time_real_fft);
}

}  // namespace tvpy
