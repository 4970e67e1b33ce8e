// The checker the front ends share (argcheck.h): sizes multiplied without
// overflow, worker-thread caps, fourn's extent product, alignment; and a batch
// whose results could not exist in memory refused before it allocates.
#include "argcheck.h"
#include "batch.h"
#include "support/fatal.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace ta = tessivane::args;

namespace {

TEST(ArgCheck, SizesAreMultipliedWithoutOverflow)
{
    std::size_t p = 7;
    EXPECT_TRUE(ta::size_product({46341, 46341}, &p));  // an int would overflow here
    EXPECT_EQ(p, std::size_t(46341) * 46341);
    EXPECT_FALSE(ta::size_product({SIZE_MAX / 2, 3}, &p));
    EXPECT_EQ(p, std::size_t(46341) * 46341);  // untouched on refusal
    EXPECT_FALSE(ta::size_product({65536, 65536}, &p, INT_MAX));
    EXPECT_TRUE(ta::size_product({}, &p) && p == 1);
    const unsigned long nn[] = {0, 4, 8, 1UL << 40, 1UL << 30};
    EXPECT_EQ(ta::product_1(nn, 2), 32);
    EXPECT_EQ(ta::product_1(nn, 4), -1);  // 2^65 points
    EXPECT_EQ(ta::product_1(nullptr, 2), 0);
}

TEST(ArgCheck, WorkerThreadsAreCappedAtRowsAndCpus)
{
    struct Case {
        std::size_t rows;
        unsigned long long requested;
        unsigned cpus, expected;
    } cases[] = {{20000, 1000000, 2, 8}, {20000, UINT_MAX, 2, 8}, {20000, 0, 2, 2},
                 {3, 0, 16, 3},          {3, 7, 16, 3},           {0, 5, 2, 1},
                 {100, 5, 0, 4},         {100, 6, 2, 6}};
    for (const Case &c : cases)
        EXPECT_EQ(ta::worker_threads(c.rows, c.requested, c.cpus), c.expected)
            << c.rows << " rows, " << c.requested << " asked, " << c.cpus << " cpus";
}

TEST(ArgCheck, AlignmentOfAnElementType)
{
    alignas(8) unsigned char bytes[16] = {};
    EXPECT_TRUE(ta::aligned<float>(bytes + 4));
    EXPECT_FALSE(ta::aligned<float>(bytes + 1));
    EXPECT_FALSE(ta::aligned<double>(bytes + 4));
    EXPECT_TRUE(ta::aligned<double>(nullptr));
}

TEST(ArgCheck, ABatchBeyondTheAddressSpaceIsRefused)
{
    float data[40] = {}, params[1] = {};
    namespace tb = tessivane::batch;
    tb::lm_problem pb;
    pb.x = tb::series_view::shared(data, 4, 40);
    pb.y = tb::series_view::rows(data, 4, 40);
    pb.a0 = params;
    pb.ma = INT_MAX;
    TV_EXPECT_FATAL(tb::lm_fit_many(pb, {params, nullptr, nullptr, nullptr}),
                    "batch lm_fit: 4 rows of 2147483647 x 2147483647 floats exceed the address "
                    "space");
}

}  // namespace
