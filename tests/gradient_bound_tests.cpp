// The bound on how far SMO's gradient estimates may be from the exact row
// products, and the partner search that relies on it: the search must pick
// the literal partner for every estimate within the bound, however placed.
#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "draw.h"
#include "smo/gradient_estimate.h"
#include "common/matrix_facts.h"
#include "common/products.h"
#include "smo/smo_parts.h"
#include "solve.h"
#include "common/vector_loops.h"

namespace {

// A symmetric Q with entries of both signs and magnitudes spread over 2^+-8,
// and weights on the simplex, some zero.
void randomProblem(Draw& draw, uint32_t n, std::vector<double>& Q, std::vector<double>& x)
{
    Q.assign(static_cast<size_t>(n) * n, 0.0);
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = c; r < n; ++r) {
            const double mantissa = unit(draw) * 2 - 1;
            Q[r + static_cast<size_t>(c) * n] = Q[c + static_cast<size_t>(r) * n] =
                std::ldexp(mantissa, static_cast<int>(unit(draw) * 16) - 8);
        }
    x.assign(n, 0.0);
    double sum = 0.0;
    for (double& v : x) {
        v = unit(draw) < 0.2 ? 0.0 : unit(draw);
        sum += v;
    }
    for (double& v : x)
        v = sum > 0 ? v / sum : 1.0 / n;
}

GradientEstimate estimateFor(const std::vector<double>& Q, uint32_t n, std::vector<double>& rows)
{
    GradientEstimate estimate{};
    rows.assign(n, 0.0);
    estimate.rows = rows.data();
    estimate.n = n;
    const MatrixFacts facts = examineMatrix(defaultSettings().path, Q.data(), n);
    estimate.largestQ = facts.largest;
    estimate.dataBounded = facts.finite;
    return estimate;
}

TEST(GradientEstimate, BoundHoldsThroughAPassOfPairSteps)
{
    Draw draw{12345};
    for (uint32_t n : {2u, 7u, 40u, 150u}) {
        std::vector<double> Q, x, rows;
        randomProblem(draw, n, Q, x);
        GradientEstimate estimate = estimateFor(Q, n, rows);
        std::vector<uint32_t> columns(n);
        refreshEstimate(estimate, VectorPath::baseline, Q.data(), x.data(), columns.data(), termsToSum(x.data(), n, true, columns.data()));
        ASSERT_TRUE(estimate.trusted);
        const double atRefresh = estimateBound(estimate);

        double worst = 0.0;  // largest observed error over the bound
        for (uint32_t step = 0; step < n; ++step) {
            // Weight moves between two coordinates as a pair step moves it:
            // the pair's sum kept, both weights non-negative.
            const uint32_t a = static_cast<uint32_t>(unit(draw) * n);
            const uint32_t p = static_cast<uint32_t>(unit(draw) * n);
            if (a == p)
                continue;
            const double oldA = x[a], oldP = x[p];
            const double s = oldA + oldP;
            const double t = s * unit(draw);
            x[p] = t;
            x[a] = s - t;
            moveEstimate(estimate, VectorPath::baseline, Q.data(), a, x[a] - oldA, p, x[p] - oldP);
            const double bound = estimateBound(estimate);
            for (uint32_t i = 0; i < n; ++i)
                worst = std::max(worst, std::fabs(rows[i] - plainRowProduct(Q, x, i)) / bound);
        }
        EXPECT_LE(worst, 1.0) << "n=" << n;
        // Every step's rounding is accounted for: the bound grows.
        EXPECT_GT(estimateBound(estimate), atRefresh) << "n=" << n;
    }
}

TEST(GradientEstimate, NotTrustedWhereRoundingIsNotTheOnlyError)
{
    std::vector<double> Q = {1, 0, 0, 1}, x = {0.5, 0.5}, rows;
    GradientEstimate estimate = estimateFor(Q, 2, rows);
    std::vector<uint32_t> columns = {0, 1};
    refreshEstimate(estimate, VectorPath::baseline, Q.data(), x.data(), columns.data(), 2);
    EXPECT_TRUE(estimate.trusted);

    // Products that could overflow.
    estimate.largestQ = 0x1p1000;
    refreshEstimate(estimate, VectorPath::baseline, Q.data(), x.data(), columns.data(), 2);
    EXPECT_FALSE(estimate.trusted);
    // Weights that are not numbers.
    estimate.largestQ = 1.0;
    x[1] = NAN;
    refreshEstimate(estimate, VectorPath::baseline, Q.data(), x.data(), columns.data(), 2);
    EXPECT_FALSE(estimate.trusted);
    // Data the caller found unbounded.
    x[1] = 0.5;
    estimate.dataBounded = false;
    refreshEstimate(estimate, VectorPath::baseline, Q.data(), x.data(), columns.data(), 2);
    EXPECT_FALSE(estimate.trusted);
}

