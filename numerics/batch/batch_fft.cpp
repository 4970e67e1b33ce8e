// Batches of the one-dimensional FFTs. Each series is gathered into a 1-based
// vector of its worker and transformed by the single call, as a caller's
// loop would do it; where the processor has vector lanes, blocks of eight
// (AVX2) or sixteen (AVX-512) neighbouring series go through the lanes instead
// (detail_fft_lanes.h), every lane taking the single call's operations, so
// the bits are the same.

#include "detail_batch.h"
#include "detail_fft.h"
#include "detail_fft_lanes.h"
#include "detail_refuse.h"
#include "stat.h"

#include <algorithm>
#include <memory>

namespace tessivane {
namespace batch {

using detail::float_offset;
using detail::kNaN;
using detail::lane_layout;
using detail::lane_twiddles;

namespace {

// What the two transforms differ in.
struct transform {
    const char *name;
    unsigned width;        // floats per sample: 1 real (realft), 2 complex (four1)
    unsigned long length;  // samples per series (n for realft, nn for four1)
    int isign;
};

// The lane kernels of the active path for series of `floats` floats: the
// widest whose work array (lanes x floats, at most 128 KiB) stays in the
// level-2 cache, or none (lanes 0: every row takes the single call, whose own
// fast path is made for long transforms). `tile`: the blocks done together
// (series side by side only, see tile_blocks).
struct lane_kernels {
    std::size_t lanes = 0;
    detail::four1_lanes_fn four1 = nullptr;
    detail::realft_lanes_fn realft = nullptr;
    std::size_t tile = 1;
};

constexpr std::size_t kMaxLaneWork = 32768;

// Series side by side (columns) are read and written a sample at a time,
// each sample of a block on a cache line (and usually a page) of its own: a
// tile of up to eight blocks, with work arrays of at most 64 KiB together,
// takes whole lines of every sample at once, so that each line of the input
// and of the output is moved once.
constexpr std::size_t kMaxTileWork = 16384, kMaxTile = 8;

std::size_t tile_blocks(const lane_layout &L, std::size_t lanes, std::size_t floats)
{
    if (lanes == 0 || L.series != static_cast<std::ptrdiff_t>(L.width))
        return 1;
    return std::clamp<std::size_t>(kMaxTileWork / (lanes * floats), 1, kMaxTile);
}

// An output of at least this many bytes, apart from the input, is written
// around the caches (lane_layout::stream): it would not stay in them anyway.
constexpr std::size_t kStreamBytes = std::size_t(32) << 20;

lane_kernels kernels_for(std::size_t floats)
{
    const isa path = active_isa();
    if (path == isa::avx512 && 16 * floats <= kMaxLaneWork)
        return {16, detail::four1_lanes_avx512, detail::realft_lanes_avx512};
    if (path != isa::portable && 8 * floats <= kMaxLaneWork)
        return {8, detail::four1_lanes_avx2, detail::realft_lanes_avx2};
    return {};
}

// The layout of x in floats.
lane_layout layout_of(const series_view &x, unsigned width)
{
    lane_layout L;
    L.series = x.series_stride * static_cast<std::ptrdiff_t>(width);
    L.sample = x.sample_stride * static_cast<std::ptrdiff_t>(width);
    L.width = width;
    return L;
}

// Twiddle tables of the whole batch, shared by every row and worker; empty
// when the lanes are not used (or memory is short: then the rows take the
// single calls).
struct batch_twiddles {
    tessivane::detail::TwiddlePtr four1, separation;
    lane_twiddles w;

    // realft of n runs four1 of n/2 with isign +1 (forward) or -1.
    static tessivane::detail::TwiddlePtr four1_table(const transform &t, bool wanted)
    {
        if (!wanted)
            return {};
        if (t.width == 2)
            return tessivane::detail::four1_twiddles(t.length, t.isign);
        return tessivane::detail::four1_twiddles(t.length / 2, t.isign == 1 ? 1 : -1);
    }
    static tessivane::detail::TwiddlePtr separation_table(const transform &t, bool wanted)
    {
        if (!wanted || t.width == 2)
            return {};
        return tessivane::detail::realft_twiddles(t.length, t.isign == 1);
    }

