// The extension module tessivane._core: the library's routines on NumPy
// buffers. The Python package (python/tessivane) converts and checks the
// arguments, then calls in here.
#include "lm_args.h"

#include "version.h"

#include <cstring>
#include <dlfcn.h>

namespace tvpy {

callback_context *&current_callback()
{
    thread_local callback_context *context = nullptr;
    return context;
}

void abort_callback()
{
    callback_context *context = current_callback();
    if (context)
        context->error = std::current_exception();
    throw callback_aborted{};
}

farray copy_of(const farray &x)
{
    std::vector<py::ssize_t> shape(x.shape(), x.shape() + x.ndim());
    farray out(shape);
    std::memcpy(out.mutable_data(), x.data(), static_cast<size_t>(x.size()) * sizeof(float));
    return out;
}

}  // namespace tvpy

PYBIND11_MODULE(_core, m)
{
    namespace py = pybind11;
    m.doc() = "libtessivane's numerics on NumPy buffers (use the tessivane package instead)";
    py::register_exception<tessivane::numerics_error>(m, "NumericsError", PyExc_RuntimeError);
    // The version compiled against, and the version and file of the library
    // the dynamic loader chose, which the package compares at import.
    m.attr("__version__") = TESSIVANE_VERSION_STRING;
    m.attr("version_major") = TESSIVANE_VERSION_MAJOR;
    m.def("library_version", [] { return std::string(tessivane::version()); });
    m.def("library_path", [] {
        Dl_info info{};
        const bool found = dladdr(reinterpret_cast<void *>(&tessivane::version), &info) != 0;
        return std::string(found && info.dli_fname ? info.dli_fname : "?");
    });
    tvpy::bind_special(m);
    tvpy::bind_stats(m);
    tvpy::bind_fft(m);
    tvpy::bind_sort(m);
    tvpy::bind_random(m);
    tvpy::bind_linalg(m);
    tvpy::bind_lm_codes(m);
    tvpy::bind_fit(m);
    tvpy::bind_batch(m);
}
