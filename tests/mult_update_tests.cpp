#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "corpus/corpus.h"
#include "oracle/literal.h"
#include "simplex_qp.h"
#include "solve.h"
#include "stand_in.h"

namespace {

const std::vector<double> twoIdentity = {2, 0, 0, 2};

TEST(MultUpdateWorkedExamples, KnownAnswers)
{
    EXPECT_EQ(solve(multUpdate, twoIdentity, {1, 1.5}), (std::vector<double>{0.375, 0.625}));
    // One coordinate: the last division makes the weight exactly 1...
    EXPECT_EQ(solve(multUpdate, {2}, {3}), (std::vector<double>{1}));
    // ...unless lambda + b_0 cancels to 0, which leaves 0/0.
    EXPECT_TRUE(std::isnan(solve(multUpdate, {1}, {1e17})[0]));
}

TEST(MultUpdateWorkedExamples, ZeroedWeightStaysZero)
{
    // The first iteration gives (0, 1). In the second, coordinate 0 has
    // weight 0 and row product 0: taken literally its ratio 0/0 would make
    // every weight NaN; a zero weight keeps ratio 0 and the answer stands.
    EXPECT_EQ(solve(multUpdate, twoIdentity, {1, 3}), (std::vector<double>{0, 1}));
    const std::vector<double> literal = solve(literal::multUpdate, twoIdentity, {1, 3});
    EXPECT_TRUE(std::isnan(literal[0]) && std::isnan(literal[1]));

    // A zero that is not 0/0 (b_i = 0, a non-zero row product) is +0 either
    // way and nothing else changes.
    const std::vector<double> Q = {2, 1, 1, 1, 2, 1, 1, 1, 2};
    EXPECT_EQ(bitsOf(solve(multUpdate, Q, {1, 0, 2})), bitsOf(solve(literal::multUpdate, Q, {1, 0, 2})));
}

TEST(MultUpdateWorkedExamples, NegligibleWeightsAreZeroedAndTheRestRenormalised)
{
    const CorpusProblem p = psdProblem(40, 3, 3);
    const std::vector<double> x = solve(multUpdate, p.Q, p.b);
    double sum = 0.0;
    int zeros = 0;
    for (double v : x) {
        EXPECT_TRUE(v == 0.0 || v > 1e-7);
        zeros += v == 0.0;
        sum += v;
    }
    EXPECT_NEAR(sum, 1.0, 1e-13);
    EXPECT_GT(zeros, 0);
}

TEST(MultUpdateUnsupportedInput, ZeroRowProductForAPositiveWeight)
{
    // An all-zero row makes the ratio of a positive weight infinite: the
    // non-numbers spread and the tolerance test ends the loop at once.
    const std::vector<double> x = solve(multUpdate, {0, 0, 0, 1}, {1, 1});
    EXPECT_TRUE(std::isnan(x[0]) && std::isnan(x[1]));
}

TEST(MultUpdateProperties, ReleasesItsScratch)
{
    const size_t before = standInLiveBlocks();
    const CorpusProblem p = psdProblem(20, 20, 9);
    solve(multUpdate, p.Q, p.b);
    solve(multUpdate, {}, {});
    EXPECT_EQ(standInLiveBlocks(), before);
}

}  // namespace
