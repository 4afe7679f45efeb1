// certifiedSMO's pair steps: second-order working-set selection (Fan, Chen
// and Lin, JMLR 2005) on the active set, the exact line minimum along the
// pair, and the gradient kept up to date from the pair's two columns.
//
// Moving weight t from coordinate i to j changes f by
//     -(g_i - g_j) t + a_ij t^2 / 2,   a_ij = Q(i,i) + Q(j,j) - 2 Q(i,j),
// so only pairs with g_i > g_j lower f, and i must have weight to give. The
// pivot i has the largest gradient among positive weights; the partner j
// the largest promised decrease (g_i - g_j)^2 / a_ij. Where a_ij is below a
// small tau (a pair along which f is flat, or not convex at all) the score
// uses tau instead: such pairs promise much and are taken early. Where
// a_ij <= 0 the step moves all of x_i, the minimum over the segment
// [0, x_i] of a concave function whose slope at 0 is negative.
//
// With upper bounds u (as LIBSVM's), the partner must be below its bound,
// and the step is clipped where either end reaches one: x_i at 0 or x_j at
// u_j. A weight at its bound can give as any positive weight can. Without
// bounds the steps take the loops they took before bounds existed, to the
// bit and at the same speed.
//
// Every choice and every number is the same on every platform: plain IEEE
// operations in a fixed order, the first position winning ties.
#include <cmath>
#include <cstddef>

#include "certified_parts.h"
#include "column_cache.h"
#include "../common/problem.h"

