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
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using vec = std::vector<float>;  // element 0 unused: the library's 1-based view

struct mat {
    long rows = 0, cols = 0;
    vec data;                  // 0-based, row-major
    std::vector<float *> ptr;  // 1-based row pointers
    float **one()
    {
        ptr.assign(rows + 1, nullptr);
        for (long i = 1; i <= rows; i++)
            ptr[i] = data.data() + (i - 1) * cols - 1;
        return ptr.data();
    }
    float **zero()
    {
        ptr.assign(rows, nullptr);
        for (long i = 0; i < rows; i++)
            ptr[i] = data.data() + i * cols;
        return ptr.data();
    }
};

std::istringstream in;
std::ostringstream out;

long I()
{
    long v;
    in >> v;
    return v;
}
float F()
{
    std::string t;
    in >> t;
    uint32_t b = static_cast<uint32_t>(std::stoul(t, nullptr, 16));
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}
double D()
{
    std::string t;
    in >> t;
    uint64_t b = std::stoull(t, nullptr, 16);
    double d;
    std::memcpy(&d, &b, 8);
    return d;
}
vec V()
{
    vec v(static_cast<size_t>(I()) + 1, 0.0f);
    for (size_t i = 1; i < v.size(); i++)
        v[i] = F();
    return v;
}
mat zeros(long rows, long cols)
{
    mat m;
    m.rows = rows;
    m.cols = cols;
    m.data.assign(static_cast<size_t>(rows * cols), 0.0f);
    return m;
}
mat M()
{
    mat m;
    m.rows = I();
    m.cols = I();
    m.data.resize(static_cast<size_t>(m.rows * m.cols));
    for (float &x : m.data)
        x = F();
    return m;
}
unsigned long n(const vec &v)
{
    return v.size() - 1;
}

void put(float f)
{
    uint32_t b;
    std::memcpy(&b, &f, 4);
    char s[16];
    std::snprintf(s, sizeof s, "%08" PRIx32 " ", b);
    out << s;
}
void putd(double d)
{
    uint64_t b;
    std::memcpy(&b, &d, 8);
    char s[24];
    std::snprintf(s, sizeof s, "%016" PRIx64 " ", b);
    out << s;
}
void puti(long i)
{
    out << i << ' ';
}
void put(const vec &v)
{
    for (size_t i = 1; i < v.size(); i++)
        put(v[i]);
}
void put(const mat &m)
{
    for (float x : m.data)
        put(x);
}

constexpr float kUnwritten = NAN;

