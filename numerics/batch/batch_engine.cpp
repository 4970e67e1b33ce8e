// The row scheduler of the batches: a pool of worker threads that take chunks
// of consecutive rows from a shared counter, each thread in throw mode so that
// a refused row is recorded instead of ending the process, while the calling
// thread reports progress and watches for cancellation.

#include "detail_batch.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

#include "argcheck.h"
#include "errors.h"
#include "nrutil.h"

namespace tessivane {
namespace batch {

unsigned default_threads()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0)
            return static_cast<unsigned>(n);
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

namespace detail {

namespace {

// Rows per chunk: about sixteen chunks per worker, so that a slow stretch of
// rows does not leave the other threads idle, and at most max_chunk rows
// (256 by default), so that a cheap routine still takes the shared counter
// rarely.
constexpr std::size_t kChunksPerWorker = 16;

// What the workers share: the next chunk to take, the rows finished, the
// first refusal (lowest row, so the report does not depend on timing), and
// the count of running workers the calling thread waits on.
class shared_state {
public:
    shared_state(const row_plan &plan, const batch_options &options)
        : plan_(plan)
        , cancel_(options.cancel)
    {}

    bool stopping() const
    {
        return stop_.load(std::memory_order_relaxed) || (cancel_ && cancel_->cancelled());
    }
    void stop() { stop_.store(true, std::memory_order_relaxed); }

    void work(unsigned worker, row_job &job)
    {
        scoped_error_mode throwing(error_mode::throw_exception);
        const std::size_t chunks = (plan_.count + plan_.chunk - 1) / plan_.chunk;
        for (;;) {
            const std::size_t c = next_chunk_.fetch_add(1, std::memory_order_relaxed);
            if (c >= chunks)
                break;
            const std::size_t begin = c * plan_.chunk;
            const std::size_t end = std::min(plan_.count, begin + plan_.chunk);
            std::size_t done = stopping() ? 0 : job.run_block(begin, end, worker), skipped = 0;
            for (std::size_t row = begin + done; row < end; row++) {
                if (stopping()) {
                    job.blank(row, row_state::not_run, nullptr);
                    skipped++;
                    continue;
                }
                run_one(row, worker, job);
                done++;
            }
            done_.fetch_add(done, std::memory_order_relaxed);
            skipped_.fetch_add(skipped, std::memory_order_relaxed);
        }
    }

    void worker_finished()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_--;
        finished_.notify_all();
    }
    void workers_started(unsigned n)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ += n;
    }
    // Waits up to `interval` for every worker to finish; true when they have.
    bool wait_workers(std::chrono::milliseconds interval)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return finished_.wait_for(lock, interval, [this] { return running_ == 0; });
    }

    std::size_t rows_done() const { return done_.load(std::memory_order_relaxed); }

    batch_report report()
    {
        batch_report r;
        r.rows_done = done_.load();
        r.status = skipped_.load() > 0 ? batch_status::cancelled : batch_status::completed;
        std::lock_guard<std::mutex> lock(mutex_);
        r.rows_refused = refused_;
        r.first_refused = first_refused_;
        r.first_message = first_message_;
        return r;
    }

private:
    void run_one(std::size_t row, unsigned worker, row_job &job)
    {
        try {
            job.run(row, worker);
        } catch (const std::exception &e) {
            refused(row, e.what(), job);
        } catch (...) {
            refused(row, "a model or basis threw an exception that is not a std::exception", job);
        }
    }

    void refused(std::size_t row, const char *message, row_job &job)
    {
        job.blank(row, row_state::refused, message);
        std::lock_guard<std::mutex> lock(mutex_);
        if (refused_ == 0 || row < first_refused_) {
            first_refused_ = row;
            first_message_ = message;
        }
        refused_++;
    }

    const row_plan plan_;
    const cancel_token *cancel_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> next_chunk_{0};
    std::atomic<std::size_t> done_{0};
    std::atomic<std::size_t> skipped_{0};

    std::mutex mutex_;
    std::condition_variable finished_;
    unsigned running_ = 0;
    std::size_t refused_ = 0;
    std::size_t first_refused_ = 0;
    std::string first_message_;
};

}  // namespace

row_plan plan_rows(std::size_t count, const batch_options &options, std::size_t max_chunk)
{
    row_plan plan;
    plan.count = count;
    const unsigned threads = args::worker_threads(count, options.threads, default_threads());
    plan.chunk =
        std::clamp<std::size_t>(count / (std::size_t{threads} * kChunksPerWorker), 1, max_chunk);
    const std::size_t chunks = (count + plan.chunk - 1) / plan.chunk;
    plan.workers = static_cast<unsigned>(std::clamp<std::size_t>(chunks, 1, threads));
    return plan;
}

batch_report run_rows(const row_plan &plan, const batch_options &options, row_job &job)
{
    shared_state state(plan, options);
    std::vector<std::thread> pool;
    pool.reserve(plan.workers);
    // No one to report to: the calling thread is worker 0 (still in throw
    // mode, still checking the cancel token) and starts only the others, so
    // a one-worker batch starts no thread at all and the rows the caller
    // takes find its cache warm.
    if (!options.progress) {
        for (unsigned w = 1; w < plan.workers; w++) {
            try {
                pool.emplace_back([&state, &job, w] { state.work(w, job); });
            } catch (const std::system_error &) {
                break;  // no more threads: the ones running take every chunk
            }
        }
        state.work(0, job);
        for (std::thread &t : pool)
            t.join();
        return state.report();
    }
    state.workers_started(plan.workers);
    unsigned unstarted = 0;
    for (unsigned w = 0; w < plan.workers; w++) {
        try {
            pool.emplace_back([&state, &job, w] {
                state.work(w, job);
                state.worker_finished();
            });
        } catch (const std::system_error &) {
            unstarted = plan.workers - w;  // no more threads: the calling thread helps
            break;
        }
    }
    if (unstarted > 0) {
        // Worker numbers 0..started-1 are taken; the calling thread becomes the
        // first unstarted one, so its scratch is its own.
        const unsigned self = plan.workers - unstarted;
        state.work(self, job);
        for (unsigned i = 0; i < unstarted; i++)
            state.worker_finished();
    }

    const auto tick = std::max(options.progress_interval, std::chrono::milliseconds(1));
    std::exception_ptr progress_error;
    while (!state.wait_workers(tick)) {
        if (progress_error)
            continue;
        try {
            options.progress(state.rows_done(), plan.count);
        } catch (...) {
            progress_error = std::current_exception();
            state.stop();
        }
    }
    for (std::thread &t : pool)
        t.join();
    if (progress_error)
        std::rethrow_exception(progress_error);
    options.progress(state.rows_done(), plan.count);
    return state.report();
}

void refuse(const char *format, ...)
{
    char text[200];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    nrerror(text);
    std::abort();  // not reached: nrerror ends the process or throws
}

void require_same_count(const char *routine, const series_view &a, const series_view &b)
{
    if (a.count != b.count)
        refuse("batch %s: %zu series against %zu, the counts must be equal", routine, a.count,
               b.count);
}

void require_data(const char *routine, const series_view &v, const char *name)
{
    if (!v.data && v.count > 0 && v.length > 0)
        refuse("batch %s: %s has no data", routine, name);
}

}  // namespace detail
}  // namespace batch
}  // namespace tessivane
