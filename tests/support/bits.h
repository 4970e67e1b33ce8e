#ifndef TESSIVANE_TEST_SUPPORT_BITS_H
#define TESSIVANE_TEST_SUPPORT_BITS_H

// FNV-1a hashes of result bits, for the tests that pin results exactly.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tv_test {

// FNV-1a (64 bits) over the bytes of the values added, in memory order. NaNs
// hash as one canonical NaN: which payload survives an operation on two NaNs
// depends on the compiler's operand order, not on the library.
class BitHash {
public:
    BitHash() = default;
    explicit BitHash(std::uint64_t offset_basis)
        : value_(offset_basis)
    {}
    void bytes(const void *p, std::size_t n)
    {
        const auto *c = static_cast<const unsigned char *>(p);
        for (std::size_t i = 0; i < n; i++)
            value_ = (value_ ^ c[i]) * 0x100000001b3ULL;
    }
    void operator()(float f)
    {
        std::uint32_t u;
        std::memcpy(&u, &f, sizeof u);
        if (std::isnan(f))
            u = 0x7fc00000u;
        bytes(&u, sizeof u);
    }
    void operator()(double d)
    {
        std::uint64_t u;
        std::memcpy(&u, &d, sizeof u);
        if (std::isnan(d))
            u = 0x7ff8000000000000ULL;
        bytes(&u, sizeof u);
    }
    void operator()(long long i) { bytes(&i, sizeof i); }
    // v[lo..hi], and the rows rl..rh of m over columns cl..ch.
    void range(const float *v, long lo, long hi)
    {
        for (long i = lo; i <= hi; i++)
            (*this)(v[i]);
    }
    void range(float **m, long rl, long rh, long cl, long ch)
    {
        for (long r = rl; r <= rh; r++)
            range(m[r], cl, ch);
    }
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 0xcbf29ce484222325ULL;
};

// The hash of p[0..count-1], from the offset basis the transform tests' recorded
// values were made with (one digit short of the standard one; just as good a start).
inline std::uint64_t fnv1a(const float *p, std::size_t count)
{
    BitHash h(1469598103934665603ULL);
    h.range(p, 0, static_cast<long>(count) - 1);
    return h.value();
}

}  // namespace tv_test

#endif
