// Least squares over the simplex, a column of D at a time, each by
// certifiedSMO on Q = CᵀC and b = C'd (summed over ascending t, as
// columnProductsOf defines it), with gradients from the residual
// (lsq_sources.cpp).
//
// Everything that does not depend on d is done once per call: the settings
// and the vector path (asking the processor costs microseconds), Q's scale
// for the default tolerance, the room for b, and for small n Q itself,
// whose columns every column's steps then read rather than recompute. With
// many small problems (m = 200, n = 20) the cost of a column is b, the
// steps and the checks, a few microseconds.
#include "lsq_parts.h"

#include "../common/host_scratch.h"

namespace {

// The largest n whose Q is formed: 8 n² bytes, at most 32 MiB, as the
// default cache of columns.
constexpr uint32_t largestFormedOrder = 2048;
// Q is formed only where a call's columns would compute more of it than
// this fraction of the whole: forming costs m n² / 2 (measured at m = 200:
// 0.03 ms for n = 20, 4.9 ms for 256, 80 ms for 1024, 330 ms for 2048),
// one column's solve at least a few of Q's columns at m n each (its
// support's and the pairs' it tries), and with few right-hand sides and
// large n the steps need only those.
constexpr uint32_t formedColumnsPerRightHandSide = 32;

}  // namespace

bool formsGram(uint32_t, uint32_t n, uint32_t p)
{
    return n <= largestFormedOrder && n <= static_cast<uint64_t>(formedColumnsPerRightHandSide) * p;
}

double leastSquaresTolerance(const double* C, uint32_t m, uint32_t n, const double* d, VectorPath path)
{
    const VectorKernel gram = gramOf(C, m, n);
    double* const b = static_cast<double*>(mxMalloc(sizeof(double) * (n > 0 ? n : 1)));
    columnProductsOf(C, m, n, d, b);
    const double tol = defaultToleranceAtScale(kernelLargestEntry(gram), b, n, path);
    mxFree(b);
    return tol;
}

void leastSquaresColumns(const double* C, uint32_t m, uint32_t n, const double* D, uint32_t p,
                         const LeastSquaresSettings& settings, double* X, CertifiedReport* reports, bool formed)
{
    const SolverSettings solver = settings.certified.solver ? *settings.certified.solver : defaultSettings();
    LeastSquaresData data{gramOf(C, m, n), C, m, n, D, nullptr};
    double* Q = nullptr;
    if (formed && n > 0) {
        Q = static_cast<double*>(takeFromHost(solver.host, sizeof(double) * static_cast<size_t>(n) * n));
        formGram(data.gram, Q);
        data.formed = Q;
    }
    const QSource source = leastSquaresSource(data);
    const double largestQ = settings.byDefault ? source.largestEntry(source.context, solver.path) : 0.0;
    double* const b = static_cast<double*>(takeFromHost(solver.host, sizeof(double) * (n > 0 ? n : 1)));
    CertifiedSettings column = settings.certified;
    column.solver = &solver;
    for (uint32_t j = 0; j < p; ++j) {
        data.d = D + static_cast<size_t>(j) * m;
        columnProductsOf(C, m, n, data.d, b);
        if (settings.byDefault)
            column.tol = defaultToleranceAtScale(largestQ, b, n, solver.path);
        if (settings.certified.start)
            column.start = settings.certified.start + static_cast<size_t>(j) * n;
        certifiedSMO(source, b, column, X + static_cast<size_t>(j) * n, reports[j]);
    }
    mxFree(b);
    if (Q)
        mxFree(Q);
}

void leastSquaresOnSimplex(const double* C, uint32_t m, uint32_t n, const double* D, uint32_t p,
                           const LeastSquaresSettings& settings, double* X, CertifiedReport* reports)
{
    leastSquaresColumns(C, m, n, D, p, settings, X, reports, formsGram(m, n, p));
}
