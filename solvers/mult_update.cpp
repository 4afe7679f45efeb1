// Multiplicative fixed-point iteration over the simplex.
//
// At a solution with x_i > 0, (Qx)_i = b_i + lambda for one multiplier lambda
// of the constraint sum(x) = 1. Each iteration rescales every weight by
// (b_i + lambda) / (Qx)_i with lambda chosen so that the new weights sum to
// one, zeroes the negligible ones, renormalises, and stops once the objective
// changes by no more than the tolerance. It assumes (Qx)_i > 0 for every
// weight that is not zero, as holds for a matrix of positive entries.
//
// Why the run ends: each iteration depends on x alone (the previous objective
// is the objective of that x), and x, a vector of doubles, can take only
// finitely many values. A run that never meets the tolerance therefore comes
// back to an earlier x and would repeat that stretch for ever; the cycle
// guard stops it at the first repeat it sees. (A chaotic map, possible with a
// strongly unsymmetric Q, can take hundreds of millions of iterations to
// repeat.)
#include "simplex_qp.h"

#include <cmath>

#include "cycle_guard.h"
#include "host_scratch.h"
#include "problem.h"

// r_i = x_i / (Qx)_i for every i, and lambda such that
// sum_i (lambda + b_i) r_i = 1.
static double ratiosAndMultiplier(const double* Q, const double* b, const double* x, uint32_t n, double* r)
{
    double S = 0.0;
    double Sb = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        // A weight that is exactly zero stays zero: its ratio is 0 even when
        // its row product is 0 (0/0 would otherwise turn a converged answer
        // into NaN). Where the row product is a non-zero number the quotient
        // is +-0 anyway, and +-0 leaves both sums and the new weight (which
        // the threshold below sets to +0.0) as they are.
        r[i] = x[i] == 0.0 ? 0.0 : x[i] / rowProduct(Q, x, n, i);
        S = S + r[i];
        Sb = Sb + r[i] * b[i];
    }
    return (1 - Sb) / S;
}

void multUpdate(const double* Q, const double* b, uint32_t n, double* x)
{
    if (n == 0)
        return;
    double* r = static_cast<double*>(mxMalloc(sizeof(double) * n));

    startingPoint(b, n, x);
    double previousObjective = objectiveByColumns(Q, b, x, n);
    CycleGuard guard = cycleGuardStart(n);
    for (;;) {
        const double lambda = ratiosAndMultiplier(Q, b, x, n, r);
        for (uint32_t i = 0; i < n; ++i)
            x[i] = (lambda + b[i]) * r[i];

        double sigma = 0.0;
        for (uint32_t i = 0; i < n; ++i) {
            if (x[i] <= zeroThreshold)
                x[i] = 0.0;
            sigma += x[i];
        }
        for (uint32_t i = 0; i < n; ++i)
            x[i] = x[i] / sigma;

        const double f = objectiveByRows(Q, b, x, n);
        // Not "<= tolerance": a change that is not a number ends the loop too.
        if (!(std::fabs(f - previousObjective) > objectiveTolerance))
            break;
        previousObjective = f;
        // The map can cycle (even for a positive definite Q and positive b):
        // then x is left at the iterate where the repeat is seen.
        if (cycleGuardSeesRepeat(guard, x, n))
            break;
    }

    cycleGuardEnd(guard);
    mxFree(r);
}