const std::map<std::string, std::function<void()>> routines = {
    // special functions and conversions
    {"gammln", [] { putd(gammln(D())); }},
    {"gammq",
     [] {
         float a = F();
         put(gammq(a, F()));
     }},
    {"betai",
     [] {
         float a = F(), b = F();
         put(betai(a, b, F()));
     }},
    {"erfcc", [] { put(erfcc(F())); }},
    {"probks", [] { put(probks(F())); }},
    {"p_to_z", [] { put(p_to_z(F())); }},
    {"t_to_p",
     [] {
         float t = F();
         put(t_to_p(t, I()));
     }},
    {"t_to_p_real",
     [] {
         float t = F();
         put(t_to_p_real(t, F()));
     }},
    {"r_to_p",
     [] {
         float r = F();
         put(r_to_p(r, I()));
     }},
    {"p_to_t",
     [] {
         float p = F();
         put(p_to_t(p, I()));
     }},
    {"p_to_r",
     [] {
         float p = F();
         put(p_to_r(p, I()));
     }},
    {"F_to_p",
     [] {
         float f = F();
         long a = I();
         put(F_to_p(f, a, I()));
     }},
    {"p_to_F",
     [] {
         float p = F();
         long a = I();
         put(p_to_F(p, a, I()));
     }},
    {"kstwo_prob",
     [] {
         float d = F();
         long a = I();
         put(kstwo_prob(d, a, I()));
     }},
    // two-sample tests and correlation
    {"ttest",
     [] {
         vec a = V(), b = V();
         float t, p;
         ttest(a.data(), n(a), b.data(), n(b), &t, &p);
         put(t);
         put(float(n(a) + n(b) - 2));
         put(t_to_p(t, n(a) + n(b) - 2));
     }},
    {"tutest",
     [] {
         vec a = V(), b = V();
         float t, p;
         tutest(a.data(), n(a), b.data(), n(b), &t, &p);
         float df = welch_df(a.data(), n(a), b.data(), n(b));
         put(t);
         put(df);
         put(t_to_p_real(t, df));
     }},
    {"kstwo",
     [] {
         vec a = V(), b = V();
         float d, p;
         kstwo(a.data(), n(a), b.data(), n(b), &d, &p);
         put(d);
         put(kstwo_prob(d, n(a), n(b)));
     }},
    {"avevar",
     [] {
         vec a = V();
         float ave, var;
         avevar(a.data(), n(a), &ave, &var);
         put(ave);
         put(var);
     }},
    {"pearsn",
     [] {
         vec x = V(), y = V();
         float r, r2, p, z;
         pearsn(x.data(), y.data(), n(x), &r, &p, &z);
         pearsn_prob(x.data(), y.data(), n(x), &r2, &p, &z);
         put(r);
         put(p);
     }},
    {"spear",
     [] {
         vec x = V(), y = V();
         float d = kUnwritten, zd = kUnwritten, probd = kUnwritten, rs = kUnwritten,
               probrs = kUnwritten;
         spear(x.data(), y.data(), n(x), &d, &zd, &probd, &rs, &probrs);
         put(rs);
         put(probd);
         put(d);
         put(zd);
         put(probrs);
     }},
    // Fourier transforms
    {"four1",
     [] {
         vec z = V();
         long isign = I();
         four1(z.data(), n(z) / 2, int(isign));
         put(z);
     }},
    {"realft",
     [] {
         vec x = V();
         long isign = I();
         realft(x.data(), n(x), int(isign));
         put(x);
     }},
    {"fourn",
     [] {
         std::vector<unsigned long> nn(1, 0);
         for (long d = I(); d > 0; d--)
             nn.push_back(static_cast<unsigned long>(I()));
         vec z = V();
         long isign = I();
         fourn(z.data(), nn.data(), int(nn.size() - 1), int(isign));
         put(z);
     }},
    {"rlft3",
     [] {
         long nn1 = I(), nn2 = I(), nn3 = I();
         mat data = M(), speq = M();
         long isign = I();
         float ***t = f3tensor(1, nn1, 1, nn2, 1, nn3);
         std::memcpy(&t[1][1][1], data.data.data(), data.data.size() * sizeof(float));
         rlft3(t, speq.one(), nn1, nn2, nn3, int(isign));
         std::memcpy(data.data.data(), &t[1][1][1], data.data.size() * sizeof(float));
         free_f3tensor(t, 1, nn1, 1, nn2, 1, nn3);
         put(data);
         put(speq);
     }},
    // sorting and selection
    {"sort",
     [] {
         vec a = V();
         sort(n(a), a.data());
         put(a);
     }},
    {"hpsort",
     [] {
         vec a = V();
         hpsort(n(a), a.data());
         put(a);
     }},
    {"sort2",
     [] {
         vec a = V(), b = V();
         sort2(n(a), a.data(), b.data());
         put(a);
         put(b);
     }},
    {"crank",
     [] {
         vec a = V();
         float s;
         crank(n(a), a.data(), &s);
         put(a);
         put(s);
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
         puti(select_ushort(k, a.size() - 1, a.data()));
     }},
    // the process-wide generators, from a fresh process: a pattern of u and g draws
    {"ran1",
     [] {
         long idum = I();
         std::string pattern;
         in >> pattern;
         for (char c : pattern)
             put(c == 'u' ? ran1(&idum) : gasdev(&idum));
     }},
    // linear algebra
    {"svdcmp",
     [] {
         mat a = M();
         mat v = zeros(a.cols, a.cols);
         vec w(a.cols + 1);
         svdcmp(a.one(), int(a.rows), int(a.cols), w.data(), v.one());
         put(a);
         put(w);
         put(v);
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
         mat v = M();
         vec w = V();
         mat c = zeros(v.rows, v.rows);
         svdvar(v.one(), int(v.rows), w.data(), c.one());
         put(c);
     }},
    {"gaussj",
     [] {
         mat a = M(), b = M();
         gaussj(a.one(), int(a.rows), b.one(), int(b.cols));
         put(a);
         put(b);
     }},
    {"jacobi",
     [] {
         mat a = M();
         mat v = zeros(a.rows, a.rows);
         vec d(a.rows + 1);
         int nrot;
         jacobi(a.one(), int(a.rows), d.data(), v.one(), &nrot);
         put(d);
         put(v);
         puti(nrot);
     }},
    {"eigsrt",
     [] {
         vec d = V();
         mat v = M();
         eigsrt(d.data(), v.one(), int(v.rows));
         put(d);
         put(v);
     }},
    {"inverse",
     [] {
         mat a = M();
         mat inv = zeros(a.rows, a.rows);
         getInverseMatrixUsingSVD(a.zero(), inv.zero(), int(a.rows));
         put(inv);
     }},
    // fits
    {"fit",
     [] {
         vec x = V(), y = V(), sig = V();
         int mwt = int(I());
         float a, b, siga, sigb, chi2, q;
         fit(x.data(), y.data(), int(n(x)), sig.data(), mwt, &a, &b, &siga, &sigb, &chi2, &q);
         put(a);
         put(b);
         put(siga);
         put(sigb);
         put(chi2);
         put(q);
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
         put(a);
         put(u);
         put(v);
         put(w);
         put(chisq);
     }},
    {"basis",
     [] {
         float x = F();
         int np = int(I()), which = int(I());
         vec p(np + 1);
         (which == 0 ? fpoly : tvpy::fleg)(x, p.data(), np);
         put(p);
     }},
    {"fgauss",
     [] {
         float x = F();
         vec a = V(), dyda(a.size());
         float y;
         fgauss(x, a.data(), &y, dyda.data(), int(n(a)));
         put(y);
         put(dyda);
     }},
    // Levenberg-Marquardt with fgauss: a run by the default rule, or a given
    // number of iteration calls and the finishing call.
    {"lmfit",
     [] {
         vec x = V(), y = V(), sig = V(), a = V();
         std::vector<int> ia(a.size(), 1);
         long steps = I();
         long ma = long(n(a));
         mat covar = zeros(ma, ma), alpha = zeros(ma, ma);
         float chisq;
         tessivane::lm_fit lm;
         if (steps < 0) {
             tessivane::lm_outcome o =
                 lm.run(x.data(), y.data(), sig.data(), int(n(x)), a.data(), ia.data(), int(ma),
                        covar.one(), alpha.one(), &chisq, fgauss);
             put(a);
             put(covar);
             put(chisq);
             puti(o.stop);
             puti(o.iterations);
             put(o.lambda_at_stop);
         } else {
             float alamda = -1.0f;
             for (long s = 0; s <= steps; s++) {
                 if (s == steps)
                     alamda = 0.0f;
                 lm.step(x.data(), y.data(), sig.data(), int(n(x)), a.data(), ia.data(), int(ma),
                         covar.one(), alpha.one(), &chisq, fgauss, &alamda);
             }
             put(a);
             put(covar);
             put(chisq);
         }
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
