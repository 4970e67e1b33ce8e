// The twiddle cache of the fast FFT paths: one immutable table per kind,
// length and isign, filled by the same double recurrence as the portable code.

#include "detail_fft.h"
#include "fft_tables.h"

#include <cstddef>
#include <map>
#include <mutex>
#include <new>
#include <tuple>

namespace tessivane {
namespace detail {
namespace {

enum class Kind { four1, fourn, realft, rlft3 };
using Key = std::tuple<Kind, unsigned long, int>;

struct Cache {
    std::mutex lock;
    std::map<Key, TwiddlePtr> tables;
    std::size_t bytes = 0;
};

Cache &cache()
{
    static Cache instance;
    return instance;
}

std::size_t size_of(const TwiddleTable &t)
{
    return t.d.size() * sizeof(double) + t.f.size() * sizeof(float);
}

// Looks the table up, or builds it and keeps it while the cache has room.
// Any failure to allocate gives a null table, never an error.
template <typename Build>
TwiddlePtr lookup(Kind kind, unsigned long n, int isign, Build build)
{
    const Key key{kind, n, isign};
    Cache &c = cache();
    try {
        {
            std::lock_guard<std::mutex> guard(c.lock);
            auto it = c.tables.find(key);
            if (it != c.tables.end())
                return it->second;
        }
        auto table = std::make_shared<TwiddleTable>();
        build(*table);
        TwiddlePtr shared = std::move(table);
        const std::size_t bytes = size_of(*shared);
        std::lock_guard<std::mutex> guard(c.lock);
        if (c.bytes + bytes > kTwiddleCacheBytes)
            return shared;
        auto inserted = c.tables.emplace(key, shared);
        if (inserted.second)
            c.bytes += bytes;
        return inserted.first->second;
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

// Stage h of a complex transform turns by theta(h) per twiddle; the
// twiddles of all stages h = 1, 2, 4, ..., n/2 are stored one after the other.
template <typename Angle, typename Store>
void fill_stages(unsigned long n, Angle theta_of, Store store)
{
    for (unsigned long h = 1; h < n; h <<= 1) {
        const Rotation step = rotation(theta_of(h));
        double wr = 1.0;
        double wi = 0.0;
        for (unsigned long m = 0; m < h; ++m) {
            store(h - 1 + m, wr, wi);
            advance(wr, wi, step);
        }
    }
}

// The separation twiddles of frequency k = first..last, split into wr and wi.
void fill_separation(TwiddleTable &t, unsigned long last, double wr, double wi,
                     const Rotation &step, unsigned long first)
{
    t.stride = last + 1;
    t.d.assign(2 * t.stride, 0.0);
    for (unsigned long k = first; k <= last; ++k) {
        t.d[k] = wr;
        t.d[t.stride + k] = wi;
        advance(wr, wi, step);
    }
}

}  // namespace

TwiddlePtr four1_twiddles(unsigned long nn, int isign)
{
    return lookup(Kind::four1, nn, isign, [&](TwiddleTable &t) {
        t.d.resize(2 * nn);
        // The stage angle is (2 pi / mmax) * isign with mmax = 2h floats.
        fill_stages(
            nn, [&](unsigned long h) { return (kTwoPi / static_cast<double>(2 * h)) * isign; },
            [&](unsigned long at, double wr, double wi) {
                t.d[2 * at] = wr;
                t.d[2 * at + 1] = wi;
            });
    });
}

TwiddlePtr fourn_twiddles(unsigned long n, int isign)
{
    return lookup(Kind::fourn, n, isign, [&](TwiddleTable &t) {
        t.f.resize(2 * n);
        fill_stages(
            n, [&](unsigned long h) { return isign * kTwoPi / static_cast<double>(2 * h); },
            [&](unsigned long at, double wr, double wi) {
                t.f[2 * at] = static_cast<float>(wr);
                t.f[2 * at + 1] = static_cast<float>(wi);
            });
    });
}

TwiddlePtr realft_twiddles(unsigned long n, bool forward)
{
    return lookup(Kind::realft, n, forward ? 1 : -1, [&](TwiddleTable &t) {
        double theta = kPi / static_cast<double>(n >> 1);
        if (!forward)
            theta = -theta;
        const Rotation step = rotation(theta);
        // Frequency 1 starts at (1 + wpr, wpi) = (cos theta, sin theta).
        fill_separation(t, n >> 2, 1.0 + step.wpr, step.wpi, step, 1);
    });
}

TwiddlePtr rlft3_twiddles(unsigned long nn3, int isign)
{
    return lookup(Kind::rlft3, nn3, isign, [&](TwiddleTable &t) {
        const Rotation step = rotation((kTwoPi / static_cast<double>(nn3)) * isign);
        fill_separation(t, nn3 >> 2, 1.0, 0.0, step, 0);
    });
}

}  // namespace detail

void release_fft_tables()
{
    detail::Cache &c = detail::cache();
    std::map<detail::Key, detail::TwiddlePtr> dropped;
    {
        std::lock_guard<std::mutex> guard(c.lock);
        dropped.swap(c.tables);
        c.bytes = 0;
    }
}

std::size_t fft_table_bytes()
{
    detail::Cache &c = detail::cache();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.bytes;
}

}  // namespace tessivane
