// The twiddle cache of the fast FFT paths: one immutable table per kind,
// length and isign, filled by the same double recurrence as the portable code.
// Plain arrays and a fixed set of slots keep the library's exported symbols
// free of container instantiations.

#include "detail_fft.h"
#include "fft_tables.h"

#include <mutex>
#include <new>

namespace tessivane {
namespace detail {
namespace {

enum class Kind { four1, fourn, realft, rlft3 };

struct Slot {
    Kind kind;
    unsigned long n;
    int isign;
    TwiddleTable *table;
};

const int kSlots = 64;

struct Cache {
    std::mutex lock;
    Slot slots[kSlots] = {};
    std::size_t bytes = 0;

    void clear()
    {
        for (Slot &s : slots) {
            TwiddlePtr::drop(s.table);
            s.table = nullptr;
        }
        bytes = 0;
    }
};

// Never destroyed: when a thread ends the process with exit() (nrerror's
// default), the static destructors run while other threads may still be
// transforming; they keep finding the lock and their tables. The system takes
// the memory back with the process.
Cache &cache()
{
    static Cache &instance = *new Cache;
    return instance;
}

TwiddleTable *allocate(std::size_t doubles, std::size_t floats)
{
    TwiddleTable *t = new (std::nothrow) TwiddleTable;
    if (t == nullptr)
        return nullptr;
    t->d = doubles ? new (std::nothrow) double[doubles]() : nullptr;
    t->f = floats ? new (std::nothrow) float[floats]() : nullptr;
    t->bytes = doubles * sizeof(double) + floats * sizeof(float);
    if ((doubles && t->d == nullptr) || (floats && t->f == nullptr)) {
        TwiddlePtr::drop(t);
        return nullptr;
    }
    return t;
}

// Looks the table up, or builds it and keeps it while the cache has room.
// A table that cannot be allocated is null, never an error.
template <typename Build>
TwiddlePtr lookup(Kind kind, unsigned long n, int isign, std::size_t doubles, std::size_t floats,
                  Build build)
{
    Cache &c = cache();
    {
        std::lock_guard<std::mutex> guard(c.lock);
        for (Slot &s : c.slots)
            if (s.table != nullptr && s.kind == kind && s.n == n && s.isign == isign) {
                s.table->holders.fetch_add(1, std::memory_order_relaxed);
                return TwiddlePtr(s.table);
            }
    }
    TwiddleTable *t = allocate(doubles, floats);
    if (t == nullptr)
        return TwiddlePtr();
    build(*t);
    std::lock_guard<std::mutex> guard(c.lock);
    Slot *free_slot = nullptr;
    for (Slot &s : c.slots) {
        if (s.table != nullptr && s.kind == kind && s.n == n && s.isign == isign) {
            // Another thread built it meanwhile: both hold the same values.
            TwiddlePtr::drop(t);
            s.table->holders.fetch_add(1, std::memory_order_relaxed);
            return TwiddlePtr(s.table);
        }
        if (s.table == nullptr && free_slot == nullptr)
            free_slot = &s;
    }
    if (free_slot != nullptr && c.bytes + t->bytes <= kTwiddleCacheBytes) {
        *free_slot = {kind, n, isign, t};
        c.bytes += t->bytes;
        t->holders.fetch_add(1, std::memory_order_relaxed);
    }
    return TwiddlePtr(t);
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
            store(h, m, wr, wi);
            advance(wr, wi, step);
        }
    }
}

// The separation twiddles of frequency k = first..last, split into wr and wi.
void fill_separation(TwiddleTable &t, unsigned long last, double wr, double wi,
                     const Rotation &step, unsigned long first)
{
    t.stride = last + 1;
    for (unsigned long k = first; k <= last; ++k) {
        t.d[k] = wr;
        t.d[t.stride + k] = wi;
        advance(wr, wi, step);
    }
}

}  // namespace

void TwiddlePtr::drop(TwiddleTable *t)
{
    if (t == nullptr || t->holders.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    delete[] t->d;
    delete[] t->f;
    delete t;
}

TwiddlePtr four1_twiddles(unsigned long nn, int isign)
{
    return lookup(Kind::four1, nn, isign, 2 * nn, 0, [&](TwiddleTable &t) {
        // The stage angle is (2 pi / mmax) * isign with mmax = 2h floats.
        fill_stages(
            nn, [&](unsigned long h) { return (kTwoPi / static_cast<double>(2 * h)) * isign; },
            [&](unsigned long h, unsigned long m, double wr, double wi) {
                // Chunks of min(h, 8) twiddles: their wr values, then their wi values.
                const unsigned long chunk = h < 8 ? h : 8;
                double *at = t.d + 2 * (h - 1) + 2 * (m - m % chunk) + m % chunk;
                at[0] = wr;
                at[chunk] = wi;
            });
    });
}

TwiddlePtr fourn_twiddles(unsigned long n, int isign)
{
    return lookup(Kind::fourn, n, isign, 0, 2 * n, [&](TwiddleTable &t) {
        fill_stages(
            n, [&](unsigned long h) { return isign * kTwoPi / static_cast<double>(2 * h); },
            [&](unsigned long h, unsigned long m, double wr, double wi) {
                t.f[2 * (h - 1 + m)] = static_cast<float>(wr);
                t.f[2 * (h - 1 + m) + 1] = static_cast<float>(wi);
            });
    });
}

TwiddlePtr realft_twiddles(unsigned long n, bool forward)
{
    const unsigned long last = n >> 2;
    return lookup(Kind::realft, n, forward ? 1 : -1, 2 * (last + 1), 0, [&](TwiddleTable &t) {
        double theta = kPi / static_cast<double>(n >> 1);
        if (!forward)
            theta = -theta;
        const Rotation step = rotation(theta);
        // Frequency 1 starts at (1 + wpr, wpi) = (cos theta, sin theta).
        fill_separation(t, last, 1.0 + step.wpr, step.wpi, step, 1);
    });
}

TwiddlePtr rlft3_twiddles(unsigned long nn3, int isign)
{
    const unsigned long last = nn3 >> 2;
    return lookup(Kind::rlft3, nn3, isign, 2 * (last + 1), 0, [&](TwiddleTable &t) {
        const Rotation step = rotation((kTwoPi / static_cast<double>(nn3)) * isign);
        fill_separation(t, last, 1.0, 0.0, step, 0);
    });
}

}  // namespace detail

void release_fft_tables()
{
    detail::Cache &c = detail::cache();
    std::lock_guard<std::mutex> guard(c.lock);
    c.clear();
}

std::size_t fft_table_bytes()
{
    detail::Cache &c = detail::cache();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.bytes;
}

}  // namespace tessivane
