// The exact products and the facts about Q that decide which shortcuts are
// safe: every product must equal the plain sequential sum to the last bit.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "draw.h"
#include "common/matrix_facts.h"
#include "common/solver_settings.h"
#include "common/products.h"
#include "solve.h"
#include "common/vector_loops.h"

namespace {

struct Case {
    std::vector<double> Q, x;
};

// Mixed signs and magnitudes, weights with zeros of both signs, cancelling
// terms: where the order of a sum shows in its last bits.
Case awkwardCase(uint32_t n, uint64_t seed, bool symmetric)
{
    Draw draw{seed};
    auto next = [&draw]() { return unit(draw); };
    Case c{std::vector<double>(static_cast<size_t>(n) * n), std::vector<double>(n)};
    for (uint32_t col = 0; col < n; ++col)
        for (uint32_t r = 0; r < n; ++r) {
            const double mantissa = next() - 0.5;
            double v = std::ldexp(mantissa, static_cast<int>(next() * 40) - 20);
            if (next() < 0.1)
                v = next() < 0.5 ? 0.0 : -0.0;
            c.Q[r + static_cast<size_t>(col) * n] = v;
            if (symmetric && r < col)
                c.Q[r + static_cast<size_t>(col) * n] = c.Q[col + static_cast<size_t>(r) * n];
        }
    for (double& v : c.x) {
        const double pick = next();
        const double mantissa = next() - 0.3;
        v = pick < 0.2 ? 0.0 : pick < 0.3 ? -0.0 : mantissa * std::ldexp(1.0, static_cast<int>(next() * 30) - 15);
    }
    return c;
}

TEST(ExactProducts, AllRowsByColumnsMatchSequentialSums)
{
    for (uint32_t n : {1u, 2u, 3u, 5u, 8u, 33u, 70u}) {
        const Case c = awkwardCase(n, n, false);
        std::vector<uint32_t> columns(n);
        std::vector<double> p(n);
        const uint32_t count = termsToSum(c.x.data(), n, true, columns.data());
        rowProductsOver(VectorPath::baseline, c.Q.data(), c.x.data(), n, columns.data(), count, p.data());
        for (uint32_t i = 0; i < n; ++i)
            ASSERT_EQ(bitsOf(p[i]), bitsOf(plainRowProduct(c.Q, c.x, i))) << "n=" << n << " row " << i;

        std::vector<uint32_t> rows(n);
        for (uint32_t i = 0; i < n; ++i)
            rows[i] = n - 1 - i;  // any order, repeated or not
        someRowProducts(c.Q.data(), c.x.data(), n, rows.data(), n, columns.data(), count, false, p.data());
        for (uint32_t j = 0; j < n; ++j)
            ASSERT_EQ(bitsOf(p[j]), bitsOf(plainRowProduct(c.Q, c.x, rows[j]))) << "n=" << n << " row " << rows[j];

        columnProducts(c.Q.data(), c.x.data(), n, p.data());
        for (uint32_t i = 0; i < n; ++i)
            ASSERT_EQ(bitsOf(p[i]), bitsOf(plainColumnProduct(c.Q, c.x, i))) << "n=" << n << " column " << i;
    }
}

TEST(ExactProducts, SymmetricRowsReadAsColumns)
{
    for (uint32_t n : {1u, 4u, 31u, 64u, 65u}) {
        const Case c = awkwardCase(n, 100 + n, true);
        ASSERT_TRUE(examineMatrix(defaultSettings().path, c.Q.data(), n).symmetric);
        std::vector<uint32_t> columns(n), rows(n);
        std::vector<double> p(n);
        const uint32_t count = termsToSum(c.x.data(), n, true, columns.data());
        for (uint32_t i = 0; i < n; ++i)
            rows[i] = i;
        someRowProducts(c.Q.data(), c.x.data(), n, rows.data(), n, columns.data(), count, true, p.data());
        for (uint32_t i = 0; i < n; ++i)
            ASSERT_EQ(bitsOf(p[i]), bitsOf(plainRowProduct(c.Q, c.x, i))) << "n=" << n << " row " << i;
    }
}

TEST(ExactProducts, ZeroWeightsAreSkippedOnlyWhenQIsFinite)
{
    const std::vector<double> x = {0.5, 0.0, -0.0, 0.5};
    std::vector<uint32_t> columns(4);
    ASSERT_EQ(termsToSum(x.data(), 4, true, columns.data()), 2u);
    EXPECT_EQ(columns[0], 0u);
    EXPECT_EQ(columns[1], 3u);
    // With an infinity in Q, 0 * inf is NaN and must reach the sum.
    ASSERT_EQ(termsToSum(x.data(), 4, false, columns.data()), 4u);
    std::vector<double> Q(16, 1.0);
    Q[0 + 1 * 4] = HUGE_VAL;
    double p0;
    const uint32_t row = 0;
    someRowProducts(Q.data(), x.data(), 4, &row, 1, columns.data(), 4, false, &p0);
    EXPECT_TRUE(std::isnan(p0));
    EXPECT_TRUE(std::isnan(plainRowProduct(Q, x, 0)));
}

TEST(MatrixFacts, FiniteLargestAndSymmetric)
{
    std::vector<double> Q = {1, -3, 2, -3, 5, 0, 2, 0, -7};
    MatrixFacts facts = examineMatrix(defaultSettings().path, Q.data(), 3);
    EXPECT_TRUE(facts.finite);
    EXPECT_TRUE(facts.symmetric);
    EXPECT_EQ(facts.largest, 7.0);

    // +0 against -0: equal numbers, different bits. Reading the row as the
    // column would still give the same sums, but only bit-identical mirrors
    // are taken as symmetric.
    Q[2 + 1 * 3] = -0.0;
    EXPECT_FALSE(examineMatrix(defaultSettings().path, Q.data(), 3).symmetric);

    Q = {1, 2, 2, 1};
    Q[0] = NAN;
    facts = examineMatrix(defaultSettings().path, Q.data(), 2);
    EXPECT_FALSE(facts.finite);
    Q[0] = -HUGE_VAL;
    EXPECT_FALSE(examineMatrix(defaultSettings().path, Q.data(), 2).finite);
}

TEST(MatrixFacts, AsymmetryAnywhereIsFound)
{
    // Sizes around the tile edge, one mismatch in each possible place.
    for (uint32_t n : {2u, 31u, 32u, 33u, 70u}) {
        const Case c = awkwardCase(n, 7 * n, true);
        for (uint32_t r = 1; r < n; r += n / 2 + 1) {
            std::vector<double> Q = c.Q;
            Q[r + static_cast<size_t>(r - 1) * n] = std::nextafter(Q[r + static_cast<size_t>(r - 1) * n], 9.0);
            EXPECT_FALSE(examineMatrix(defaultSettings().path, Q.data(), n).symmetric) << "n=" << n << " r=" << r;
        }
        std::vector<double> Q = c.Q;
        Q[(n - 1) + 0 * static_cast<size_t>(n)] += 1.0;
        EXPECT_FALSE(examineMatrix(defaultSettings().path, Q.data(), n).symmetric) << "n=" << n;
    }
}

}  // namespace
