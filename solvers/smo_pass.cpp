// One SMO pass: steps from every coordinate active to none. Each step takes
// the active coordinate of largest weight (the pivot), finds its partner,
// steps the pair and retires at least the pivot, so a pass has at most n
// steps.
#include "problem.h"
#include "smo_parts.h"

namespace {

// Finds the pivot: the active coordinate of largest weight, lowest index
// among equals. On the first step of a pass it also retires every coordinate
// below the zero threshold. Returns false when no active coordinate has a
// weight above noMaximum, which happens only with weights that are not
// numbers.
bool findPivot(const double* x, uint32_t n, unsigned char* active, bool firstStep, uint32_t& pivot,
               double& maximum)
{
    bool found = false;
    maximum = noMaximum;
    for (uint32_t i = 0; i < n; ++i) {
        if (firstStep && x[i] < zeroThreshold) {
            active[i] = 0;
        } else if (active[i] && x[i] > maximum) {
            maximum = x[i];
            pivot = i;
            found = true;
        }
    }
    return found;
}

// Retires every coordinate whose weight now equals the step's old maximum,
// or equals the partner's new weight (the partner itself excepted). Returns
// true when no coordinate is left active.
bool retireTies(const double* x, uint32_t n, unsigned char* active, double maximum, uint32_t partner)
{
    bool done = true;
    for (uint32_t i = 0; i < n; ++i) {
        if (x[i] == maximum)
            active[i] = 0;
        if (x[i] == x[partner] && i != partner)
            active[i] = 0;
        else if (active[i])
            done = false;
    }
    return done;
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
    moveEstimate(work.estimate, Q, a, da, p, dp);
}

}  // namespace

int runPass(const double* Q, const double* b, double* x, SmoWork& work, PairBackup& lastStep)
{
    const uint32_t n = work.n;
    int updates = 0;
    bool firstStep = true;
    bool done = false;
    lastStep = PairBackup{0, 0, x[0], x[0]};
    while (!done) {
        uint32_t pivot = 0;
        double maximum = noMaximum;
        if (!findPivot(x, n, work.active, firstStep, pivot, maximum)) {
            lastStep = PairBackup{0, 0, x[0], x[0]};  // This step changed nothing.
            break;
        }
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
        done = retireTies(x, n, work.active, maximum, partner);
        firstStep = false;
    }
    return updates;
}
