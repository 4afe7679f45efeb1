// Loops that could never end by themselves are stopped, and only those.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "corpus/corpus.h"
#include "mult_update/cycle_guard.h"
#include "oracle/literal.h"
#include "common/problem.h"
#include "common/solver_counts.h"
#include "common/solver_settings.h"
#include "simplex_qp.h"
#include "solve.h"
#include "stand_in.h"

namespace {

// Feeds the guard states 0, 1, 2, ... of a sequence (each one double wide)
// until it sees a repeat; returns the step at which it did, or 0.
template <typename State>
uint64_t stepOfRepeat(State state, uint64_t limit)
{
    CycleGuard guard = cycleGuardStart(1, defaultSettings().host);
    uint64_t seenAt = 0;
    for (uint64_t k = 0; k < limit && !seenAt; ++k) {
        const double x = state(k);
        if (cycleGuardSeesRepeat(guard, &x, 1))
            seenAt = k;
    }
    cycleGuardEnd(guard);
    return seenAt;
}

TEST(CycleGuard, SeesEveryRepeatSoonAfterItStartsAndNeverBefore)
{
    for (uint64_t start : {0, 1, 2, 5, 17, 100}) {
        for (uint64_t period : {1, 2, 3, 7, 64, 65, 1000}) {
            // Distinct values until start, then a cycle of the given period.
            auto state = [&](uint64_t k) {
                return static_cast<double>(k < start ? k : start + (k - start) % period);
            };
            const uint64_t seen = stepOfRepeat(state, 100000);
            ASSERT_GE(seen, start + period) << start << " " << period;
            EXPECT_EQ(state(seen), state(seen - period));
            EXPECT_LE(seen, 2 * std::max(start, period) + period) << start << " " << period;
        }
    }
    EXPECT_EQ(stepOfRepeat([](uint64_t k) { return static_cast<double>(k); }, 100000), 0u);
}

TEST(CycleGuard, ComparesBitsNotValues)
{
    // +0.0 and -0.0 are equal values but different states.
    EXPECT_EQ(stepOfRepeat([](uint64_t k) { return k == 0 ? 0.0 : k == 1 ? -0.0 : static_cast<double>(k); }, 1000),
              0u);
    // NaN never equals itself, yet the same NaN twice is the same state.
    EXPECT_EQ(stepOfRepeat([](uint64_t k) { return k % 2 ? NAN : 1.0; }, 1000), 3u);
}

TEST(CycleGuard, TakesOneBlockAndReleasesIt)
{
    const size_t before = standInLiveBlocks();
    CycleGuard guard = cycleGuardStart(1000, defaultSettings().host);
    EXPECT_EQ(standInLiveBlocks(), before + 1);
    cycleGuardEnd(guard);
    EXPECT_EQ(standInLiveBlocks(), before);
}

// f = sum_i (x_i * 0.5) * p_i - x_i * b_i with the plain row (or column)
// products.
double plainObjective(const std::vector<double>& Q, const std::vector<double>& b, const std::vector<double>& x,
                      bool columns = false)
{
    double f = 0.0;
    for (uint32_t i = 0; i < x.size(); ++i) {
        const double p = columns ? plainColumnProduct(Q, x, i) : plainRowProduct(Q, x, i);
        f += (x[i] * 0.5) * p - x[i] * b[i];
    }
    return f;
}

// One iteration of multUpdate's map, written out independently, returning
// the objective of the new x.
double multUpdateMap(const std::vector<double>& Q, const std::vector<double>& b, std::vector<double>& x)
{
    const uint32_t n = static_cast<uint32_t>(x.size());
    std::vector<double> r(n);
    double S = 0.0, Sb = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        r[i] = x[i] == 0.0 ? 0.0 : x[i] / plainRowProduct(Q, x, i);
        S += r[i];
        Sb += r[i] * b[i];
    }
    const double lambda = (1 - Sb) / S;
    double sigma = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        x[i] = (lambda + b[i]) * r[i];
        x[i] = x[i] <= 1e-6 ? 0.0 : x[i];
        sigma += x[i];
    }
    for (double& v : x)
        v /= sigma;
    return plainObjective(Q, b, x);
}

// Shows that x after `from` iterations comes back every `period` iterations
// with the objective changing by more than the tolerance at every step: the
// unguarded loop could never end.
void expectEndlessCycle(const std::vector<double>& Q, const std::vector<double>& b, int from, int period)
{
    std::vector<double> x(b.size());
    startingPoint(b.data(), static_cast<uint32_t>(b.size()), x.data());
    double previous = plainObjective(Q, b, x, true);
    std::vector<double> atFrom;
    for (int k = 1; k <= from + 2 * period; ++k) {
        const double f = multUpdateMap(Q, b, x);
        ASSERT_GT(std::fabs(f - previous), objectiveTolerance) << "iteration " << k;
        previous = f;
        if (k == from)
            atFrom = x;
        if (k == from + period || k == from + 2 * period) {
            ASSERT_EQ(bitsOf(x), bitsOf(atFrom)) << "iteration " << k;
        }
    }
}

