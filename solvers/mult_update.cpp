// Multiplicative fixed-point iteration over the simplex.
//
// At a solution with x_i > 0, (Qx)_i = b_i + lambda for one multiplier lambda
// of the constraint sum(x) = 1. Each iteration rescales every weight by
// (b_i + lambda) / (Qx)_i with lambda chosen so that the new weights sum to
// one, zeroes the negligible ones, renormalises, and stops once the objective
// changes by no more than the tolerance. It assumes (Qx)_i > 0 for every
// weight that is not zero, as holds for a matrix of positive entries.
//
// The row products are computed once per iteration, for the objective, and
// serve the next iteration's ratios unchanged: both are (Qx)_i at the same x.
// They are summed column by column over the weights that are not zero
// (products.h), which gives every row's sum exactly as defined.
#include "simplex_qp.h"

#include <cmath>

#include "host_scratch.h"
#include "matrix_facts.h"
#include "problem.h"
#include "products.h"
#include "solver_counts.h"

namespace {

// r_i = x_i / (Qx)_i for every i, given the products p, and lambda such that
// sum_i (lambda + b_i) r_i = 1.
double ratiosAndMultiplier(const double* p, const double* b, const double* x, uint32_t n, double* r)
{
    double S = 0.0;
    double Sb = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        // A weight that is exactly zero stays zero: its ratio is 0 even when
        // its row product is 0 (0/0 would otherwise turn a converged answer
        // into NaN). Where the row product is a non-zero number the quotient
        // is +-0 anyway, and +-0 leaves both sums and the new weight (which
        // the threshold below sets to +0.0) as they are.
        r[i] = x[i] == 0.0 ? 0.0 : x[i] / p[i];
        S = S + r[i];
        Sb = Sb + r[i] * b[i];
    }
    return (1 - Sb) / S;
}

// p = Qx, exactly, summing only the terms that can change a sum.
void rowProducts(const double* Q, const double* x, uint32_t n, bool finiteQ, uint32_t* columns, double* p)
{
    const uint32_t count = termsToSum(x, n, finiteQ, columns);
    rowProductsOver(Q, x, n, columns, count, p);
}

}  // namespace

void multUpdateCounted(const double* Q, const double* b, uint32_t n, double* x, SolverCounts& counts)
{
    counts = SolverCounts{};
    if (n == 0)
        return;
    double* r = static_cast<double*>(mxMalloc(sizeof(double) * n));
    double* p = static_cast<double*>(mxMalloc(sizeof(double) * n));
    uint32_t* columns = static_cast<uint32_t*>(mxMalloc(sizeof(uint32_t) * n));
    const MatrixFacts facts = examineMatrix(Q, n);
    const bool finiteQ = facts.finite;

    startingPoint(b, n, x);
    // The first objective takes column products. For a symmetric Q they are
    // the row products, value for value (matrix_facts.h), which the first
    // ratios need anyway.
    double previousObjective;
    if (facts.symmetric) {
        rowProducts(Q, x, n, finiteQ, columns, p);
        previousObjective = objective(b, x, p, n);
    } else {
        columnProducts(Q, x, n, p);
        previousObjective = objective(b, x, p, n);
        rowProducts(Q, x, n, finiteQ, columns, p);
    }
    for (;;) {
        ++counts.passes;
        const double lambda = ratiosAndMultiplier(p, b, x, n, r);
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

        rowProducts(Q, x, n, finiteQ, columns, p);  // for f, and the next ratios
        const double f = objective(b, x, p, n);
        // Not "<= tolerance": a change that is not a number ends the loop too.
        if (!(std::fabs(f - previousObjective) > objectiveTolerance))
            break;
        previousObjective = f;
    }

    mxFree(columns);
    mxFree(p);
    mxFree(r);
}

void multUpdate(const double* Q, const double* b, uint32_t n, double* x)
{
    SolverCounts counts;
    multUpdateCounted(Q, b, n, x, counts);
}