// The partner a full evaluation picks: the first candidate of largest |e|.
uint32_t literalPartner(const std::vector<double>& Q, const std::vector<double>& b, const std::vector<double>& x,
                        uint32_t pivot, double& difference)
{
    const double pivotGradient = plainRowProduct(Q, x, pivot) - b[pivot];
    uint32_t partner = pivot;
    double best = 0.0;
    difference = 0.0;
    for (uint32_t i = 0; i < x.size(); ++i) {
        if (x[i] <= 1e-6)
            continue;
        const double e = (plainRowProduct(Q, x, i) - b[i]) - pivotGradient;
        if (std::fabs(e) > best) {
            partner = i;
            best = std::fabs(e);
            difference = e;
        }
    }
    return partner;
}

TEST(PartnerSearch, PicksTheLiteralPartnerWheneverEstimatesAreWithinTheBound)
{
    Draw draw{777};
    int decided = 0;  // searches where the estimates alone would have misled
    for (int trial = 0; trial < 300; ++trial) {
        const uint32_t n = 2 + static_cast<uint32_t>(unit(draw) * 60);
        std::vector<double> Q, x, rows;
        randomProblem(draw, n, Q, x);
        const uint32_t pivot = static_cast<uint32_t>(std::max_element(x.begin(), x.end()) - x.begin());

        SmoWork work{};
        work.n = n;
        std::vector<uint32_t> columns(n), survivors(n + 1);
        std::vector<double> magnitudes(n + 1);
        work.columns = columns.data();
        work.columnCount = termsToSum(x.data(), n, true, columns.data());
        work.symmetric = true;
        work.finiteQ = true;
        work.magnitudes = magnitudes.data();
        work.rows = survivors.data();
        work.estimate = estimateFor(Q, n, rows);
        refreshEstimate(work.estimate, VectorPath::baseline, Q.data(), x.data(), columns.data(), work.columnCount);
        // As if many steps had passed: the bound as wide as it may get.
        work.estimate.drift = 0x1p-21 * work.estimate.weightBound;
        const double bound = estimateBound(work.estimate);

        // b puts the candidates' |e| within a few bounds of one another, in
        // steps of a third of a bound and of both signs, so that the order of
        // the estimates says little about the order of the exact values.
        std::vector<double> b(n);
        const double pivotRow = plainRowProduct(Q, x, pivot);
        for (uint32_t i = 0; i < n; ++i) {
            const double sign = unit(draw) < 0.5 ? 1.0 : -1.0;
            b[i] = i == pivot ? 0.0 : (plainRowProduct(Q, x, i) - pivotRow) - sign * (0.5 + bound * std::floor(unit(draw) * 9) / 3);
        }
        double largestB = 0.0;
        for (double v : b)
            largestB = std::max(largestB, std::fabs(v));
        work.largestB = largestB;

        double difference;
        std::vector<double> expected = x;
        const uint32_t partner = literalPartner(Q, b, x, pivot, difference);
        updateWeight(partner, pivot, expected.data(), difference, Q.data(), n);

        // The worst estimates the bound allows: the true partner's |e| looks
        // as small as it may and everyone else's as large; the pivot's
        // gradient is off by a bound in the direction that shrinks the
        // partner's |e| and grows that of every candidate of the other sign.
        auto sideOf = [&](uint32_t i) { return (plainRowProduct(Q, x, i) - b[i]) - (pivotRow - b[pivot]) >= 0 ? 1.0 : -1.0; };
        for (uint32_t i = 0; i < n; ++i) {
            const double exact = plainRowProduct(Q, x, i);
            rows[i] = i == pivot ? exact + sideOf(partner) * bound
                                 : exact + (i == partner ? -sideOf(i) : sideOf(i)) * bound;
            if (i != partner && i != pivot && x[i] > 1e-6 &&
                std::fabs((rows[i] - b[i]) - (rows[pivot] - b[pivot])) >
                    std::fabs((rows[partner] - b[partner]) - (rows[pivot] - b[pivot])))
                ++decided;
        }

        uint32_t found;
        double partnerBefore;
        std::vector<double> got = x;
        searchPoint(found, pivot, got.data(), Q.data(), b.data(), n, partnerBefore, work);
        ASSERT_EQ(found, partner) << "trial " << trial;
        ASSERT_EQ(bitsOf(got), bitsOf(expected)) << "trial " << trial;
        ASSERT_EQ(bitsOf(partnerBefore), bitsOf(x[partner]));
    }
    EXPECT_GT(decided, 100);
}

}  // namespace
