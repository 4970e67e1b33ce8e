// Reads one call per line from stdin and prints the library's results as bit
// patterns, for the pytest suite to compare with what the Python package
// returns for the same inputs. Tokens: floats as 8 hex digits (their bits),
// doubles as 16, integers in decimal; a vector is its length and elements, a
// matrix its rows, columns and elements (row-major). Results are printed in
// the same notation on one line, or "ERR <message>" for a fatal condition.
#include "bases.h"
#include "stat.h"

#include <cinttypes>
#include <cmath>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using vec = std::vector<float>;  // element 0 unused: the library's 1-based view

struct mat {
    long rows = 0, cols = 0;
    vec data;                  // 0-based, row-major
    std::vector<float *> ptr;  // row pointers
    // base 1: [1..rows][1..cols], base 0: [0..rows-1][0..cols-1]
    float **view(long base)
    {
        ptr.assign(rows + base, nullptr);
        for (long i = 0; i < rows; i++)
            ptr[i + base] = data.data() + i * cols - base;
        return ptr.data();
    }
    float **one() { return view(1); }
    float **zero() { return view(0); }
};

std::istringstream in;
std::ostringstream out;

// An integer in decimal, a float or double as the hex digits of its bits.
template <class T>
T read()
{
    T v;
    if constexpr (std::is_integral_v<T>) {
        in >> v;
    } else {
        std::string t;
        in >> t;
        auto b = static_cast<std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>(
            std::stoull(t, nullptr, 16));
        std::memcpy(&v, &b, sizeof v);
    }
    return v;
}
constexpr auto F = &read<float>;
constexpr auto I = &read<long>;
vec V()
{
    vec v(static_cast<size_t>(I()) + 1, 0.0f);
    for (size_t i = 1; i < v.size(); i++)
        v[i] = F();
    return v;
}
const auto zeros = [](long rows, long cols) { return mat{rows, cols, vec(rows * cols), {}}; };
mat M()
{
    long rows = I();
    mat m = zeros(rows, I());
    for (float &x : m.data)
        x = F();
    return m;
}
const auto n = [](const vec &v) { return v.size() - 1; };  // the length of a 1-based vector

template <class T>
void put1(T x)
{
    if constexpr (std::is_integral_v<T>) {
        out << x << ' ';
    } else {
        std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t> b;
        std::memcpy(&b, &x, sizeof x);
        char s[24];
        std::snprintf(s, sizeof s, "%0*" PRIx64 " ", int(2 * sizeof x), uint64_t(b));
        out << s;
    }
}
void put1(const vec &v)
{
    for (size_t i = 1; i < v.size(); i++)
        put1(v[i]);
}
void put1(const mat &m)
{
    for (float x : m.data)
        put1(x);
}
template <class... T>
void put(const T &...values)
{
    (put1(values), ...);
}

// A scalar routine: its arguments read in order, its result printed.
template <class R, class... A>
std::function<void()> scalar(R (*f)(A...))
{
    return [f] {
        std::tuple<A...> args{read<A>()...};  // braces: read left to right
        put(std::apply(f, args));
    };
}

// A routine that works on one vector in place (reading any further arguments
// itself); the vector is printed afterwards.
template <class F>
std::function<void()> on_vector(F f)
{
    return [f] {
        vec a = V();
        f(a);
        put(a);
    };
}

constexpr float kUnwritten = NAN;

