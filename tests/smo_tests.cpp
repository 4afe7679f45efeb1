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

TEST(SMOWorkedExamples, KnownAnswers)
{
    // Interior optimum, reached in the first step and confirmed by a second
    // pass that moves nothing.
    EXPECT_EQ(solve(SMO, twoIdentity, {1, 1.5}), (std::vector<double>{0.375, 0.625}));
    // The line minimum lies beyond the edge: all weight goes to the pivot.
    EXPECT_EQ(solve(SMO, twoIdentity, {1, 3}), (std::vector<double>{0, 1}));
    // One coordinate: nothing can move, the start is the answer.
    EXPECT_EQ(solve(SMO, {5}, {-3}), (std::vector<double>{1}));
    // A partner falls to 0 and is retired only by a later sweep.
    const std::vector<double> x = solve(SMO, {8, 2, 6, 2, 1, 2, 6, 2, 5}, {2, 2, 3});
    EXPECT_EQ(bitsOf(x), bitsOf(std::vector<double>{0, 0.9999999999999999, 0}));
}

TEST(SMOWorkedExamples, TiesAndThresholds)
{
    // Equal largest weights: the lower index is the pivot; with identical
    // rows nothing differs and the start stands.
    EXPECT_EQ(solve(SMO, {1, 1, 1, 1}, {1, 1}), (std::vector<double>{0.5, 0.5}));
    // Weights below 1e-6 at the start never move, negative ones included.
    const std::vector<double> x = solve(SMO, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {1, 1e-9, -0.5});
    EXPECT_EQ(x[1], 1e-9 / (1 + 1e-9 - 0.5));
    EXPECT_EQ(x[2], -0.5 / (1 + 1e-9 - 0.5));
}

TEST(SMOProperties, StaysOnTheSimplexForPositiveB)
{
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        const CorpusProblem p = seed % 2 ? gaussianKernelProblem(30, seed) : psdProblem(30, 5, seed);
        const std::vector<double> x = solve(SMO, p.Q, p.b);
        double sum = 0.0;
        for (double v : x) {
            EXPECT_GE(v, 0.0) << p.name;
            sum += v;
        }
        EXPECT_NEAR(sum, 1.0, 1e-13) << p.name;
    }
}

TEST(SMOProperties, RiseUndoesOnlyTheLastStep)
{
    // Indefinite Q. The third pass ends 2e-16 above the second, so the rise
    // rule puts back x as it was before that pass's last step: neither the
    // end of the second pass (0.53810912119950027, 0.050812161599333647,
    // 0.41107871720116607) nor the end of the third.
    const std::vector<double> Q = {3, -1, 4, -1, 2, 4, 4, 4, 2};
    const std::vector<double> b = {3, 1, 3};
    const std::vector<double> x = solve(SMO, Q, b);
    EXPECT_EQ(bitsOf(x), bitsOf(solve(literal::SMO, Q, b)));
    EXPECT_EQ(x, (std::vector<double>{0.54810495626822153, 0.04081632653061229, 0.41107871720116618}));
}

TEST(SMOProperties, ReleasesItsScratch)
{
    const size_t before = standInLiveBlocks();
    const CorpusProblem p = gaussianKernelProblem(20, 7);
    solve(SMO, p.Q, p.b);
    solve(SMO, {}, {});
    EXPECT_EQ(standInLiveBlocks(), before);
}

TEST(SMOUnsupportedInput, TerminatesWithoutAPivot)
{
    // No weight can be a pivot: n = 0 writes nothing; weights that are not
    // numbers end every pass at once and are returned as they are.
    solve(SMO, {}, {});
    const std::vector<double> x = solve(SMO, {1, 0, 0, 1}, {1, -1});
    EXPECT_TRUE(std::isinf(x[0]) || std::isnan(x[0]));
    const std::vector<double> y = solve(SMO, {1, 0, 0, 1}, {NAN, 1});
    EXPECT_TRUE(std::isnan(y[0]) && std::isnan(y[1]));
    // A sum of b that overflows gives zero weights and, again, no pivot.
    EXPECT_EQ(solve(SMO, {1, 0, 0, 1}, {1e308, 1e308}), (std::vector<double>{0, 0}));
}

}  // namespace
