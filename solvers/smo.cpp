// Sequential minimal optimisation over the simplex.
//
// A pass starts with every coordinate active. Each step takes the active
// coordinate of largest weight (the pivot), finds the coordinate whose
// gradient differs most from the pivot's (the partner) and moves weight
// between the two by the exact line minimum, clipped to keep both weights
// non-negative. Each step retires at least the pivot, so a pass has at most n
// steps. After a pass the objective decides whether to go on.
//
// Why the run ends: a pass after which the run goes on leaves a finite
// objective at least 1e-5 below the previous one. The objectives therefore
// fall strictly, through finitely many doubles, and the run ends (though
// with entries of huge magnitude, rounding-sized steps can each lower the
// objective by more than 1e-5 for a very long time). An
// objective that is not finite (an Inf or NaN in Q, or products that
// overflow) ends the run at once: with it neither objective rule could ever
// stop the run, and passes that keep rewriting x by rounding-sized steps
// would go on for ever. Runs whose objectives are all finite are unchanged.
#include "simplex_qp.h"

#include <cmath>
#include <cstring>

#include "host_scratch.h"
#include "problem.h"

// Moves weight between partner a and pivot p along the line that keeps
// x_a + x_p fixed, to the minimum of f on it, clipped at zero.
// diff = g_a - g_p. Writes x[a] and x[p] only. Returns true when the two
// weights were rewritten (even if to their old values).
static bool updateWeight(uint32_t a, uint32_t p, double* x, double diff, const double* Q, uint32_t n)
{
    if (a == p)
        return false;
    if (diff == 0.0)
        return false;
    if (x[a] < zeroThreshold)
        return false;
    const double eta = Q[at(a, a, n)] - 2.0 * Q[at(a, p, n)] + Q[at(p, p, n)];
    double t = diff / eta + x[p];
    if (t < 0)
        t = 0;
    const double s = x[a] + x[p];
    const double r = s - t;
    if (r < 0) {
        x[a] = 0;
        x[p] = s;
    } else {
        x[a] = r;
        x[p] = t;
    }
    return true;
}

// Chooses the partner of the pivot: the first coordinate with weight above
// the zero threshold whose gradient differs most from the pivot's, and steps
// the pair. Outputs the partner and its weight before the step.
static bool searchPoint(uint32_t& partner, uint32_t pivot, double* x, const double* Q, const double* b,
                        uint32_t n, double& partnerBefore)
{
    partner = pivot;
    double bestDifference = 0.0;
    double bestMagnitude = 0.0;
    const double pivotGradient = rowProduct(Q, x, n, pivot) - b[pivot];
    for (uint32_t i = 0; i < n; ++i) {
        if (x[i] <= zeroThreshold)
            continue;
        const double e = (rowProduct(Q, x, n, i) - b[i]) - pivotGradient;
        if (std::fabs(e) > bestMagnitude) {
            partner = i;
            bestDifference = e;
            bestMagnitude = std::fabs(e);
        }
    }
    partnerBefore = x[partner];
    return updateWeight(partner, pivot, x, bestDifference, Q, n);
}

// Finds the pivot: the active coordinate of largest weight, lowest index
// among equals. On the first step of a pass it also retires every coordinate
// below the zero threshold. Returns false when no active coordinate has a
// weight above noMaximum, which happens only with n = 0 or weights that are
// not numbers.
static bool findPivot(const double* x, uint32_t n, unsigned char* active, bool firstStep, uint32_t& pivot,
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
static bool retireTies(const double* x, uint32_t n, unsigned char* active, double maximum, uint32_t partner)
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

// Runs one pass from all-active to none-active and returns the number of
// pair steps that rewrote weights. backup is left holding x as it was before
// the pass's last step.
static int runPass(const double* Q, const double* b, uint32_t n, double* x, unsigned char* active,
                   double* backup)
{
    int updates = 0;
    bool firstStep = true;
    bool done = false;
    while (!done) {
        // The pivot search reads x but does not write it, so the backup can be
        // taken first: it then also holds x when no pivot is found.
        std::memcpy(backup, x, sizeof(double) * n);
        uint32_t pivot = 0;
        double maximum = noMaximum;
        if (!findPivot(x, n, active, firstStep, pivot, maximum))
            break;  // Nothing can be moved: the pass is over.

        uint32_t partner = pivot;
        double partnerBefore = 0.0;
        if (searchPoint(partner, pivot, x, Q, b, n, partnerBefore))
            ++updates;
        active[pivot] = 0;
        if (x[partner] == partnerBefore)
            active[partner] = 0;
        done = retireTies(x, n, active, maximum, partner);
        firstStep = false;
    }
    return updates;
}

void SMO(const double* Q, const double* b, uint32_t n, double* x)
{
    if (n == 0)
        return;
    unsigned char* active = static_cast<unsigned char*>(mxMalloc(n));
    double* backup = static_cast<double*>(mxMalloc(sizeof(double) * n));

    startingPoint(b, n, x);
    std::memset(active, 1, n);
    double previousObjective = smoInitialObjective;
    bool stop = false;
    while (!stop) {
        const int updates = runPass(Q, b, n, x, active, backup);
        const double f = objectiveByRows(Q, b, x, n);
        if (f > previousObjective) {
            // A rise undoes the pass's last pair step only.
            std::memcpy(x, backup, sizeof(double) * n);
            stop = true;
        } else if (std::fabs(f - previousObjective) < objectiveTolerance) {
            stop = true;
        }
        if (updates == 0)
            stop = true;
        if (!std::isfinite(f))
            stop = true;  // x stays as the rules above left it
        std::memset(active, 1, n);
        previousObjective = f;
    }

    mxFree(backup);
    mxFree(active);
}
