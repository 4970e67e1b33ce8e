// Ran1: a thread-owned random stream (tessivane::ran1_stream) for Python. A
// lock keeps two Python threads that share one object from drawing at once;
// the draws of a large request run without the GIL.
#include "args.h"

#include "stat.h"

#include <mutex>

namespace tvpy {
namespace {

class stream {
public:
    explicit stream(py::handle seed)
        : stream_(arguments("Ran1").integer<long>(seed, "seed"))
    {}

    float uniform()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return stream_.uniform();
    }
    float gaussian()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return stream_.gaussian();
    }
    farray uniforms(py::tuple size) { return draw(size, &tessivane::ran1_stream::uniform); }
    farray gaussians(py::tuple size) { return draw(size, &tessivane::ran1_stream::gaussian); }
    void reseed(py::handle seed)
    {
        const long value = arguments("Ran1.reseed").integer<long>(seed, "seed");
        std::lock_guard<std::mutex> lock(mutex_);
        stream_.reseed(value);
    }
    long idum()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return stream_.idum();
    }

private:
    // An array of the shape `size` (a tuple of extents >= 0) of deviates.
    farray draw(py::tuple size, float (tessivane::ran1_stream::*deviate)())
    {
        std::vector<py::ssize_t> shape;
        for (py::handle extent : size)
            shape.push_back(arguments("Ran1").integer<py::ssize_t>(extent, "size", 0));
        farray out(shape);
        const py::ssize_t n = out.size();
        float *p = out.mutable_data();
        run_library([&] {
            std::lock_guard<std::mutex> lock(mutex_);
            for (py::ssize_t i = 0; i < n; i++)
                p[i] = (stream_.*deviate)();
        });
        return out;
    }

    std::mutex mutex_;
    tessivane::ran1_stream stream_;
};

}  // namespace

void bind_random(py::module_ &m)
{
    py::class_<stream>(m, "Ran1Stream")
        .def(py::init<py::handle>(), py::arg("seed") = -1)
        .def("uniform", &stream::uniform)
        .def("gaussian", &stream::gaussian)
        .def("uniforms", &stream::uniforms)
        .def("gaussians", &stream::gaussians)
        .def("reseed", &stream::reseed)
        .def_property_readonly("idum", &stream::idum);
}

}  // namespace tvpy