const std::map<std::string, std::function<void()>> routines = {
    {"gammln", scalar(&gammln)},
    {"gammq", scalar(&gammq)},
    {"betai", scalar(&betai)},
    {"erfcc", scalar(&erfcc)},
    {"probks", scalar(&probks)},
    {"p_to_z", scalar(&p_to_z)},
    {"t_to_p", scalar(&t_to_p)},
    {"t_to_p_real", scalar(&t_to_p_real)},
    {"r_to_p", scalar(&r_to_p)},
    {"p_to_t", scalar(&p_to_t)},
    {"p_to_r", scalar(&p_to_r)},
    {"F_to_p", scalar(&F_to_p)},
    {"p_to_F", scalar(&p_to_F)},
    {"kstwo_prob", scalar(&kstwo_prob)},
    // Two-sample tests and correlation, with the p-values the package pairs them with.
    {"ttest",
     [] {
         vec a = V(), b = V();
         float t, p;
         ttest(a.data(), n(a), b.data(), n(b), &t, &p);
         put(t, float(n(a) + n(b) - 2), t_to_p(t, n(a) + n(b) - 2));
     }},
    {"tutest",
     [] {
         vec a = V(), b = V();
         float t, p;
         tutest(a.data(), n(a), b.data(), n(b), &t, &p);
         float df = welch_df(a.data(), n(a), b.data(), n(b));
         put(t, df, t_to_p_real(t, df));
     }},
    {"kstwo",
     [] {
         vec a = V(), b = V();
         float d, p;
         kstwo(a.data(), n(a), b.data(), n(b), &d, &p);
         put(d, kstwo_prob(d, n(a), n(b)));
     }},
    {"avevar",
     [] {
         vec a = V();
         float ave, var;
         avevar(a.data(), n(a), &ave, &var);
         put(ave, var);
     }},
    {"pearsn",
     [] {
         vec x = V(), y = V();
         float r, r2, p, z;
         pearsn(x.data(), y.data(), n(x), &r, &p, &z);
         pearsn_prob(x.data(), y.data(), n(x), &r2, &p, &z);
         put(r, p);
     }},
    {"spear",
     [] {
         vec x = V(), y = V();
         float d = kUnwritten, zd = kUnwritten, pd = kUnwritten, rs = kUnwritten, prs = kUnwritten;
         spear(x.data(), y.data(), n(x), &d, &zd, &pd, &rs, &prs);
         put(rs, pd, d, zd, prs);
     }},
    // Incremental correlation and regression from no sample: values after each
    // sample, then the running sums.
    {"pearsn_inc",
     [] {
         vec x = V(), y = V(), r(x.size());
         float s[6] = {};
         for (size_t i = 1; i < x.size(); i++)
             pearsn_inc(x[i], y[i], s[0], s[1], s[2], s[3], s[4], s[5], &r[i]);
         put(r, s[0], s[1], s[2], s[3], s[4], s[5]);
     }},
    {"regr_inc",
     [] {
         vec x = V(), y = V(), a(x.size()), b(x.size()), ym(x.size());
         float s[6] = {};
         for (size_t i = 1; i < x.size(); i++)
             regr_inc(x[i], y[i], s[0], s[1], s[2], s[3], s[4], s[5], &a[i], &b[i], &ym[i]);
         put(a, b, ym, s[0], s[1], s[2], s[3], s[4], s[5]);
     }},
    // Fourier transforms
    {"four1", on_vector([](vec &a) { four1(a.data(), n(a) / 2, int(I())); })},
    {"realft", on_vector([](vec &a) { realft(a.data(), n(a), int(I())); })},
    {"fourn",
     [] {
         std::vector<unsigned long> nn(1, 0);
         for (long d = I(); d > 0; d--)
             nn.push_back(static_cast<unsigned long>(I()));
         vec z = V();
         fourn(z.data(), nn.data(), int(nn.size() - 1), int(I()));
         put(z);
     }},
    {"rlft3",
     [] {
         long nn1 = I(), nn2 = I(), nn3 = I();
         mat data = M(), speq = M();
         float ***t = f3tensor(1, nn1, 1, nn2, 1, nn3);
         std::memcpy(&t[1][1][1], data.data.data(), data.data.size() * sizeof(float));
         rlft3(t, speq.one(), nn1, nn2, nn3, int(I()));
         std::memcpy(data.data.data(), &t[1][1][1], data.data.size() * sizeof(float));
         free_f3tensor(t, 1, nn1, 1, nn2, 1, nn3);
         put(data, speq);
     }},
    // Sorting and selection (k 1-based here)
    {"sort", on_vector([](vec &a) { sort(n(a), a.data()); })},
    {"hpsort", on_vector([](vec &a) { hpsort(n(a), a.data()); })},
    {"sort2",
     [] {
         vec a = V(), b = V();
         sort2(n(a), a.data(), b.data());
         put(a, b);
     }},
    {"crank",
     [] {
         vec a = V();
         float s;
         crank(n(a), a.data(), &s);
         put(a, s);
     }},
    {"select",
     [] {
         long k = I();
         vec a = V();
         put(select(k, n(a), a.data()));
     }},
    {"select_ushort",
     [] {
         long k = I();
         std::vector<unsigned short> a(static_cast<size_t>(I()) + 1);
         for (size_t i = 1; i < a.size(); i++)
             a[i] = static_cast<unsigned short>(I());
         put(long(select_ushort(k, a.size() - 1, a.data())));
     }},
    // The process-wide generators (in a fresh process): a pattern of u and g draws.
    {"ran1",
     [] {
         long idum = I();
         std::string pattern;
         in >> pattern;
         for (char c : pattern)
             put(c == 'u' ? ran1(&idum) : gasdev(&idum));
     }},
    // Linear algebra
    {"svdcmp",
     [] {
         mat a = M(), v = zeros(a.cols, a.cols);
         vec w(a.cols + 1);
         svdcmp(a.one(), int(a.rows), int(a.cols), w.data(), v.one());
         put(a, w, v);
     }},
    {"svbksb",
     [] {
         mat u = M();
         vec w = V();
         mat v = M();
         vec b = V(), x(u.cols + 1);
         svbksb(u.one(), w.data(), v.one(), int(u.rows), int(u.cols), b.data(), x.data());
         put(x);
     }},
    {"svdvar",
     [] {
         mat v = M(), c = zeros(v.rows, v.rows);
         vec w = V();
         svdvar(v.one(), int(v.rows), w.data(), c.one());
         put(c);
     }},
    {"gaussj",
     [] {
         mat a = M(), b = M();
         gaussj(a.one(), int(a.rows), b.one(), int(b.cols));
         put(a, b);
     }},
    {"jacobi",
     [] {
         mat a = M(), v = zeros(a.rows, a.rows);
         vec d(a.rows + 1);
         int nrot;
         jacobi(a.one(), int(a.rows), d.data(), v.one(), &nrot);
         put(d, v, nrot);
     }},
    {"eigsrt",
     [] {
         vec d = V();
         mat v = M();
         eigsrt(d.data(), v.one(), int(v.rows));
         put(d, v);
     }},
    {"inverse",
     [] {
         mat a = M(), inv = zeros(a.rows, a.rows);
         getInverseMatrixUsingSVD(a.zero(), inv.zero(), int(a.rows));
         put(inv);
     }},
    // Fits
    {"fit",
     [] {
         vec x = V(), y = V(), sig = V();
         float a, b, siga, sigb, chi2, q;
         fit(x.data(), y.data(), int(n(x)), sig.data(), int(I()), &a, &b, &siga, &sigb, &chi2, &q);
         put(a, b, siga, sigb, chi2, q);
     }},
    {"svdfit",
     [] {
         vec x = V(), y = V(), sig = V();
         int ma = int(I()), basis = int(I());
         vec a(ma + 1), w(ma + 1);
         mat u = zeros(long(n(x)), ma), v = zeros(ma, ma);
         float chisq;
         svdfit(x.data(), y.data(), sig.data(), int(n(x)), a.data(), ma, u.one(), v.one(), w.data(),
                &chisq, basis == 0 ? fpoly : tvpy::fleg);
         put(a, u, v, w, chisq);
     }},
    {"basis",
     [] {
         float x = F();
         int np = int(I());
         vec p(np + 1);
         (I() == 0 ? fpoly : tvpy::fleg)(x, p.data(), np);
         put(p);
     }},
    {"fgauss",
     [] {
         float x = F(), y;
         vec a = V(), dyda(a.size());
         fgauss(x, a.data(), &y, dyda.data(), int(n(a)));
         put(y, dyda);
     }},
    // Levenberg-Marquardt with fgauss: a run by the default rule (steps < 0), or
    // that many iteration calls and the finishing call.
    {"lmfit",
     [] {
         vec x = V(), y = V(), sig = V(), a = V();
         std::vector<int> ia(a.size(), 1);
         long steps = I(), ma = long(n(a));
         mat covar = zeros(ma, ma), alpha = zeros(ma, ma);
         float chisq, alamda = -1.0f;
         tessivane::lm_fit lm;
         auto step = [&] {
             lm.step(x.data(), y.data(), sig.data(), int(n(x)), a.data(), ia.data(), int(ma),
                     covar.one(), alpha.one(), &chisq, fgauss, &alamda);
         };
         if (steps >= 0) {
             for (long s = 0; s < steps; s++)
                 step();
             alamda = 0.0f;
             step();
             return put(a, covar, chisq);
         }
         tessivane::lm_outcome o =
             lm.run(x.data(), y.data(), sig.data(), int(n(x)), a.data(), ia.data(), int(ma),
                    covar.one(), alpha.one(), &chisq, fgauss);
         put(a, covar, chisq, int(o.stop), o.iterations, o.lambda_at_stop);
     }},
};

}  // namespace

int main()
{
    tessivane::set_error_mode(tessivane::error_mode::throw_exception);
    std::string line;
    while (std::getline(std::cin, line)) {
        in.clear();
        in.str(line);
        out.str("");
        std::string name;
        in >> name;
        try {
            routines.at(name)();
            std::cout << out.str() << '\n';
        } catch (const tessivane::numerics_error &e) {
            std::cout << "ERR " << e.what() << '\n';
        }
        std::cout.flush();
    }
    return 0;
}
