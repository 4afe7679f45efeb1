// Least squares over the simplex: for each column d of D, minimise
// ½|Cx - d|² subject to x >= 0, sum(x) = 1 (and x <= u with bounds), by
// certifiedSMO on Q = C'C, b = C'd, read from C and never formed for large
// n (a small n's Gram matrix is formed once and shared by the columns).
// The gap is computed from C'(Cx - d), the residual's products, with a
// rigorous bound; the objective reported is ½|Cx - d|².
#ifndef SIMPLEXQP_SIMPLEX_LSQ_H
#define SIMPLEXQP_SIMPLEX_LSQ_H

#include <cstdint>

#include "../certified/certified_smo.h"

struct LeastSquaresSettings {
    // settings.tol is each column's tolerance unless byDefault, when each
    // column takes leastSquaresTolerance of its own d. settings.start, if
    // not null, holds n p weights, column j's start from start + j n;
    // settings.upper, if not null, n bounds shared by every column. The
    // progress call, if any, hears every column's run.
    CertifiedSettings certified;
    bool byDefault;
};

// The tolerance of a column given none: defaultToleranceAtScale at the
// scale of C'C and C'd (their largest entries), as a dense Q and b would
// have, plus (8m + 64) u A, A = max_i sum_t |C(t,i)| (|d_t| + max_k
// |C(t,k)|), u = 2^-53: the gradients' rounding bound counts the m terms
// of each C(:,i)'r, which a dense Q and b do not, at most about 2m u A for
// x on the simplex; without that term a long column (m well above 16n +
// 128) fitted poorly could not be certified at the default. Reads C (m n)
// and d (m).
double leastSquaresTolerance(const double* C, uint32_t m, uint32_t n, const double* d, VectorPath path);

// C (m by n, column-major) and D (m by p) are read; X (n by p) and
// reports (p) are written, column j of X and reports[j] for column j of D.
void leastSquaresOnSimplex(const double* C, uint32_t m, uint32_t n, const double* D, uint32_t p,
                           const LeastSquaresSettings& settings, double* X, CertifiedReport* reports);

#endif
