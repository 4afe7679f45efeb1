// One SMO pass: steps from every coordinate active to none. Each step takes
// the active coordinate of largest weight (the pivot), finds its partner,
// steps the pair and retires at least the pivot, so a pass has at most n
// steps.
#include "../common/problem.h"
#include "smo_parts.h"
#include "../common/vector_loops.h"

namespace {

// The first step's pivot: the coordinate of largest weight, lowest index
// among equals, once every coordinate below the zero threshold is retired
// (all are active when a pass starts). The later steps' pivots come from
// retireAndFindPivot, with the retirements of the step before.
PivotChoice firstPivot(const double* x, uint32_t n, unsigned char* active)
{
    PivotChoice choice{false, false, 0, noMaximum};
    for (uint32_t i = 0; i < n; ++i) {
        if (x[i] < zeroThreshold) {
            active[i] = 0;
        } else if (active[i] && x[i] > choice.maximum) {
            choice.maximum = x[i];
            choice.pivot = i;
            choice.found = true;
        }
    }
    return choice;
}

// Brings the estimates up to date with a step that moved x[a] from xa and
// x[p] from xp.
//
// The exact products' column list, made when the pass started, needs no
// update: a step writes only the pivot, which is active and so had a weight
// of at least 1e-6 when the pass started, and the partner, whose weight is
// above 1e-6. No weight that was 0 at the start of a pass becomes non-zero
// in it.
void followStep(const double* Q, const double* x, SmoWork& work, uint32_t a, double xa, uint32_t p, double xp)
{
    const double da = x[a] - xa;
    const double dp = x[p] - xp;
    if (da == 0.0 && dp == 0.0)
        return;
    moveEstimate(work.estimate, work.path, Q, a, da, p, dp);
}

}  // namespace

int runPass(const double* Q, const double* b, double* x, SmoWork& work, PairBackup& lastStep)
{
    const uint32_t n = work.n;
    int updates = 0;
    lastStep = PairBackup{0, 0, x[0], x[0]};
    PivotChoice choice = firstPivot(x, n, work.active);
    // A step without a pivot happens only with weights that are not numbers;
    // it changes nothing and ends the pass.
    while (choice.found) {
        const uint32_t pivot = choice.pivot;
        const double maximum = choice.maximum;
        ++work.counts.steps;

        const double pivotBefore = x[pivot];
        uint32_t partner = pivot;
        double partnerBefore = 0.0;
        if (searchPoint(partner, pivot, x, Q, b, n, partnerBefore, work))
            ++updates;
        lastStep = PairBackup{partner, pivot, partnerBefore, pivotBefore};
        if (partner != pivot)
            followStep(Q, x, work, partner, partnerBefore, pivot, pivotBefore);

        work.active[pivot] = 0;
        if (x[partner] == partnerBefore)
            work.active[partner] = 0;
        choice = retireAndFindPivot(work.path, x, work.active, n, RetiringStep{maximum, partner, x[partner]});
        if (!choice.anyActive)
            return updates;  // every coordinate retired: the pass is over
    }
    lastStep = PairBackup{0, 0, x[0], x[0]};
    return updates;
}
