// Every vector path against the plain loops and the literal solvers, bit
// for bit: the loops compiled per path on values where order, signed zeros,
// ties and NaNs show, and both solvers on the corpus and random problems.
// And the optional scratch: refusing it changes no answer.
#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "corpus/corpus.h"
#include "draw.h"
#include "oracle/literal.h"
#include "problem_kinds.h"
#include "simplex_qp.h"
#include "solve.h"
#include "common/solver_counts.h"
#include "common/vector_loops.h"
#include "vector_paths.h"

namespace {

// Values of mixed signs and magnitudes, with zeros of both signs, repeats
// and (when asked) NaNs.
std::vector<double> awkwardValues(Draw& draw, size_t count, bool withNaN)
{
    std::vector<double> v(count);
    for (double& value : v) {
        const double pick = unit(draw);
        value = pick < 0.1   ? 0.0
                : pick < 0.2 ? -0.0
                : pick < 0.3 ? 0.25                            // ties
                : pick < 0.33 && withNaN ? NAN
                             : std::ldexp(unit(draw) - 0.3, static_cast<int>(unit(draw) * 40) - 20);
    }
    return v;
}

using VectorLoops = OnEveryVectorPath;

TEST_P(VectorLoops, RowProductsAreTheSequentialSums)
{
    Draw draw{11};
    for (uint32_t n : {1u, 3u, 4u, 5u, 8u, 13u, 67u}) {
        const std::vector<double> Q = awkwardValues(draw, static_cast<size_t>(n) * n, false);
        const std::vector<double> x = awkwardValues(draw, n, false);
        std::vector<uint32_t> all(n);
        for (uint32_t k = 0; k < n; ++k)
            all[k] = k;
        std::vector<double> p(n);
        rowProductsOver(GetParam(), Q.data(), x.data(), n, all.data(), n, p.data());
        for (uint32_t i = 0; i < n; ++i)
            ASSERT_EQ(bitsOf(p[i]), bitsOf(plainRowProduct(Q, x, i))) << "n=" << n << " row " << i;
    }
}

TEST_P(VectorLoops, PairStepMovesEveryEstimateAsDefined)
{
    Draw draw{12};
    for (uint32_t n : {1u, 4u, 7u, 66u}) {
        std::vector<double> G = awkwardValues(draw, n, true);
        const std::vector<double> a = awkwardValues(draw, n, true), p = awkwardValues(draw, n, true);
        std::vector<double> expected(n);
        for (uint32_t i = 0; i < n; ++i)
            expected[i] = (G[i] + a[i] * -0.375) + p[i] * 0x1p-30;
        followPairStep(GetParam(), G.data(), a.data(), -0.375, p.data(), 0x1p-30, n);
        EXPECT_EQ(bitsOf(G), bitsOf(expected)) << "n=" << n;
    }
}

// The plain retirement and pivot search of an SMO step, one coordinate at a
// time.
PivotChoice plainRetireAndFindPivot(const std::vector<double>& x, std::vector<unsigned char>& active,
                                    const RetiringStep& step)
{
    PivotChoice choice{false, false, 0, -1.0};
    for (uint32_t i = 0; i < x.size(); ++i) {
        if (x[i] == step.oldMaximum)
            active[i] = 0;
        if (x[i] == step.partnerWeight && i != step.partner)
            active[i] = 0;
        choice.anyActive = choice.anyActive || active[i];
    }
    for (uint32_t i = 0; i < x.size(); ++i)
        if (active[i] && x[i] > choice.maximum) {
            choice.maximum = x[i];
            choice.pivot = i;
            choice.found = true;
        }
    return choice;
}

TEST_P(VectorLoops, RetirementAndPivotAsThePlainScan)
{
    Draw draw{13};
    for (int trial = 0; trial < 400; ++trial) {
        const uint32_t n = 1 + static_cast<uint32_t>(unit(draw) * 40);
        // Few distinct weights, so that ties, and the lowest index among
        // them, decide; -1 and below are never a pivot.
        std::vector<double> x(n);
        const double choices[] = {0.5, 0.25, 0.0, -0.0, -1.0, -2.0, NAN, 0.125};
        for (double& v : x)
            v = choices[static_cast<int>(unit(draw) * 8)];
        std::vector<unsigned char> active(n);
        for (unsigned char& flag : active)
            flag = unit(draw) < 0.7;
        const uint32_t partner = static_cast<uint32_t>(unit(draw) * n);
        const RetiringStep step{choices[static_cast<int>(unit(draw) * 8)], partner, x[partner]};

        std::vector<unsigned char> expectedActive = active;
        const PivotChoice expected = plainRetireAndFindPivot(x, expectedActive, step);
        const PivotChoice got = retireAndFindPivot(GetParam(), x.data(), active.data(), n, step);
        ASSERT_EQ(active, expectedActive) << "trial " << trial;
        ASSERT_EQ(got.anyActive, expected.anyActive) << "trial " << trial;
        ASSERT_EQ(got.found, expected.found) << "trial " << trial;
        if (expected.found) {
            ASSERT_EQ(got.pivot, expected.pivot) << "trial " << trial;
            ASSERT_EQ(bitsOf(got.maximum), bitsOf(expected.maximum)) << "trial " << trial;
        }
    }
}

// The pass that checks Q and finds its scale: the largest magnitude as a
// plain scan finds it, whatever the length (every split between the lanes
// and the tail), and infinity as soon as one value anywhere is not finite,
// even one whose magnitude hides behind a larger finite value's (a NaN
// fails every comparison) or one in the last, odd slot.
TEST_P(VectorLoops, LargestMagnitudeAndFinitenessInOnePass)
{
    Draw draw{15};
    for (int trial = 0; trial < 600; ++trial) {
        const size_t count = static_cast<size_t>(unit(draw) * 70);
        std::vector<double> v = awkwardValues(draw, count, false);
        double expected = 0.0;
        for (double value : v)
            expected = std::fabs(value) > expected ? std::fabs(value) : expected;
        ASSERT_EQ(bitsOf(largestMagnitudeOf(GetParam(), v.data(), count)), bitsOf(expected)) << "trial " << trial;
        if (count == 0)
            continue;
        const size_t where = trial % 3 == 0 ? count - 1 : static_cast<size_t>(unit(draw) * count);
        const double bad[] = {NAN, -NAN, INFINITY, -INFINITY};
        v[where] = bad[trial % 4];
        ASSERT_EQ(largestMagnitudeOf(GetParam(), v.data(), count), INFINITY)
            << "trial " << trial << ": " << v[where] << " at " << where << " of " << count;
    }
    // The largest finite double is finite; subnormals and -0.0 are magnitudes.
    const std::vector<double> edges = {-0.0, 0x1p-1074, -0x1.fffffffffffffp+1023, 1.0, 0.0, -0x1p-1074, 2.0, 3.0, -0.0};
    EXPECT_EQ(largestMagnitudeOf(GetParam(), edges.data(), edges.size()), 0x1.fffffffffffffp+1023);
    EXPECT_EQ(bitsOf(largestMagnitudeOf(GetParam(), edges.data(), 2)), bitsOf(0x1p-1074));
    EXPECT_EQ(bitsOf(largestMagnitudeOf(GetParam(), edges.data(), 1)), bitsOf(0.0));
}

TEST_P(VectorLoops, ScreeningKeepsEveryCandidateThatMayBeTheLargest)
{
    Draw draw{14};
    for (int trial = 0; trial < 300; ++trial) {
        const uint32_t n = 1 + static_cast<uint32_t>(unit(draw) * 50);
        const std::vector<double> G = awkwardValues(draw, n, trial % 3 == 0);
        const std::vector<double> b = awkwardValues(draw, n, false);
        const std::vector<double> x = awkwardValues(draw, n, trial % 5 == 0);
        const double pivotGradient = G[0] - b[0];
        const double slack = trial % 4 == 0 ? 0.0 : std::ldexp(unit(draw), -10 - trial % 8);

        // As defined: the magnitudes, their largest from 0.0, then the test.
        std::vector<double> m(n);
        double largest = 0.0;
        for (uint32_t i = 0; i < n; ++i) {
            m[i] = x[i] <= 1e-6 ? -INFINITY : std::fabs((G[i] - b[i]) - pivotGradient);
            largest = m[i] > largest ? m[i] : largest;
        }
        std::vector<uint32_t> expected;
        for (uint32_t i = 0; i < n; ++i)
            if (!(m[i] + slack < largest - slack))
                expected.push_back(i);

        std::vector<uint32_t> listed(n);
        std::vector<double> magnitudes(n);
        double gotLargest;
        const uint32_t count = screenCandidates(GetParam(), G.data(), b.data(), x.data(), n, pivotGradient, slack,
                                                listed.data(), magnitudes.data(), gotLargest);
        ASSERT_EQ(bitsOf(gotLargest), bitsOf(largest)) << "trial " << trial;
        std::vector<uint32_t> kept;
        for (uint32_t j = 0; j < count; ++j) {
            ASSERT_EQ(bitsOf(magnitudes[j]), bitsOf(m[listed[j]])) << "trial " << trial;
            if (j > 0) {
                ASSERT_LT(listed[j - 1], listed[j]) << "trial " << trial;
            }
            if (!(magnitudes[j] + slack < gotLargest - slack))
                kept.push_back(listed[j]);
        }
        ASSERT_EQ(kept, expected) << "trial " << trial;
    }
}

INSTANTIATE_ON_EVERY_VECTOR_PATH(VectorLoops);

// ---- The solvers on each path ----------------------------------------------

std::vector<double> solveWith(void (*solver)(const double*, const double*, uint32_t, double*, const SolverSettings&,
                                             SolverCounts&),
                              const CorpusProblem& p, const SolverSettings& settings, SolverCounts& counts)
{
    std::vector<double> x(p.n, -12345.0);
    solver(p.Q.data(), p.b.data(), p.n, x.data(), settings, counts);
    return x;
}

void expectLiteralAnswers(const CorpusProblem& p, const SolverSettings& settings)
{
    SolverCounts counts;
    EXPECT_EQ(bitsOf(solveWith(smoCounted, p, settings, counts)), bitsOf(solve(literal::SMO, p.Q, p.b)))
        << "SMO, " << p.name;
    EXPECT_EQ(bitsOf(solveWith(multUpdateCounted, p, settings, counts)),
              bitsOf(solve(literal::multUpdateMended, p.Q, p.b)))
        << "multUpdate, " << p.name;
}

using SolversOnPath = OnEveryVectorPath;

TEST_P(SolversOnPath, CorpusAnswersAreTheLiteralOnes)
{
    for (const CorpusProblem& p : makeCorpus())
        expectLiteralAnswers(p, settings());
}

TEST_P(SolversOnPath, RandomProblemsOfEveryKind)
{
    uint32_t kindCount;
    const ProblemKind* kinds = problemKinds(kindCount);
    for (uint32_t k = 0; k < kindCount; ++k)
        for (uint64_t seed = 1; seed <= 16; ++seed) {
            // Sizes 25 to 40: every count of coordinates left over after the
            // lanes, and rows enough for the estimates to screen.
            const uint32_t n = 1 + static_cast<uint32_t>(seed * 7919 % 40);
            expectLiteralAnswers(kinds[k].make(n, 300000 + seed * kindCount + k), settings());
            if (::testing::Test::HasFailure())
                return;  // one problem's report is enough
        }
}

INSTANTIATE_ON_EVERY_VECTOR_PATH(SolversOnPath);

// ---- Optional scratch ------------------------------------------------------

// A kernel mixture on the line: b is peaked at one point, so that most
// weights go to 0 and the support falls under a quarter of n, where
// multUpdate packs its block.
CorpusProblem peakedMixture(uint32_t n, uint64_t seed)
{
    Draw draw{seed};
    std::vector<double> centres(n);
    for (double& c : centres)
        c = unit(draw);
    CorpusProblem p;
    p.n = n;
    p.name = "peaked mixture n=" + std::to_string(n) + " seed=" + std::to_string(seed);
    p.Q.resize(static_cast<size_t>(n) * n);
    p.b.resize(n);
    for (uint32_t c = 0; c < n; ++c) {
        for (uint32_t r = 0; r < n; ++r) {
            const double d = centres[r] - centres[c];
            p.Q[r + static_cast<size_t>(c) * n] = std::exp(-d * d / 0.02);
        }
        const double d = centres[c] - 0.4;
        p.b[c] = std::exp(-d * d / 0.01) + 1e-9;
    }
    return p;
}

void* refuse(size_t)
{
    return nullptr;
}

void neverGiven(void*)
{
    std::abort();  // nothing was taken
}

TEST(OptionalScratch, RefusedChangesNoAnswer)
{
    SolverSettings refusing = defaultSettings();
    refusing.optional = OptionalScratch{refuse, neverGiven};
    int packedRuns = 0;
    for (uint64_t seed = 1; seed <= 30; ++seed) {
        const CorpusProblem p = peakedMixture(40 + static_cast<uint32_t>(seed) * 7, seed);
        SolverCounts given, refused;
        const std::vector<double> withBlock = solveWith(multUpdateCounted, p, defaultSettings(), given);
        EXPECT_EQ(bitsOf(withBlock), bitsOf(solve(literal::multUpdateMended, p.Q, p.b))) << p.name;
        EXPECT_EQ(bitsOf(solveWith(multUpdateCounted, p, refusing, refused)), bitsOf(withBlock)) << p.name;
        EXPECT_EQ(refused.optionalBytes, 0u);
        EXPECT_EQ(refused.passes, given.passes) << p.name;
        // Within a sixteenth of Q's size, plus 24 bytes for each of at most
        // n / 2 rows.
        EXPECT_LE(given.optionalBytes, p.n * static_cast<size_t>(p.n) / 2 + 12 * p.n) << p.name;
        packedRuns += given.optionalBytes > 0;
        SolverCounts smoCounts;
        EXPECT_EQ(bitsOf(solveWith(smoCounted, p, refusing, smoCounts)), bitsOf(solve(SMO, p.Q, p.b))) << p.name;
    }
    EXPECT_GT(packedRuns, 5);  // the block was there to refuse
}

}  // namespace
