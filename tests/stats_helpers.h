// Shared helpers for the statistics tests: guarded 1-based arrays and worst-case error
// bookkeeping for accuracy tests.
#ifndef TESSIVANE_TESTS_STATS_HELPERS_H
#define TESSIVANE_TESTS_STATS_HELPERS_H

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <boost/math/special_functions/beta.hpp>

#include "nrutil.h"

namespace tv_test {

inline std::uint32_t float_bits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

inline float bits_float(std::uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

// A NaN with a recognisable payload: written into guard cells and into out-parameters that a
// routine must leave alone. A routine that reads a guard cell turns its result into a NaN.
inline float sentinel()
{
    return bits_float(0x7fc2385bu);
}

inline bool is_sentinel(float f)
{
    return float_bits(f) == 0x7fc2385bu;
}

// A float vector from nrutil's vector() addressed 1..n, with kGuard sentinel cells on each
// side (indices 1-kGuard..0 and n+1..n+kGuard), so that it is allocated with a low bound
// other than 1 and any access outside 1..n shows up.
class GuardedVector {
public:
    static constexpr long kGuard = 3;

    explicit GuardedVector(unsigned long n)
        : n_(static_cast<long>(n))
    {
        v_ = vector(1 - kGuard, n_ + kGuard);
        for (long i = 1 - kGuard; i <= n_ + kGuard; i++)
            v_[i] = sentinel();
    }
    GuardedVector(std::initializer_list<float> values)
        : GuardedVector(std::vector<float>(values))
    {}
    explicit GuardedVector(const std::vector<float> &values)
        : GuardedVector(values.size())
    {
        for (long i = 1; i <= n_; i++)
            v_[i] = values[static_cast<size_t>(i - 1)];
    }
    ~GuardedVector() { free_vector(v_, 1 - kGuard, n_ + kGuard); }
    GuardedVector(const GuardedVector &) = delete;
    GuardedVector &operator=(const GuardedVector &) = delete;

    float *data() { return v_; }
    float &operator[](long i) { return v_[i]; }
    unsigned long size() const { return static_cast<unsigned long>(n_); }

    bool guards_intact() const
    {
        for (long i = 1; i <= kGuard; i++)
            if (!is_sentinel(v_[1 - i]) || !is_sentinel(v_[n_ + i]))
                return false;
        return true;
    }
    std::vector<float> values() const { return std::vector<float>(v_ + 1, v_ + 1 + n_); }

private:
    long n_;
    float *v_;
};

// Worst error seen over a set of arguments, in units of FLT_EPSILON, with the input that
// produced it.
struct WorstCase {
    const char *what;
    double worst = 0.0;
    std::string where;
    int count = 0;

    explicit WorstCase(const char *name)
        : what(name)
    {}

    void add(double err_in_eps, const std::string &input)
    {
        ++count;
        if (!(err_in_eps <= worst)) {
            worst = err_in_eps;
            where = input;
        }
    }
    // Printed by every accuracy test so the log shows how close each function comes.
    void report() const
    {
        std::printf("[ accuracy ] %-40s max %8.2f eps at %s (%d arguments)\n", what, worst,
                    where.c_str(), count);
    }
};

inline double rel_err_eps(double got, double ref)
{
    return std::fabs(got - ref) / (std::fabs(ref) * FLT_EPSILON);
}

inline double abs_err_eps(double got, double ref)
{
    return std::fabs(got - ref) / FLT_EPSILON;
}

// Condition number of I_x(a, b) with respect to x, |x dI/dx / I|. The tail probabilities of
// t, r and F are I_x at an x formed in float, so a relative error of a few eps in x becomes
// this many times larger in the probability; when x is close to 1 (a small statistic against
// many degrees of freedom) it is large, because the information sits in 1 - x.
inline double ibeta_condition(double a, double b, double x)
{
    const double i = boost::math::ibeta(a, b, x);
    return std::fabs(x * boost::math::ibeta_derivative(a, b, x) / i);
}

inline std::string fmt(const char *format, double a, double b = 0.0, double c = 0.0)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}

}  // namespace tv_test

#endif