    batch_twiddles(const transform &t, bool wanted)
        : four1(four1_table(t, wanted))
        , separation(separation_table(t, wanted))
    {
        if (!four1 || (t.width == 1 && !separation))
            return;
        w.four1 = four1->d;
        if (separation) {
            w.wr = separation->d;
            w.wi = separation->d + separation->stride;
        }
    }
    bool ready() const { return w.four1 != nullptr; }
};

// Per-worker scratch: a 1-based vector for a single call and the work array
// of a lane block, each on its own cache lines.
class fft_scratch {
public:
    fft_scratch(unsigned workers, std::size_t floats, std::size_t lanes)
        : single_((floats + 1 + kLine - 1) / kLine)
        , lanes_((lanes * floats + kLine - 1) / kLine)
        , block_(new line[(single_ + lanes_) * workers])
    {}
    float *single(unsigned worker) { return block_[worker * (single_ + lanes_)].f; }
    float *lanes(unsigned worker) { return block_[worker * (single_ + lanes_) + single_].f; }

private:
    static constexpr std::size_t kLine = 16;
    struct alignas(64) line {
        float f[kLine];
    };
    std::size_t single_, lanes_;
    std::unique_ptr<line[]> block_;
};

// Chunks of whole lane blocks.
detail::row_plan plan_in_blocks(std::size_t count, const batch_options &options, std::size_t lanes)
{
    detail::row_plan plan = detail::plan_rows(count, options);
    plan.chunk = (plan.chunk + lanes - 1) / lanes * lanes;
    const std::size_t chunks = std::max<std::size_t>(1, (count + plan.chunk - 1) / plan.chunk);
    plan.workers = static_cast<unsigned>(std::min<std::size_t>(plan.workers, chunks));
    return plan;
}

batch_report transform_rows(const transform &t, const series_view &x, float *out,
                            const batch_options &options)
{
    detail::require_data(t.name, x, "the input");
    if (!out && x.count > 0 && x.length > 0)
        detail::refuse("batch %s: out is null", t.name);
    if (x.series_stride == 0 && x.count > 1)
        detail::refuse("batch %s: the input is shared (series_stride 0), each series needs its "
                       "own place in out",
                       t.name);
    const std::size_t floats = t.width * x.length;
    lane_layout L = layout_of(x, t.width);
    L.stream = out != x.data && x.count * floats * sizeof(float) >= kStreamBytes;
    const batch_twiddles tables(t, kernels_for(floats).lanes > 0);
    lane_kernels k = tables.ready() ? kernels_for(floats) : lane_kernels();
    k.tile = tile_blocks(L, k.lanes, floats);
    const std::size_t tile_lanes = k.tile * k.lanes;
    const detail::row_plan plan = k.lanes ? plan_in_blocks(x.count, options, tile_lanes)
                                          : detail::plan_rows(x.count, options);
    fft_scratch scratch(plan.workers, floats, tile_lanes);
    auto series = [&](std::size_t s) { return static_cast<std::ptrdiff_t>(s) * L.series; };
    auto single = [&](std::size_t s, unsigned worker) {
        float *d = scratch.single(worker);
        for (std::size_t j = 0; j < floats; j++)
            d[j + 1] = x.data[series(s) + float_offset(L, j)];
        if (t.width == 1)
            ::realft(d, t.length, t.isign);
        else
            ::four1(d, t.length, t.isign);
        for (std::size_t j = 0; j < floats; j++)
            out[series(s) + float_offset(L, j)] = d[j + 1];
    };
    auto blank = [&](std::size_t s, row_state, const char *) {
        for (std::size_t j = 0; j < floats; j++)
            out[series(s) + float_offset(L, j)] = kNaN;
    };
    auto blocks = [&](std::size_t begin, std::size_t end, unsigned worker) -> std::size_t {
        std::size_t s = begin;
        while (k.lanes && end - s >= k.lanes) {
            // A whole tile, else the blocks that are left.
            const std::size_t blocks = std::min(k.tile, (end - s) / k.lanes);
            const float *in = x.data + series(s);
            float *work = scratch.lanes(worker);
            const bool done =
                t.width == 1
                    ? k.realft(in, out + series(s), L, t.length, t.isign, tables.w, blocks, work)
                    : k.four1(in, out + series(s), L, t.length, tables.w, blocks, work);
            if (!done)
                break;
            s += blocks * k.lanes;
        }
        return s - begin;
    };
    return detail::for_each_row(plan, options, single, blank, blocks);
}

}  // namespace

batch_report realft(const series_view &x, float *out, int isign, const batch_options &options)
{
    const unsigned long n = x.length;
    if (n < 2 || !tessivane::detail::is_power_of_two(n))
        detail::refuse("batch realft: n = %lu is not a power of two >= 2", n);
    return transform_rows({"realft", 1, n, isign}, x, out, options);
}

batch_report four1(const series_view &z, float *out, int isign, const batch_options &options)
{
    const unsigned long nn = z.length;
    if (!tessivane::detail::is_power_of_two(nn))
        detail::refuse("batch four1: nn = %lu is not a power of two (1, 2, 4, ...)", nn);
    return transform_rows({"four1", 2, nn, isign}, z, out, options);
}

}  // namespace batch
}  // namespace tessivane
