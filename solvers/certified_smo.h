// certifiedSMO: the simplex-constrained QP solved to a certified tolerance.
//
// Minimises f(x) = ½·xᵀQx − bᵀx subject to x ≥ 0 and Σx = 1, for a dense
// column-major n-by-n Q (taken to be symmetric) and b of n entries, until
// the KKT violation of x, computed from exactly recomputed gradients and
// rounded up, is at most tol, or until maxIterations pair steps were taken.
// Results are reproducible to the last bit on every platform.
#ifndef SIMPLEXQP_CERTIFIED_SMO_H
#define SIMPLEXQP_CERTIFIED_SMO_H

#include <cstdint>

// What a run reports besides x.
struct CertifiedReport {
    double objective;     // f(x)
    double gap;           // KKT violation of x, an upper bound on f(x) - f* for positive semidefinite Q
    uint64_t iterations;  // pair steps taken
    bool converged;       // gap <= tol
};

// The tolerance used when the caller gives none: close to machine precision
// relative to the problem's scale.
double defaultTolerance(const double* Q, const double* b, uint32_t n);

// Q (n*n) and b (n) are read; x (n) is written; report is written.
void certifiedSMO(const double* Q, const double* b, uint32_t n, double tol, uint64_t maxIterations, double* x,
                  CertifiedReport& report);

#endif
