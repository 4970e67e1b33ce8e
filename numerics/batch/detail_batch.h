// Internal to libtessivane (not installed): the row scheduler under every
// batch, and the helpers that hand one series to a single-call routine.
#ifndef TESSIVANE_NUMERICS_DETAIL_BATCH_H
#define TESSIVANE_NUMERICS_DETAIL_BATCH_H

#include <cstddef>
#include <limits>
#include <memory>
#include <vector>

#include "batch.h"

namespace tessivane {
namespace batch {
namespace detail {

// How a batch of `count` rows is cut: rows are handed out in chunks of
// consecutive rows (so a worker walking columns reads neighbouring voxels),
// small enough that the threads stay balanced when rows differ in cost.
struct row_plan {
    std::size_t count = 0;
    std::size_t chunk = 1;
    unsigned workers = 1;
};

// `max_chunk`: the most rows a chunk holds (fewer for rows that take long,
// so that the threads finish together).
row_plan plan_rows(std::size_t count, const batch_options &options, std::size_t max_chunk = 256);

// One batch's work. run() computes a row on worker `worker` (0..workers-1,
// each worker one thread, so per-worker scratch needs no lock) and may throw;
// blank() writes a row that has no result: refused (with the message) or
// skipped after a cancellation (state not_run, message null).
//
// run_block(), offered the rows [begin, end) of a chunk, may do a leading part
// of them together (rows that no refusal can stop, several in one go) and
// returns how many it did; the scheduler runs the rest one by one.
class row_job {
public:
    virtual void run(std::size_t row, unsigned worker) = 0;
    virtual void blank(std::size_t row, row_state state, const char *message) = 0;
    virtual std::size_t run_block(std::size_t /*begin*/, std::size_t /*end*/, unsigned /*worker*/)
    {
        return 0;
    }

protected:
    ~row_job() = default;
};

// Runs every row of the plan on plan.workers threads, each in throw mode,
// while the calling thread reports progress; see batch_options.
batch_report run_rows(const row_plan &plan, const batch_options &options, row_job &job);

// A row_job that does no rows together.
struct row_by_row {
    std::size_t operator()(std::size_t, std::size_t, unsigned) const { return 0; }
};

// A row_job from callables: run(row, worker), blank(row, state, message) and
// block(begin, end, worker) (see run_block).
template <class Run, class Blank, class Block>
class callable_job final : public row_job {
public:
    callable_job(Run run, Blank blank, Block block)
        : run_(run)
        , blank_(blank)
        , block_(block)
    {}
    void run(std::size_t row, unsigned worker) override { run_(row, worker); }
    void blank(std::size_t row, row_state state, const char *message) override
    {
        blank_(row, state, message);
    }
    std::size_t run_block(std::size_t begin, std::size_t end, unsigned worker) override
    {
        return block_(begin, end, worker);
    }

private:
    Run run_;
    Blank blank_;
    Block block_;
};

template <class Run, class Blank, class Block = row_by_row>
batch_report for_each_row(const row_plan &plan, const batch_options &options, Run run, Blank blank,
                          Block block = Block())
{
    callable_job<Run, Blank, Block> job(run, blank, block);
    return run_rows(plan, options, job);
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Writes NaN at `row` of every output that is not null.
inline void blank_outputs(std::size_t row, std::initializer_list<float *> outputs)
{
    for (float *out : outputs)
        if (out)
            out[row] = kNaN;
}

// Sample k (0-based) of series s.
inline const float *series_start(const series_view &v, std::size_t s)
{
    return v.data + static_cast<std::ptrdiff_t>(s) * v.series_stride;
}

// Copies series s into one_based[1..length], as a caller would lay it out for
// a single call.
inline void gather(const series_view &v, std::size_t s, float *one_based)
{
    const float *p = series_start(v, s);
    for (std::size_t k = 0; k < v.length; k++)
        one_based[k + 1] = p[static_cast<std::ptrdiff_t>(k) * v.sample_stride];
}

// Per-worker 1-based float vectors: vec(worker, i) has room for indices 1..n_i.
// One block, each worker's part starting on its own cache line.
class worker_vectors {
public:
    worker_vectors(unsigned workers, std::initializer_list<std::size_t> lengths)
    {
        for (std::size_t n : lengths) {
            offset_[vectors_++] = per_worker_;
            per_worker_ += n + 1;
        }
        per_worker_ = (per_worker_ + kLine - 1) / kLine * kLine;
        block_.reset(new float[per_worker_ * workers]);
    }
    float *vec(unsigned worker, std::size_t i)
    {
        return block_.get() + worker * per_worker_ + offset_[i];
    }

private:
    static constexpr std::size_t kLine = 16;  // floats per 64-byte line
    std::unique_ptr<float[]> block_;
    std::size_t offset_[8] = {};
    std::size_t vectors_ = 0;
    std::size_t per_worker_ = 0;
};

// Refusals of a whole batch go through nrerror(), like every fatal condition
// of the library.
[[noreturn]] void refuse(const char *format, ...) __attribute__((format(printf, 1, 2)));

void require_same_count(const char *routine, const series_view &a, const series_view &b);
void require_data(const char *routine, const series_view &v, const char *name);

}  // namespace detail
}  // namespace batch
}  // namespace tessivane

#endif
