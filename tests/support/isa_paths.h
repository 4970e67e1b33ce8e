#ifndef TESSIVANE_TEST_SUPPORT_ISA_PATHS_H
#define TESSIVANE_TEST_SUPPORT_ISA_PATHS_H

// Runs a computation on each instruction-set path in a child process and
// compares what the paths produced: the exit status, every byte written to
// stderr (so fatal reports must match too) and the result bits, where two NaNs
// count as equal whatever their signs and payloads (the promise of isa.h). The list of paths and
// the bit comparison also serve the tests that switch paths within one process.

#include "isa.h"
#include "support/fatal.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tv_test {

// The distinct paths other than portable that this CPU runs (a request for a
// wider path than the CPU has gives the widest it has). Leaves the active path
// as it was.
inline std::vector<tessivane::isa> fast_paths()
{
    std::vector<tessivane::isa> paths;
    const tessivane::isa before = tessivane::active_isa();
    for (tessivane::isa p : {tessivane::isa::avx2, tessivane::isa::avx512}) {
        tessivane::set_active_isa(p);
        const tessivane::isa got = tessivane::active_isa();
        if (got != tessivane::isa::portable && (paths.empty() || paths.back() != got))
            paths.push_back(got);
    }
    tessivane::set_active_isa(before);
    return paths;
}

// Index of the first of count floats whose bits differ, or -1; two NaNs count
// as equal whatever their signs and payloads.
inline long first_bit_difference(const float *want, const float *got, std::size_t count)
{
    for (std::size_t k = 0; k < count; k++)
        if (std::memcmp(want + k, got + k, sizeof(float)) != 0 &&
            !(want[k] != want[k] && got[k] != got[k]))
            return static_cast<long>(k);
    return -1;
}

struct PathOutcome {
    int status = -1;  // exit status of the child, -1 if it did not exit normally
    std::string err;
    std::vector<float> values;
};

namespace detail {

inline std::string drain(int fd)
{
    std::string out;
    char buf[65536];
    for (ssize_t got; (got = read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(got));
    return out;
}

}  // namespace detail

// fn runs with `path` active in a forked child; the floats it returns come
// back through a pipe. The child ends with _exit(0) after a normal return, or
// through whatever fatal exit fn takes.
inline PathOutcome run_on_path(tessivane::isa path, const std::function<std::vector<float>()> &fn)
{
    int out_pipe[2], err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0)
        return {};
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        mark_dying_child();
        close(out_pipe[0]);
        close(err_pipe[0]);
        dup2(err_pipe[1], 2);
        tessivane::set_active_isa(path);
        std::vector<float> values = fn();
        const char *p = reinterpret_cast<const char *>(values.data());
        std::size_t left = values.size() * sizeof(float);
        while (left > 0) {
            ssize_t put = write(out_pipe[1], p, left);
            if (put <= 0)
                _exit(99);
            p += put;
            left -= static_cast<std::size_t>(put);
        }
        _exit(0);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    PathOutcome outcome;
    // The child may fill either pipe first: read stderr after the values,
    // which are written before anything could go to stderr on a normal run.
    std::string bytes = detail::drain(out_pipe[0]);
    outcome.err = without_sanitizer_notes(detail::drain(err_pipe[0]));
    close(out_pipe[0]);
    close(err_pipe[0]);
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    outcome.values.resize(bytes.size() / sizeof(float));
    if (!outcome.values.empty())
        std::memcpy(outcome.values.data(), bytes.data(), outcome.values.size() * sizeof(float));
    return outcome;
}

// Same status, same stderr, same bits (any NaN matches any NaN, of either sign).
inline ::testing::AssertionResult same_outcome(const PathOutcome &want, const PathOutcome &got)
{
    if (want.status != got.status || want.err != got.err)
        return ::testing::AssertionFailure()
               << "exit " << got.status << " with \"" << got.err << "\", expected exit "
               << want.status << " with \"" << want.err << "\"";
    if (want.values.size() != got.values.size())
        return ::testing::AssertionFailure()
               << got.values.size() << " values, expected " << want.values.size();
    const long k = first_bit_difference(want.values.data(), got.values.data(), want.values.size());
    if (k >= 0) {
        const float x = want.values[static_cast<std::size_t>(k)];
        const float y = got.values[static_cast<std::size_t>(k)];
        std::uint32_t bx, by;
        std::memcpy(&bx, &x, sizeof bx);
        std::memcpy(&by, &y, sizeof by);
        return ::testing::AssertionFailure() << "value " << k << " is " << y << " (0x" << std::hex
                                             << by << "), expected " << x << " (0x" << bx << ")";
    }
    return ::testing::AssertionSuccess();
}

// Every fast path gives the portable path's outcome.
inline void expect_paths_agree(const std::function<std::vector<float>()> &fn)
{
    const PathOutcome want = run_on_path(tessivane::isa::portable, fn);
    ASSERT_NE(want.status, -1) << "the portable run did not exit";
    for (tessivane::isa path : fast_paths()) {
        SCOPED_TRACE(tessivane::isa_name(path));
        EXPECT_TRUE(same_outcome(want, run_on_path(path, fn)));
    }
}

}  // namespace tv_test

#endif
