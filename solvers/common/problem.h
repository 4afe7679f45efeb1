// The pieces both solvers share: constants, the flat index into Q, the
// objective and the starting point. Every sum runs over ascending indices
// from +0.0, so that the answers are reproducible to the last bit.
#ifndef SIMPLEXQP_PROBLEM_H
#define SIMPLEXQP_PROBLEM_H

#include <cstddef>
#include <cstdint>

// A weight at or below this is treated as zero (each solver says whether the
// comparison is strict).
constexpr double zeroThreshold = 1e-6;
// Change of the objective at which the solvers stop.
constexpr double objectiveTolerance = 1e-5;
// SMO's "previous objective" before its first evaluation.
constexpr double smoInitialObjective = 1e10;
// SMO's running maximum at the start of each pivot search: below any weight
// a pass can give a pivot.
constexpr double noMaximum = -1.0;

// The largest finite double, and infinity, spelled out so that no platform
// header beyond the few the plug-in needs is required.
constexpr double largestDouble = 0x1.fffffffffffffp+1023;
inline double infinity()
{
    return __builtin_inf();
}

// Flat index of Q(r, c). Computed in size_t so that it cannot wrap for any n
// whose Q fits in memory.
inline size_t at(uint32_t r, uint32_t c, uint32_t n)
{
    return r + static_cast<size_t>(c) * n;
}

// f = sum_i (x_i * 0.5) * p_i - x_i * b_i, given the products p_i: the row
// products (Qx)_i, or for multUpdate's first objective the column products.
double objective(const double* b, const double* x, const double* p, uint32_t n);

// The same sum over the terms whose weight is not 0. Equal to objective()
// when every p_i and b_i with x_i == 0 is finite: such a term is a zero, and
// adding a zero of either sign to a sum that started at +0.0 (and so is
// never -0.0) leaves it as it is.
double objectiveOverSupport(const double* b, const double* x, const double* p, uint32_t n);

// Writes x_i = b_i / sum(b). Nothing guards a zero or non-finite sum.
void startingPoint(const double* b, uint32_t n, double* x);

#endif
