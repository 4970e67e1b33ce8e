#ifndef TESSIVANE_TEST_SUPPORT_ACCURACY_H
#define TESSIVANE_TEST_SUPPORT_ACCURACY_H

// Error measures and the worst-case report of the accuracy tests.

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>

#include <boost/math/special_functions/beta.hpp>

namespace tv_test {

// Worst error seen over a set of arguments, in units of FLT_EPSILON, with the input that
// produced it. A NaN error counts as the worst.
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