namespace {

constexpr uint32_t none = UINT32_MAX;

// The positive weights' positions, listed afresh.
void listGiving(ActiveSet& set)
{
    set.givingCount = 0;
    for (uint32_t k = 0; k < set.size; ++k)
        if (set.weight[k] > 0.0) {
            set.givingSlot[k] = set.givingCount;
            set.giving[set.givingCount++] = k;
        }
}

// The position of the largest gradient among positive weights, the first
// position among equals; none when no gradient compares (all NaN).
uint32_t pivotOf(const ActiveSet& set)
{
    uint32_t pivot = none;
    double largest = -infinity();
    for (uint32_t s = 0; s < set.givingCount; ++s) {
        const uint32_t k = set.giving[s];
        const double g = set.gradient[k];
        if (g > largest || (g == largest && k < pivot)) {
            largest = g;
            pivot = k;
        }
    }
    return pivot;
}

// Drops, keeping the order, the coordinates that cannot take part in a step
// now: weight 0 (nothing to give) and a gradient above every positive
// weight's (nothing to receive, since a pair lowers f only when weight flows
// to the smaller gradient). Their gradients are no longer updated; the
// exact check recomputes them and brings back any that turn out to matter.
// With bounds, a weight at its bound goes too when its gradient is below
// every weight's that can receive (nothing to give), and one whose bound is
// 0 always.
void shrink(ActiveSet& set, double largestGiving)
{
    double leastReceiving = infinity();
    if (set.upper)
        for (uint32_t k = 0; k < set.size; ++k)
            if (set.weight[k] < set.upper[k] && set.gradient[k] < leastReceiving)
                leastReceiving = set.gradient[k];
    uint32_t kept = 0;
    for (uint32_t k = 0; k < set.size; ++k) {
        if (set.weight[k] == 0.0 && set.gradient[k] > largestGiving) {
            if (set.upper)
                set.shrunkWeight[set.index[k]] = 0.0;
            continue;
        }
        if (set.upper && set.weight[k] >= set.upper[k] &&
            (set.weight[k] == 0.0 || set.gradient[k] < leastReceiving)) {
            set.shrunkWeight[set.index[k]] = set.weight[k];
            continue;
        }
        set.index[kept] = set.index[k];
        set.gradient[kept] = set.gradient[k];
        set.weight[kept] = set.weight[k];
        set.diagonal[kept] = set.diagonal[k];
        if (set.upper)
            set.upper[kept] = set.upper[k];
        ++kept;
    }
    set.size = kept;
    ++set.version;
    listGiving(set);
}

// Each position's promise as the pivot's partner, (g_i - g_k)^2 / a_ik,
// positive exactly where g_k is below g_i (the sign of g_i - g_k kept).
// Divided before it is multiplied, so that it neither overflows nor
// underflows where the steps would not, and scales exactly with Q and b.
// No branches, so that it vectorises.
void scorePartners(const ActiveSet& set, uint32_t pivot, const double* columnI, double tau)
{
    const double gi = set.gradient[pivot];
    const double di = set.diagonal[pivot];
    const double* __restrict gradient = set.gradient;
    const double* __restrict diagonal = set.diagonal;
    double* __restrict score = set.score;
    for (uint32_t k = 0; k < set.size; ++k) {
        const double difference = gi - gradient[k];
        const double curvature = (di + diagonal[k]) - 2.0 * columnI[k];
        score[k] = difference / (curvature > tau ? curvature : tau) * std::fabs(difference);
    }
}

// The same where weights have bounds: a position at its bound scores 0 (it
// cannot receive), and its gradient in set.receiving is +Inf, so that the
// smallest gradient is that of the weights that can receive.
void scoreBoundedPartners(const ActiveSet& set, uint32_t pivot, const double* columnI, double tau)
{
    const double gi = set.gradient[pivot];
    const double di = set.diagonal[pivot];
    const double* __restrict gradient = set.gradient;
    const double* __restrict diagonal = set.diagonal;
    const double* __restrict weight = set.weight;
    const double* __restrict upper = set.upper;
    double* __restrict score = set.score;
    double* __restrict receiving = set.receiving;
    for (uint32_t k = 0; k < set.size; ++k) {
        const double difference = gi - gradient[k];
        const double curvature = (di + diagonal[k]) - 2.0 * columnI[k];
        const double promise = difference / (curvature > tau ? curvature : tau) * std::fabs(difference);
        const bool receives = weight[k] < upper[k];
        score[k] = receives ? promise : 0.0;
        receiving[k] = receives ? gradient[k] : infinity();
    }
}

// One of bestPartner's interleaved runs: its largest score so far (the
// first position of it) and its smallest gradient.
struct Run {
    double best;
    uint32_t at;
    double least;
};

inline void visit(Run& run, double score, double gradient, uint32_t k)
{
    if (score > run.best) {
        run.best = score;
        run.at = k;
    }
    run.least = gradient < run.least ? gradient : run.least;
}

// The first position of the largest score (none if no score is positive)
// and the smallest entry of gradient: four interleaved runs (held in registers), so
// that the comparisons need not wait for one another, combined so that the
// first position still wins ties.
uint32_t bestPartner(const ActiveSet& set, const double* gradient, double& smallest)
{
    Run r0{0.0, none, infinity()}, r1 = r0, r2 = r0, r3 = r0;
    const double* const score = set.score;
    const uint32_t size = set.size;
    uint32_t k = 0;
    for (; k + 4 <= size; k += 4) {
        visit(r0, score[k], gradient[k], k);
        visit(r1, score[k + 1], gradient[k + 1], k + 1);
        visit(r2, score[k + 2], gradient[k + 2], k + 2);
        visit(r3, score[k + 3], gradient[k + 3], k + 3);
    }
    for (; k < size; ++k)
        visit(r0, score[k], gradient[k], k);
    Run best = r0;
    const Run others[] = {r1, r2, r3};
    for (const Run& r : others) {
        if (r.at != none && (r.best > best.best || (r.best == best.best && r.at < best.at))) {
            best.best = r.best;
            best.at = r.at;
        }
        best.least = r.least < best.least ? r.least : best.least;
    }
    smallest = best.least;
    return best.at;
}

// g += Q(:,i) changeI + Q(:,j) changeJ over the active set.
void updateGradients(ActiveSet& set, const double* columnI, double changeI, const double* columnJ, double changeJ)
{
    double* __restrict gradient = set.gradient;
    for (uint32_t k = 0; k < set.size; ++k)
        gradient[k] = (gradient[k] + columnI[k] * changeI) + columnJ[k] * changeJ;
}

// Keeps the list of positive weights right after a step from i to j.
void noteStep(ActiveSet& set, uint32_t i, uint32_t j, double oldJ)
{
    if (set.weight[i] == 0.0) {
        const uint32_t slot = set.givingSlot[i];
        const uint32_t last = set.giving[--set.givingCount];
        set.giving[slot] = last;
        set.givingSlot[last] = slot;
    }
    if (oldJ == 0.0 && set.weight[j] > 0.0) {
        set.givingSlot[j] = set.givingCount;
        set.giving[set.givingCount++] = j;
    }
}

}  // namespace