TEST(MultUpdateCycles, StopsWhereTheRepeatIsSeen)
{
    // Positive definite, b positive. From the start (1/2, 1/2) the map gives
    // (1/3, 2/3) (lambda = 1, ratios 1/6 and 1/3), and from there (1/2, 1/2)
    // again, exactly; the objective alternates between 1/8 and 1/9.
    const std::vector<double> Q = {8, -2, -2, 5};
    const std::vector<double> b = {1, 1};
    expectEndlessCycle(Q, b, 1, 2);
    EXPECT_EQ(solve(multUpdate, Q, b), (std::vector<double>{0.5, 0.5}));

    // Positive semi-definite, b positive: the first weight is dropped at
    // once, the others drift by a few units in the last place for some
    // iterations and then alternate exactly.
    const std::vector<double> Q3 = {20, -4, -8, -4, 5, -2, -8, -2, 8};
    const std::vector<double> b3 = {5, 2, 2};
    expectEndlessCycle(Q3, b3, 9, 2);
    const std::vector<double> x = solve(multUpdate, Q3, b3);
    EXPECT_EQ(x, (std::vector<double>{0, 0.49999999999999972, 0.50000000000000022}));
}

TEST(MultUpdateCycles, RunsThatEndAreUnchanged)
{
    // Next to the cycling problem the map converges slowly, over hundreds
    // of iterations: the guard must not cut that short.
    for (double q11 : {5.000000001, 5.001, 5.1}) {
        const std::vector<double> Q = {8, -2, -2, q11};
        EXPECT_EQ(bitsOf(solve(multUpdate, Q, {1, 1})), bitsOf(solve(literal::multUpdateMended, Q, {1, 1}))) << q11;
    }
    const size_t before = standInLiveBlocks();
    solve(multUpdate, {8, -2, -2, 5}, {1, 1});
    EXPECT_EQ(standInLiveBlocks(), before);
}

TEST(SMOEnds, WithAnObjectiveThatIsNotANumber)
{
    // Row 3 holds an Inf in a column whose weight is positive, while its own
    // weight is 0: its row product is Inf, its objective term 0 * Inf, so
    // every objective is NaN and neither objective rule can stop the run.
    // The first two weights reach the minimum (3/7, 4/7) of their pair in
    // the first pass, yet every later pass still rewrites them (with a
    // gradient difference that is not exactly zero), so "no update" never
    // stops the run either. The objective that is not a number ends it
    // after the first pass.
    const std::vector<double> Q = {2, -1, INFINITY, -1, 3, 0, 0, 0, 1};
    const std::vector<double> b = {1, 2, 0};
    const size_t before = standInLiveBlocks();
    const std::vector<double> x = solve(SMO, Q, b);
    EXPECT_EQ(standInLiveBlocks(), before);
    EXPECT_TRUE(std::isnan(plainObjective(Q, b, x)));
    EXPECT_EQ(x, (std::vector<double>{0.42857142857142855, 0.5714285714285714, 0}));
    // The same pair without the Inf ends by the tolerance, at the same x.
    const std::vector<double> finiteQ = {2, -1, 0, -1, 3, 0, 0, 0, 1};
    EXPECT_EQ(bitsOf(x), bitsOf(solve(literal::SMO, finiteQ, b)));
}

TEST(SMOEnds, OnEveryCorpusProblemWithAnInfAdded)
{
    // The same damage to every corpus problem. Left to the objective rules,
    // the kernel problems among them run for hundreds of thousands of passes
    // (SMO converges slowly on them) without ever repeating a state. Now
    // each ends after its first pass, which is all the answer there is: the
    // damaged coordinate, with weight 0 from the start, never moves, and
    // the others are as the first pass of the undamaged problem leaves them.
    for (const CorpusProblem& p : makeCorpus()) {
        if (p.n < 2 || p.n > 64)
            continue;
        std::vector<double> Q = p.Q;
        std::vector<double> b = p.b;
        b[p.n - 1] = 0.0;
        Q[at(p.n - 1, 0, p.n)] = INFINITY;
        EXPECT_EQ(solve(SMO, Q, b)[p.n - 1], 0.0) << p.name;
    }
}

TEST(SMOEnds, SlowlyOnAnIndefiniteQWhoseEntriesSpanAWideRange)
{
    // A fuzzer's find (seed slow_smo_indefinite) with its entries of 1e6
    // made `large`. The pair (2, 3) has curvature 1 - 2 large < 0, so its
    // stationary point, where its step goes, is the line's maximum; with the
    // steps of (5, 3) and (2, 5) each pass takes x about 1 / (2 large) of
    // the way that remains and lowers f by more than the tolerance: a linear
    // convergence whose pass count grows with `large` (15 809 223 passes at
    // 1e6, seconds). It ends by the rules, and nothing may end it sooner:
    // the bits and the count of passes are those of the plain algorithm.
    const uint32_t n = 6;
    const std::vector<double> b = {1, 0.5, 2, 0.25, 1, 3};
    const struct {
        double large;
        uint64_t passes;
    } cases[] = {{1e3, 15746}, {1e4, 158030}};
    for (const auto& c : cases) {
        const double L = c.large, third = 0.3333333333333333, nearThird = 0.3333333333333397;
        // Column by column (symmetric).
        const std::vector<double> Q = {6,      0.5,    0.5,    11.875,    0.25,      0.5,
                                       0.5,    6,      6,      -4.625,    third,     6,
                                       0.5,    6,      0.5,    L,         0.5,       0.5,
                                       11.875, -4.625, L,      0.5,       6,         nearThird,
                                       0.25,   third,  0.5,    6,         0.5,       -4.625,
                                       0.5,    6,      0.5,    nearThird, -4.625,    L};
        std::vector<double> x(n);
        SolverCounts counts;
        smoCounted(Q.data(), b.data(), n, x.data(), defaultSettings(), counts);
        EXPECT_EQ(counts.passes, c.passes) << L;
        EXPECT_EQ(bitsOf(x), bitsOf(solve(literal::SMO, Q, b))) << L;
        EXPECT_EQ(x[0] + x[1] + x[4], 0.0) << L;
    }
}

}  // namespace
