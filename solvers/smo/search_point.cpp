// The partner search. The partner is the first candidate i (x_i > 1e-6)
// with the largest |e_i|, e_i = (R_i - b_i) - g_p, where R_i is the exact row
// product (Qx)_i and g_p = R_p - b_p the pivot's gradient.
//
// Summing every candidate's row would cost O(n) per candidate. Instead the
// estimates G_i (gradient_estimate.h), within B of R_i, give
// ĝ_p = G_p - b_p and ê_i = (G_i - b_i) - ĝ_p. Each of the four rounded
// subtractions is off by at most u times its result, so
//     |e_i - ê_i| <= 2 B (1 + 3u) + 6.04 u (m W + max |b|) + 2 u |ĝ_p|,
// using |G_i| <= m W (1 + 2^-20). The slack D below covers this, plus the
// rounding of D itself and of |ê_i| +- D, for every candidate at once. So
// |ê_i| - D <= |e_i| <= |ê_i| + D. With M the largest lower bound, a
// candidate whose upper bound is below M has a smaller |e| than some other
// candidate: it is neither the largest nor the first of the largest. The
// others (usually one) and the pivot are summed exactly, and evaluated in
// ascending order with the same strict comparison, which picks the same
// partner, with the same e, as evaluating everyone.
#include <cmath>

#include "../common/problem.h"
#include "../common/products.h"
#include "smo_parts.h"
#include "../common/vector_loops.h"

namespace {

constexpr double unitRoundoff = 0x1p-53;

// Lists, in ascending order, the candidates whose |e| may be the largest.
uint32_t survivingCandidates(uint32_t pivot, const double* x, const double* b, uint32_t n, SmoWork& work,
                             uint32_t* survivors)
{
    const GradientEstimate& estimate = work.estimate;
    const double pivotGradient = estimate.rows[pivot] - b[pivot];
    const double slack = 2.02 * estimateBound(estimate) +
                         9.0 * unitRoundoff *
                             (estimate.largestQ * estimate.weightBound + work.largestB + std::fabs(pivotGradient));
    // A first sweep lists the few that pass against the largest |ê| seen so
    // far, with their |ê|; the final largest then decides.
    double* magnitude = work.magnitudes;
    double largest;
    const uint32_t listed =
        screenCandidates(work.path, estimate.rows, b, x, n, pivotGradient, slack, survivors, magnitude, largest);
    const double largestLowerBound = largest - slack;
    uint32_t count = 0;
    for (uint32_t j = 0; j < listed; ++j) {
        survivors[count] = survivors[j];
        count += !(magnitude[j] + slack < largestLowerBound);
    }
    return count;
}

// Every candidate, as defined (a weight that is not a number is one too).
uint32_t allCandidates(const double* x, uint32_t n, uint32_t* survivors)
{
    uint32_t count = 0;
    for (uint32_t i = 0; i < n; ++i) {
        survivors[count] = i;
        count += !(x[i] <= zeroThreshold);
    }
    return count;
}

}  // namespace

bool searchPoint(uint32_t& partner, uint32_t pivot, double* x, const double* Q, const double* b, uint32_t n,
                 double& partnerBefore, SmoWork& work)
{
    // rows[0] is the pivot, rows[1 ...] the candidates that need exact sums.
    uint32_t* rows = work.rows;
    rows[0] = pivot;
    const uint32_t candidates = work.estimate.trusted ? survivingCandidates(pivot, x, b, n, work, rows + 1)
                                                      : allCandidates(x, n, rows + 1);
    double* sums = work.magnitudes;
    someRowProducts(Q, x, n, rows, candidates + 1, work.columns, work.columnCount, work.symmetric, sums);
    work.counts.exactRows += candidates + 1;

    partner = pivot;
    double bestDifference = 0.0;
    double bestMagnitude = 0.0;
    const double pivotGradient = sums[0] - b[pivot];
    for (uint32_t j = 1; j <= candidates; ++j) {
        const uint32_t i = rows[j];
        const double e = (sums[j] - b[i]) - pivotGradient;
        // The strict comparison keeps the first of equal magnitudes.
        if (std::fabs(e) > bestMagnitude) {
            partner = i;
            bestDifference = e;
            bestMagnitude = std::fabs(e);
        }
    }

    partnerBefore = x[partner];
    return updateWeight(partner, pivot, x, bestDifference, Q, n);
}