StepsEnd takePairSteps(const QSource& q, ActiveSet& set, ColumnCache& cache, double target, double tau,
                       uint32_t shrinkEvery, uint64_t maxIterations, uint64_t& iterations)
{
    listGiving(set);
    uint32_t pivot = pivotOf(set);
    // The first shrink comes after the first step, not after shrinkEvery:
    // the set starts full after each exact check, a round can be short, and
    // each step over the full set costs a pass over all n coordinates.
    uint32_t sinceShrink = shrinkEvery - 1;
    while (pivot != none) {
        if (iterations >= maxIterations)
            return StepsEnd::capReached;
        const double* const columnI = cachedColumn(cache, q, set, set.index[pivot], noColumn);
        if (set.upper)
            scoreBoundedPartners(set, pivot, columnI, tau);
        else
            scorePartners(set, pivot, columnI, tau);
        double smallest;
        const uint32_t partner = bestPartner(set, set.upper ? set.receiving : set.gradient, smallest);
        const double gi = set.gradient[pivot];
        // Below a few units in the last place of the gradients, the gap is
        // rounding noise that steps would chase for ever.
        const double noise = 0x1p-50 * (std::fabs(gi) + std::fabs(smallest));
        const double gap = gi - smallest;
        if (!(gap > target && gap > noise) || partner == none)
            return StepsEnd::gapReached;

        // The exact line minimum, clipped to the weight the pivot has. The
        // partner receives what actually left the pivot, so that weight is
        // moved, not made.
        const double curvature = (set.diagonal[pivot] + set.diagonal[partner]) - 2.0 * columnI[partner];
        const double wi = set.weight[pivot];
        const double wj = set.weight[partner];
        double step = wi;
        if (curvature > 0.0) {
            const double minimum = (gi - set.gradient[partner]) / curvature;
            step = minimum < wi ? minimum : wi;
        }
        double newI = step < wi ? wi - step : 0.0;
        double moved = wi - newI;
        double newJ = wj + moved;
        if (set.upper) {
            // The partner stops at its bound exactly; the pivot gives what
            // the partner took, and no more than it has.
            const double uj = set.upper[partner];
            if (!(newJ < uj)) {
                newJ = uj;
                const double taken = uj - wj;
                newI = taken < wi ? wi - taken : 0.0;
                moved = wi - newI;
            }
        }
        if (moved == 0.0)
            return StepsEnd::stalled;
        set.weight[pivot] = newI;
        set.weight[partner] = newJ;
        noteStep(set, pivot, partner, wj);
        ++iterations;

        const double* const columnJ = cachedColumn(cache, q, set, set.index[partner], set.index[pivot]);
        updateGradients(set, columnI, newI - wi, columnJ, newJ - wj);
        pivot = pivotOf(set);
        if (++sinceShrink >= shrinkEvery && pivot != none) {
            sinceShrink = 0;
            shrink(set, set.gradient[pivot]);
            pivot = pivotOf(set);
        }
    }
    return StepsEnd::gapReached;  // no positive weight left to give (not reached for x on the simplex)
}
