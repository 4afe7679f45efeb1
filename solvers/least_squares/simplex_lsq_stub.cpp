// TEMPORARY, for the simplexLSQ gateway's branch only: the least-squares
// solver's entry points by the plain route, Q = C'C and b = C'd formed in
// full and handed to certifiedSMO column by column, so that the gateway
// links and its tests run before the real core (simplex_lsq.cpp) lands.
// Drop this file at merge: the real core replaces it in the same target.
#include <cstddef>

#include "../common/host_scratch.h"
#include "../common/solver_settings.h"
#include "simplex_lsq.h"

namespace {

// C'C, summed over ascending rows from +0.0.
void formGram(const double* C, uint32_t m, uint32_t n, double* Q)
{
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r < n; ++r) {
            double sum = 0.0;
            for (uint32_t k = 0; k < m; ++k)
                sum += C[k + static_cast<size_t>(r) * m] * C[k + static_cast<size_t>(c) * m];
            Q[r + static_cast<size_t>(c) * n] = sum;
        }
}

void formProducts(const double* C, uint32_t m, uint32_t n, const double* d, double* b)
{
    for (uint32_t r = 0; r < n; ++r) {
        double sum = 0.0;
        for (uint32_t k = 0; k < m; ++k)
            sum += C[k + static_cast<size_t>(r) * m] * d[k];
        b[r] = sum;
    }
}

// ½|Cx - d|².
double halfResidual(const double* C, uint32_t m, uint32_t n, const double* d, const double* x)
{
    double sum = 0.0;
    for (uint32_t k = 0; k < m; ++k) {
        double row = 0.0;
        for (uint32_t i = 0; i < n; ++i)
            row += C[k + static_cast<size_t>(i) * m] * x[i];
        const double r = row - d[k];
        sum += r * r;
    }
    return 0.5 * sum;
}

double largestOf(const double* v, size_t count)
{
    double largest = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double a = v[i] < 0.0 ? -v[i] : v[i];
        largest = a > largest ? a : largest;
    }
    return largest;
}

}  // namespace

double leastSquaresTolerance(const double* C, uint32_t m, uint32_t n, const double* d, VectorPath path)
{
    const SolverSettings solver = defaultSettings();
    double* Q = static_cast<double*>(takeFromHost(solver.host, sizeof(double) * (static_cast<size_t>(n) * n + n + 1)));
    double* b = Q + static_cast<size_t>(n) * n;
    formGram(C, m, n, Q);
    formProducts(C, m, n, d, b);
    const double tol = defaultToleranceAtScale(largestOf(Q, static_cast<size_t>(n) * n), b, n, path);
    mxFree(Q);
    return tol;
}

void leastSquaresOnSimplex(const double* C, uint32_t m, uint32_t n, const double* D, uint32_t p,
                           const LeastSquaresSettings& settings, double* X, CertifiedReport* reports)
{
    if (p == 0)
        return;
    const SolverSettings fallback = defaultSettings();
    const SolverSettings& solver = settings.certified.solver ? *settings.certified.solver : fallback;
    double* Q = static_cast<double*>(takeFromHost(solver.host, sizeof(double) * (static_cast<size_t>(n) * n + n + 1)));
    double* b = Q + static_cast<size_t>(n) * n;
    formGram(C, m, n, Q);
    const double largestQ = largestOf(Q, static_cast<size_t>(n) * n);
    for (uint32_t j = 0; j < p; ++j) {
        const double* d = D + static_cast<size_t>(j) * m;
        double* x = X + static_cast<size_t>(j) * n;
        formProducts(C, m, n, d, b);
        CertifiedSettings column = settings.certified;
        if (settings.byDefault)
            column.tol = defaultToleranceAtScale(largestQ, b, n, solver.path);
        if (column.start)
            column.start = settings.certified.start + static_cast<size_t>(j) * n;
        certifiedSMO(Q, b, n, column, x, reports[j]);
        if (n > 0)
            reports[j].objective = halfResidual(C, m, n, d, x);
    }
    mxFree(Q);
}
