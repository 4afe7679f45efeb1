// multUpdate's products over a shrinking support: whichever way they are
// computed (all rows, a packed block, the block compacted), the rows of the
// support get the plain sequential sums, bit for bit.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "draw.h"
#include "solve.h"
#include "stand_in.h"
#include "mult_update/support_products.h"

namespace {

std::vector<double> symmetricMatrix(uint32_t n, uint64_t seed)
{
    Draw draw{seed};
    std::vector<double> Q(static_cast<size_t>(n) * n);
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = c; r < n; ++r) {
            const double mantissa = unit(draw) - 0.25;
            Q[r + static_cast<size_t>(c) * n] = Q[c + static_cast<size_t>(r) * n] =
                std::ldexp(mantissa, static_cast<int>(unit(draw) * 7));
        }
    return Q;
}

TEST(SupportProducts, ExactForTheSupportAsItShrinks)
{
    const uint32_t n = 90;
    const std::vector<double> Q = symmetricMatrix(n, 5);
    const std::vector<double> b(n, 1.0);
    const size_t blocksBefore = standInLiveBlocks();
    SupportProducts products;
    startSupportProducts(products, Q.data(), b.data(), n, defaultSettings());

    // Weights dropping out a few at a time, in a scattered order: the
    // products go from all rows to a packed block and through compactions.
    std::vector<double> x(n);
    for (uint32_t i = 0; i < n; ++i)
        x[i] = 1.0 / (1 + i % 13);
    std::vector<double> p(n, 0.0);
    bool packed = false, compacted = false;
    uint32_t blockSize = 0;
    for (uint32_t round = 0; round < 40; ++round) {
        for (uint32_t j = 0; j < 2; ++j)
            x[((2 * round + j) * 37) % n] = round % 2 ? 0.0 : -0.0;  // 37 is prime to n
        const bool allRows = supportRowProducts(products, Q.data(), x.data(), p.data());
        for (uint32_t i = 0; i < n; ++i) {
            if (allRows || x[i] != 0.0) {
                ASSERT_EQ(bitsOf(p[i]), bitsOf(plainRowProduct(Q, x, i))) << "round " << round << " row " << i;
            }
        }
        packed |= !allRows;
        compacted |= products.block && blockSize && products.packedCount < blockSize;
        blockSize = products.block ? products.packedCount : 0;
    }
    EXPECT_TRUE(packed);
    EXPECT_TRUE(compacted);
    finishSupportProducts(products);
    EXPECT_EQ(standInLiveBlocks(), blocksBefore);
}

TEST(SupportProducts, EveryRowWhenSkippingIsNotSafe)
{
    const uint32_t n = 20;
    std::vector<double> x(n, 0.0);
    x[3] = 1.0;  // a support of one: small enough to pack
    std::vector<double> p(n);
    for (int variant = 0; variant < 4; ++variant) {
        std::vector<double> Q = symmetricMatrix(n, 9);
        std::vector<double> b(n, 1.0);
        if (variant == 0)
            Q[7 + 3 * n] = HUGE_VAL;  // row 7's product is infinite
        else if (variant == 1)
            b[5] = NAN;  // a NaN objective term for a zero weight
        else if (variant == 2)
            Q[0] = 0x1p1010;  // finite, but row sums that may overflow
        else
            Q[7 + 5 * n] = HUGE_VAL;  // 0 * inf: row 7's product is NaN too
        SupportProducts products;
        startSupportProducts(products, Q.data(), b.data(), n, defaultSettings());
        EXPECT_TRUE(supportRowProducts(products, Q.data(), x.data(), p.data())) << "variant " << variant;
        for (uint32_t i = 0; i < n; ++i)
            EXPECT_EQ(bitsOf(p[i]), bitsOf(plainRowProduct(Q, x, i))) << "variant " << variant << " row " << i;
        finishSupportProducts(products);
    }
}

}  // namespace
