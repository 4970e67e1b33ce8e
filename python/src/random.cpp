// Ran1: a thread-owned random stream (tessivane::ran1_stream) for Python. A
// lock keeps two Python threads that share one object from drawing at once;
// the draws of a large request run without the GIL.
#include "common.h"

#include "stat.h"

#include <mutex>

namespace tvpy {
namespace {

class stream {
public:
    explicit stream(long seed)
        : stream_(seed)
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
    farray uniforms(py::ssize_t n) { return draw(n, &tessivane::ran1_stream::uniform); }
    farray gaussians(py::ssize_t n) { return draw(n, &tessivane::ran1_stream::gaussian); }
    void reseed(long seed)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stream_.reseed(seed);
    }
    long idum()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return stream_.idum();
    }

private:
    farray draw(py::ssize_t n, float (tessivane::ran1_stream::*deviate)())
    {
        farray out(n);
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
        .def(py::init<long>())
        .def("uniform", &stream::uniform)
        .def("gaussian", &stream::gaussian)
        .def("uniforms", &stream::uniforms)
        .def("gaussians", &stream::gaussians)
        .def("reseed", &stream::reseed)
        .def_property_readonly("idum", &stream::idum);
}

}  // namespace tvpy
