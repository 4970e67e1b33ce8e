// Radix sorts behind sort(), hpsort() and sort2() on the AVX2 path.
//
// A sorted float sequence is unique except for where NaNs go and the relative order of -0 and
// +0 (they compare equal but differ in bits). When neither can arise, every correct sort gives
// the same bits as the quicksort, so an LSD radix sort of the keys, mapped to unsigned integers
// in the same order, may take its place. With a companion array the placement of companions of
// equal keys is the quicksort's own, so sort2() needs all keys distinct; that is only known
// once they are sorted, which is why the pairs are sorted in scratch and copied out only when
// no two neighbours are equal.
//
// Everything here works in scratch that it obtains without ending the process: when memory is
// short, or the input does not qualify, the caller runs the quicksort or the heap sort instead.

#include "detail_sort.h"
#include "detail_isa.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <immintrin.h>

namespace tessivane {
namespace detail {
namespace {

// Digits of kDigitBits bits; kDigits of them cover a 32-bit key. (Eight-bit digits, four
// passes, measured slower from a thousand keys up.)
constexpr int kDigitBits = 11;
constexpr int kDigits = (32 + kDigitBits - 1) / kDigitBits;
constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;

// The caller's floats seen as keys while they are being sorted.
typedef std::uint32_t __attribute__((may_alias)) aliased_u32;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Scratch = std::unique_ptr<T[], FreeDeleter>;

template <typename T>
Scratch<T> try_scratch(unsigned long n)
{
    return Scratch<T>(static_cast<T *>(std::malloc(n * sizeof(T))));
}

inline std::uint32_t float_bits(float x)
{
    std::uint32_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

inline float bits_float(std::uint32_t u)
{
    float x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// An unsigned key in the order of the floats: negatives (sign set) reversed below the
// positives. -0 and +0 get neighbouring keys, which is why inputs holding both are refused.
inline std::uint32_t ordered_key(std::uint32_t bits)
{
    return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

inline std::uint32_t key_bits(std::uint32_t key)
{
    return (key & 0x80000000u) ? (key & 0x7fffffffu) : ~key;
}

inline unsigned digit(std::uint32_t key, int d)
{
    return (key >> (d * kDigitBits)) & (kBuckets - 1);
}

// Whether x[0..n) holds a NaN, or a -0 together with a +0. Eight floats at a time, checked
// after every block so that an input that fails early costs little.
TV_TARGET_AVX2 bool order_is_ambiguous(unsigned long n, const float x[])
{
    constexpr unsigned long kBlock = 1024;
    const __m256i magnitude = _mm256_set1_epi32(0x7fffffff);
    const __m256i infinity = _mm256_set1_epi32(0x7f800000);
    const __m256i minus_zero_bits = _mm256_set1_epi32(static_cast<int>(0x80000000u));
    __m256i nan = _mm256_setzero_si256(), plus_zero = nan, minus_zero = nan;
    unsigned long i = 0;
    while (i + 8 <= n) {
        const unsigned long end = i + kBlock <= n ? i + kBlock : n - (n - i) % 8;
        for (; i < end; i += 8) {
            const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(x + i));
            // Magnitudes above that of infinity are NaNs (a signed compare suffices below 2^31).
            nan =
                _mm256_or_si256(nan, _mm256_cmpgt_epi32(_mm256_and_si256(u, magnitude), infinity));
            plus_zero = _mm256_or_si256(plus_zero, _mm256_cmpeq_epi32(u, _mm256_setzero_si256()));
            minus_zero = _mm256_or_si256(minus_zero, _mm256_cmpeq_epi32(u, minus_zero_bits));
        }
        if (!_mm256_testz_si256(nan, nan) || (!_mm256_testz_si256(plus_zero, plus_zero) &&
                                              !_mm256_testz_si256(minus_zero, minus_zero)))
            return true;
    }
    bool has_nan = !_mm256_testz_si256(nan, nan);
    bool has_plus_zero = !_mm256_testz_si256(plus_zero, plus_zero);
    bool has_minus_zero = !_mm256_testz_si256(minus_zero, minus_zero);
    for (; i < n; i++) {
        const std::uint32_t u = float_bits(x[i]);
        has_nan |= (u & 0x7fffffffu) > 0x7f800000u;
        has_plus_zero |= u == 0u;
        has_minus_zero |= u == 0x80000000u;
    }
    return has_nan || (has_plus_zero && has_minus_zero);
}

// Whether two keys of a sample (one from each block of 64 positions) are equal: a tie that
// would only come to light after the pairs are sorted, found for about 1% of the sort's cost
// on inputs with many ties. Finding none proves nothing; the sorted keys are checked anyway.
bool sample_has_tie(unsigned long n, const float x[])
{
    constexpr unsigned long kBlock = 64;
    const unsigned long m = n / kBlock;
    Scratch<float> sample = try_scratch<float>(m);
    if (!sample)
        return false;
    for (unsigned long b = 0; b < m; b++)
        sample[b] = x[b * kBlock + (b * 2654435761u) % kBlock];
    std::sort(sample.get(), sample.get() + m);
    return std::adjacent_find(sample.get(), sample.get() + m) != sample.get() + m;
}

using Histograms = std::uint32_t[kDigits][kBuckets];

// Turns counts into starting offsets; returns false for a digit every key shares, whose pass
// would move nothing.
bool offsets(std::uint32_t count[kBuckets], unsigned long n)
{
    std::uint32_t sum = 0;
    bool shared = false;
    for (std::size_t b = 0; b < kBuckets; b++) {
        shared |= count[b] == n;
        const std::uint32_t c = count[b];
        count[b] = sum;
        sum += c;
    }
    return !shared;
}

// The scatters store at dst[p] and ask for the cache line after it: each bucket is written
// as a stream, and with two thousand streams the line a stream enters next is rarely cached,
// so without the request every sixteenth key (eighth pair) of a stream would wait for it. (A
// request beyond the array is harmless: prefetches do not fault.) Below kPrefetchMinimum
// items the requests cost more than they save (measured: 4% for 10^5 keys, 6% for 10^5
// pairs, nothing either way near 1.5 * 10^5 pairs).
constexpr unsigned long kPrefetchMinimum = 1ul << 17;
TV_TARGET_AVX2 inline void prefetch_next_line(const void *at)
{
    __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<std::uintptr_t>(at) + 64),
                       1);
}

template <bool kPrefetch>
TV_TARGET_AVX2 inline void put(aliased_u32 *dst, std::uint32_t p, std::uint32_t key)
{
    dst[p] = key;
    if (kPrefetch)
        prefetch_next_line(dst + p);
}

// One stable scatter pass by digit d.
template <bool kPrefetch, typename Item, typename KeyOf>
TV_TARGET_AVX2 void scatter(unsigned long n, const Item *src, Item *dst,
                            std::uint32_t offset[kBuckets], int d, KeyOf key_of)
{
    for (unsigned long i = 0; i < n; i++) {
        const Item item = src[i];
        const std::uint32_t p = offset[digit(key_of(item), d)]++;
        dst[p] = item;
        if (kPrefetch)
            prefetch_next_line(dst + p);
    }
}

// One stable scatter pass of keys by digit d; kToFloat stores float bits instead of keys.
template <bool kToFloat, bool kPrefetch>
TV_TARGET_AVX2 void scatter_keys(unsigned long n, const aliased_u32 *src, aliased_u32 *dst,
                                 std::uint32_t offset[kBuckets], int d)
{
    for (unsigned long i = 0; i < n; i++) {
        const std::uint32_t k = src[i];
        put<kPrefetch>(dst, offset[digit(k, d)]++, kToFloat ? key_bits(k) : k);
    }
}

// scatter_keys with its choices made at run time.
TV_TARGET_AVX2 void scatter_keys_as(bool to_float, bool prefetch, unsigned long n,
                                    const aliased_u32 *src, aliased_u32 *dst,
                                    std::uint32_t offset[kBuckets], int d)
{
    if (to_float && prefetch)
        scatter_keys<true, true>(n, src, dst, offset, d);
    else if (to_float)
        scatter_keys<true, false>(n, src, dst, offset, d);
    else if (prefetch)
        scatter_keys<false, true>(n, src, dst, offset, d);
    else
        scatter_keys<false, false>(n, src, dst, offset, d);
}

// The last pass by the top digit, which for most data takes few values (sign and exponent):
// a scatter into few buckets makes each key's position wait for the previous update of the
// same counter in memory. So that pass walks its source as kSections sections side by side,
// each with offsets of its own. The sections are ranges of the middle digit, whose pass leaves
// them contiguous, so the keys per section and top bucket can be counted with the rest in the
// first read. Each section's keys of a bucket follow those of the sections before it, as in
// one walk, so the pass stays stable.
//
// Only from kSectionMinimum keys up, where filling the sections' offsets costs a few percent
// of the pass at most.
constexpr int kSections = 8;
constexpr int kSectionShift = kDigitBits - 3;  // middle digit >> kSectionShift is its section
constexpr unsigned kFewBuckets = 256;
constexpr unsigned long kSectionMinimum = 1ul << 17;
constexpr int kMiddle = kDigits - 2, kTop = kDigits - 1;

using SectionCounts = std::uint32_t[kSections][kBuckets];

// Turns keys[0..n) into ordered keys in scratch and counts every digit; with kBySections the
// top digit per section of the middle digit instead (count[kTop] stays 0).
template <bool kBySections>
TV_TARGET_AVX2 void count_digits(unsigned long n, const aliased_u32 *keys, std::uint32_t *scratch,
                                 Histograms &count, SectionCounts *top_by_section)
{
    for (unsigned long i = 0; i < n; i++) {
        const std::uint32_t k = ordered_key(keys[i]);
        scratch[i] = k;
        for (int d = 0; d < (kBySections ? kTop : kDigits); d++)
            count[d][digit(k, d)]++;
        if (kBySections)
            (*top_by_section)[digit(k, kMiddle) >> kSectionShift][digit(k, kTop)]++;
    }
}

unsigned buckets_in_use(const std::uint32_t count[kBuckets])
{
    unsigned used = 0;
    for (std::size_t b = 0; b < kBuckets; b++)
        used += count[b] != 0;
    return used;
}

// The last pass (float bits out) by digit d, from the sections' counts; start holds each
// bucket's first position.
TV_TARGET_AVX2 void scatter_floats_by_sections(const aliased_u32 *src, aliased_u32 *dst,
                                               const std::uint32_t start[kBuckets], int d,
                                               SectionCounts &offset)
{
    unsigned long begin[kSections], length[kSections];
    unsigned long at = 0, shortest = ~0ul;
    for (int s = 0; s < kSections; s++) {
        length[s] = 0;
        for (std::size_t b = 0; b < kBuckets; b++)
            length[s] += offset[s][b];
        begin[s] = at;
        at += length[s];
        shortest = std::min(shortest, length[s]);
    }
    // The sections' offsets, in place of their counts.
    for (std::size_t b = 0; b < kBuckets; b++) {
        std::uint32_t next = start[b];
        for (int s = 0; s < kSections; s++) {
            const std::uint32_t c = offset[s][b];
            offset[s][b] = next;
            next += c;
        }
    }
    for (unsigned long i = 0; i < shortest; i++) {
#pragma GCC unroll 8
        for (int s = 0; s < kSections; s++) {
            const std::uint32_t k = src[begin[s] + i];
            put<true>(dst, offset[s][digit(k, d)]++, key_bits(k));
        }
    }
    for (int s = 0; s < kSections; s++)
        for (unsigned long i = shortest; i < length[s]; i++) {
            const std::uint32_t k = src[begin[s] + i];
            put<true>(dst, offset[s][digit(k, d)]++, key_bits(k));
        }
}

}  // namespace

TV_TARGET_AVX2 bool radix_sort(unsigned long n, float arr[])
{
    if (n < kRadixMinimum || n > 0xffffffffu || order_is_ambiguous(n, arr + 1))
        return false;
    Scratch<std::uint32_t> scratch = try_scratch<std::uint32_t>(n);
    if (!scratch)
        return false;

    // From here on nothing declines. The keys travel between the scratch and the caller's
    // array, starting in the scratch; the last pass that moves them turns them back into floats.
    aliased_u32 *const keys = reinterpret_cast<aliased_u32 *>(arr + 1);
    Histograms count;
    std::memset(count, 0, sizeof count);
    Scratch<SectionCounts> sections;
    if (n >= kSectionMinimum)
        sections = try_scratch<SectionCounts>(1);
    if (sections) {
        // The top digit's totals are the sums of its counts per section.
        std::memset(sections.get(), 0, sizeof(SectionCounts));
        count_digits<true>(n, keys, scratch.get(), count, sections.get());
        for (int s = 0; s < kSections; s++)
            for (std::size_t b = 0; b < kBuckets; b++)
                count[kTop][b] += sections[0][s][b];
    } else {
        count_digits<false>(n, keys, scratch.get(), count, nullptr);
    }
    const bool top_by_sections = sections && buckets_in_use(count[kTop]) <= kFewBuckets;
    bool moves[kDigits];
    int last = -1;
    for (int d = 0; d < kDigits; d++) {
        moves[d] = offsets(count[d], n);
        if (moves[d])
            last = d;
    }
    aliased_u32 *src = scratch.get(), *dst = keys;
    for (int d = 0; d < kDigits; d++) {
        if (!moves[d])
            continue;
        // The sections are contiguous in the source only after the middle digit's pass.
        if (d == kTop && top_by_sections && moves[kMiddle])
            scatter_floats_by_sections(src, dst, count[d], d, sections[0]);
        else
            scatter_keys_as(d == last, n >= kPrefetchMinimum, n, src, dst, count[d], d);
        std::swap(src, dst);
    }
    // After an even number of passes the floats are in the scratch (or, when no pass moved
    // anything, still keys there).
    if (src != keys)
        for (unsigned long i = 0; i < n; i++)
            keys[i] = last < 0 ? key_bits(src[i]) : src[i];
    return true;
}

TV_TARGET_AVX2 bool radix_sort_distinct_pairs(unsigned long n, float arr[], float brr[])
{
    if (n < kRadixMinimum || n > 0xffffffffu || order_is_ambiguous(n, arr + 1) ||
        sample_has_tie(n, arr + 1))
        return false;
    Scratch<std::uint64_t> scratch_a = try_scratch<std::uint64_t>(n);
    Scratch<std::uint64_t> scratch_b = try_scratch<std::uint64_t>(n);
    if (!scratch_a || !scratch_b)
        return false;

    // The key in the high half, the companion's bits in the low half.
    std::uint64_t *src = scratch_a.get(), *dst = scratch_b.get();
    const auto key_of = [](std::uint64_t item) { return static_cast<std::uint32_t>(item >> 32); };
    Histograms count;
    std::memset(count, 0, sizeof count);
    for (unsigned long i = 0; i < n; i++) {
        const std::uint32_t k = ordered_key(float_bits(arr[i + 1]));
        src[i] = (std::uint64_t{k} << 32) | float_bits(brr[i + 1]);
        for (int d = 0; d < kDigits; d++)
            count[d][digit(k, d)]++;
    }
    for (int d = 0; d < kDigits; d++) {
        if (!offsets(count[d], n))
            continue;
        if (n >= kPrefetchMinimum)
            scatter<true>(n, src, dst, count[d], d, key_of);
        else
            scatter<false>(n, src, dst, count[d], d, key_of);
        std::swap(src, dst);
    }
    for (unsigned long i = 1; i < n; i++)
        if (key_of(src[i]) == key_of(src[i - 1]))
            return false;
    for (unsigned long i = 0; i < n; i++) {
        arr[i + 1] = bits_float(key_bits(key_of(src[i])));
        brr[i + 1] = bits_float(static_cast<std::uint32_t>(src[i]));
    }
    return true;
}

}  // namespace detail
}  // namespace tessivane
