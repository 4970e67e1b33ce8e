// The 0-based matrix products, transpose, row scaling and copies.

#include "support/arrays.h"
#include "support/linalg.h"
#include "stat.h"
#include "support/isa_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

using tv_test::Matrix;

namespace {

// 0-based matrices with a guard ring at rows/columns -1 and n.
struct Fixture : testing::Test {
    Matrix a{2, 3, 0}, b{3, 2, 0};
    void SetUp() override
    {
        a.set({1, 2, 3, 4, 5, 6});
        b.set({7, 8, 9, 10, 11, 12});
    }
};

using MatrixOpsExact = Fixture;

}  // namespace

TEST_F(MatrixOpsExact, Products)
{
    Matrix c(2, 2, 0);
    matrix_matrix_mult(a.data(), b.data(), c.data(), 2, 3, 2);
    EXPECT_EQ(c.values(), (std::vector<float>{58, 64, 139, 154}));
    EXPECT_TRUE(c.guards_intact());

    transposematrix_matrix_mult(a.data(), c.data(), 2, 3);
    EXPECT_EQ(c.values(), (std::vector<float>{14, 32, 32, 77}));

    // An empty inner dimension gives zeros.
    matrix_matrix_mult(a.data(), b.data(), c.data(), 2, 0, 2);
    EXPECT_EQ(c.values(), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_TRUE(c.guards_intact() && a.guards_intact() && b.guards_intact());
}

TEST_F(MatrixOpsExact, CrossProductIsExactlySymmetric)
{
    std::mt19937 rng(99);
    Matrix x(7, 5, 0), c(7, 7, 0), f(7, 7, 0);
    x.set(tv_test::random_values(rng, 7, 5));
    transposematrix_matrix_mult(x.data(), c.data(), 7, 5);
    // b, n, tA and tB take no part: b may be null.
    fast_matrix_matrix_mult(x.data(), nullptr, f.data(), 7, 99, 5, true, false);
    for (int i = 0; i < 7; i++)
        for (int j = 0; j < 7; j++) {
            EXPECT_EQ(c.at(i, j), c.at(j, i));
            EXPECT_EQ(f.at(i, j), c.at(i, j));
        }
    EXPECT_TRUE(c.guards_intact() && f.guards_intact());
}

TEST_F(MatrixOpsExact, VectorProducts)
{
    float v[3] = {2.385f, -1.0f, 0.5f};
    float c[4] = {99.0f, 99.0f, 99.0f, tv_test::sentinel()};
    matrix_vector_mult(a.data(), v, c, 2, 3);
    EXPECT_EQ(c[0], 2.385f - 2.0f + 1.5f);
    EXPECT_EQ(c[1], 4.0f * 2.385f - 5.0f + 3.0f);
    EXPECT_EQ(c[2], 99.0f);
    EXPECT_EQ(vector_vector_mult(v, v, 3), 2.385f * 2.385f + 1.0f + 0.25f);
    EXPECT_EQ(vector_vector_mult(v, v, 0), 0.0f);
}

TEST_F(MatrixOpsExact, TransposeAndRowScaling)
{
    Matrix t(3, 2, 0);
    matrix_transpose(a.data(), t.data(), 2, 3);
    EXPECT_EQ(t.values(), (std::vector<float>{1, 4, 2, 5, 3, 6}));
    EXPECT_TRUE(t.guards_intact());

    float w[2] = {2.0f, 0.0f};
    diagmatrix_matrix_mult(w, a.data(), 2, 3);
    EXPECT_EQ(a.values(), (std::vector<float>{2, 4, 6, 0, 0, 0}));
    EXPECT_TRUE(a.guards_intact());
}

TEST_F(MatrixOpsExact, CopyModes)
{
    Matrix one(2, 3, 1), back(2, 3, 0), same(2, 3, 0);
    copy_matrix(a.data(), one.data(), 2, 3, 2);
    EXPECT_EQ(one.values(), a.values());
    EXPECT_TRUE(one.guards_intact());  // row 0 and column 0 untouched
    copy_matrix(one.data(), back.data(), 2, 3, 3);
    EXPECT_EQ(back.values(), a.values());
    copy_matrix(a.data(), same.data(), 2, 3, 0);
    EXPECT_EQ(same.values(), a.values());

    Matrix one2(2, 3, 1);
    copy_matrix(one.data(), one2.data(), 2, 3, 1);
    EXPECT_EQ(one2.values(), a.values());
    EXPECT_TRUE(one2.guards_intact() && back.guards_intact() && same.guards_intact());

    for (int mode : {4, -1}) {
        Matrix untouched(2, 3, 0);
        untouched.set({9, 9, 9, 9, 9, 9});
        copy_matrix(a.data(), untouched.data(), 2, 3, mode);
        EXPECT_EQ(untouched.values(), (std::vector<float>{9, 9, 9, 9, 9, 9}));
    }
}

// ---- Every instruction-set path against the portable one, bit for bit ----

using ProductCase = std::tuple<std::tuple<int, int, int>, tv_test::Fill>;

class MatrixProductPaths : public testing::TestWithParam<ProductCase> {};

// a (n x s), b (s x m): a b, a a^T (also through fast_matrix_matrix_mult) and
// diag(w) a, with guard rings around every output.
TEST_P(MatrixProductPaths, SameBitsAsPortable)
{
    const auto [shape, fill] = GetParam();
    const auto [n, s, m] = shape;
    std::mt19937 rng(static_cast<unsigned>(n * 7919 + s * 31 + m + static_cast<int>(fill)));
    const std::vector<float> av = tv_test::path_input(rng, n, s, fill),
                             bv = tv_test::path_input(rng, s, m, fill),
                             wv = tv_test::path_input(rng, 1, n, fill);
    tv_test::expect_paths_agree([&] {
        Matrix a(n, s, 0), b(s, m, 0), c(n, m, 0), g(n, n, 0), f(n, n, 0), d(n, s, 0);
        a.set(av);
        b.set(bv);
        d.set(av);
        std::vector<float> w = wv;
        matrix_matrix_mult(a.data(), b.data(), c.data(), n, s, m);
        transposematrix_matrix_mult(a.data(), g.data(), n, s);
        fast_matrix_matrix_mult(a.data(), nullptr, f.data(), n, 0, s, false, true);
        diagmatrix_matrix_mult(w.data(), d.data(), n, s);
        std::vector<float> out;
        for (Matrix *x : {&a, &b, &c, &g, &f, &d}) {
            std::vector<float> v = x->values();
            out.insert(out.end(), v.begin(), v.end());
            out.push_back(x->guards_intact() ? 1.0f : 0.0f);
        }
        return out;
    });
}

std::string product_case_name(const testing::TestParamInfo<ProductCase> &info)
{
    const auto [shape, fill] = info.param;
    return std::to_string(std::get<0>(shape)) + "x" + std::to_string(std::get<1>(shape)) + "x" +
           std::to_string(std::get<2>(shape)) + "_" + tv_test::fill_name(fill);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, MatrixProductPaths,
    testing::Combine(testing::Values(std::make_tuple(1, 1, 1), std::make_tuple(1, 0, 3),
                                     std::make_tuple(2, 3, 2), std::make_tuple(7, 9, 8),
                                     std::make_tuple(9, 8, 7), std::make_tuple(16, 16, 16),
                                     std::make_tuple(17, 33, 31), std::make_tuple(33, 17, 65),
                                     std::make_tuple(64, 64, 64), std::make_tuple(100, 3, 129),
                                     std::make_tuple(129, 130, 100),
                                     std::make_tuple(300, 300, 300)),
                     testing::Values(tv_test::Fill::random, tv_test::Fill::special_values,
                                     tv_test::Fill::zeros_subnormals)),
    product_case_name);

// Outputs that overlap inputs are no valid use, but every path must still do
// what the scalar code does with them.
TEST(MatrixProductPaths, OverlappingOutputsAsPortable)
{
    for (int n : {3, 20}) {
        std::mt19937 rng(static_cast<unsigned>(n));
        const std::vector<float> values = tv_test::random_values(rng, n, n),
                                 wide = tv_test::random_values(rng, n, n + 1);
        tv_test::expect_paths_agree([&] {
            Matrix a(n, n, 0), b(n, n, 0), d(n, n, 0), e(n, n + 1, 0);
            a.set(values);
            b.set(values);
            d.set(values);
            e.set(wide);
            // The output one column into the second input.
            std::vector<float *> into_e(static_cast<size_t>(n));
            for (int i = 0; i < n; i++)
                into_e[static_cast<size_t>(i)] = e[i] + 1;
            matrix_matrix_mult(a.data(), b.data(), a.data(), n, n, n);
            matrix_matrix_mult(d.data(), e.data(), into_e.data(), n, n, n);
            transposematrix_matrix_mult(b.data(), b.data(), n, n);
            diagmatrix_matrix_mult(d[1], d.data(), n, n);
            std::vector<float> out = a.values(), bout = b.values(), dout = d.values(),
                               eout = e.values();
            out.insert(out.end(), bout.begin(), bout.end());
            out.insert(out.end(), dout.begin(), dout.end());
            out.insert(out.end(), eout.begin(), eout.end());
            return out;
        });
    }
}
