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

#include <cmath>

#include "../common/host_scratch.h"
#include "../common/problem.h"
#include "../common/vector_loops.h"
#include "../sources/column_store.h"

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
// The most doubles of C interleaved (lsq_parts.h): 32 MiB, as a formed Q.
constexpr size_t largestInterleaved = static_cast<size_t>(largestFormedOrder) * largestFormedOrder;
// Up to this n a column's run is polished from its first check.
constexpr uint32_t formedPolishOrder = 256;

}  // namespace

bool formsGram(uint32_t, uint32_t n, uint32_t p)
{
    return n <= largestFormedOrder && n <= static_cast<uint64_t>(formedColumnsPerRightHandSide) * p;
}

namespace {

// rowLargest[t] = max over k of |C(t,k)|.
void largestInRows(const double* C, uint32_t m, uint32_t n, double* rowLargest)
{
    for (uint32_t t = 0; t < m; ++t)
        rowLargest[t] = 0.0;
    for (uint32_t k = 0; k < n; ++k) {
        const double* const c = C + static_cast<size_t>(k) * m;
        for (uint32_t t = 0; t < m; ++t) {
            const double magnitude = std::fabs(c[t]);
            rowLargest[t] = magnitude > rowLargest[t] ? magnitude : rowLargest[t];
        }
    }
}

// The residual's allowance in the default tolerance (simplex_lsq.h).
double residualAllowance(const double* C, uint32_t m, uint32_t n, const double* d, const double* rowLargest)
{
    double largest = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        const double* const c = C + static_cast<size_t>(i) * m;
        double sum = 0.0;
        for (uint32_t t = 0; t < m; ++t)
            sum = sum + std::fabs(c[t]) * (std::fabs(d[t]) + rowLargest[t]);
        largest = sum > largest ? sum : largest;
    }
    return ((8.0 * m + 64.0) * 0x1p-53) * largest;
}

// b = C'd and, where rowLargest is given, the residual's allowance, from C
// interleaved, in one pass of eight columns a vector: b_i and each
// allowance sum are summed as columnProductsOf and residualAllowance sum
// them, so they have their bits. weights: m doubles of scratch.
double interleavedProductsOf(const double* T, uint32_t m, uint32_t n, const double* d, const double* rowLargest,
                             double* weights, VectorPath path, double* b)
{
    for (uint32_t t = 0; t < m; ++t)
        weights[t] = rowLargest ? std::fabs(d[t]) + rowLargest[t] : 0.0;
    double largest = 0.0;
    for (uint32_t first = 0; first < n; first += 8) {
        double products[8], sums[8], unused[8];
        interleavedResidualProducts(path, T + static_cast<size_t>(first) * m, d, weights, m, products, sums, unused);
        for (uint32_t r = 0; r < 8 && first + r < n; ++r) {
            b[first + r] = products[r];
            largest = sums[r] > largest ? sums[r] : largest;
        }
    }
    return ((8.0 * m + 64.0) * 0x1p-53) * largest;
}

double columnTolerance(double largestQ, const double* b, const double* C, uint32_t m, uint32_t n, const double* d,
                       const double* rowLargest, VectorPath path)
{
    return defaultToleranceAtScale(largestQ, b, n, path) + residualAllowance(C, m, n, d, rowLargest);
}

}  // namespace

double leastSquaresTolerance(const double* C, uint32_t m, uint32_t n, const double* d, VectorPath path)
{
    const VectorKernel gram = gramOf(C, m, n);
    double* const b = static_cast<double*>(mxMalloc(sizeof(double) * (n > 0 ? n : 1)));
    double* const rowLargest = static_cast<double*>(mxMalloc(sizeof(double) * (m > 0 ? m : 1)));
    columnProductsOf(C, m, n, d, b);
    largestInRows(C, m, n, rowLargest);
    const double tol = columnTolerance(kernelLargestEntry(gram), b, C, m, n, d, rowLargest, path);
    mxFree(rowLargest);
    mxFree(b);
    return tol;
}

void leastSquaresColumns(const double* C, uint32_t m, uint32_t n, const double* D, uint32_t p,
                         const LeastSquaresSettings& settings, double* X, CertifiedReport* reports, bool formed)
{
    const SolverSettings solver = settings.certified.solver ? *settings.certified.solver : defaultSettings();
    LeastSquaresData data{gramOf(C, m, n), C, m, n, D, nullptr, nullptr};
    double* Q = nullptr;
    if (formed && n > 0) {
        Q = static_cast<double*>(takeFromHost(solver.host, sizeof(double) * static_cast<size_t>(n) * n));
        formGram(data.gram, Q);
        data.formed = Q;
    }
    // With Q formed (n small, many columns), C interleaved too where that
    // copy is no larger than the largest formed Q: the gradients, most of
    // the time a column takes, then sum eight of C's columns at once.
    double* interleaved = nullptr;
    if (formed && n > 0 && interleavedCount(m, n) <= largestInterleaved) {
        interleaved = static_cast<double*>(takeFromHost(solver.host, sizeof(double) * interleavedCount(m, n)));
        interleaveColumns(C, m, n, interleaved);
        data.interleaved = interleaved;
    }
    // Q not formed is read through one store of whole columns for every
    // column of D (sources/column_store.h): they all take the same Q's
    // columns, the support's again and again.
    const QSource computed = leastSquaresSource(data);
    const double room =
        settings.certified.cacheBytes > 0.0 ? settings.certified.cacheBytes : computedCacheBytesByDefault;
    ColumnStore store;
    const bool storing = !computed.holds && takeColumnStore(computed, 0.75 * room, solver.host, store);
    const QSource source = storing ? storedColumnsSource(store) : computed;
    const double largestQ = settings.byDefault ? source.largestEntry(source.context, solver.path) : 0.0;
    double* const b = static_cast<double*>(takeFromHost(solver.host, sizeof(double) * (n > 0 ? n : 1)));
    double* const rowLargest =
        settings.byDefault ? static_cast<double*>(takeFromHost(solver.host, sizeof(double) * (m > 0 ? m : 1))) : nullptr;
    if (rowLargest)
        largestInRows(C, m, n, rowLargest);
    double* const weights =
        interleaved ? static_cast<double*>(takeFromHost(solver.host, sizeof(double) * (m > 0 ? m : 1))) : nullptr;
    CertifiedSettings column = settings.certified;
    column.solver = &solver;
    if (storing)
        column.cacheBytes = 0.25 * room;
    // Small problems by the thousand: the polish from the first check,
    // where pair steps take hundreds of steps to what a few Newton steps on
    // the support reach (m = 200, n = 20: 43 us a problem with the stored
    // matrix's trigger, 12 with this one).
    if (column.polishBelow == 0.0 && n <= formedPolishOrder)
        column.polishBelow = infinity();
    for (uint32_t j = 0; j < p; ++j) {
        data.d = D + static_cast<size_t>(j) * m;
        if (interleaved) {
            const double allowance =
                interleavedProductsOf(interleaved, m, n, data.d, rowLargest, weights, solver.path, b);
            if (settings.byDefault)
                column.tol = defaultToleranceAtScale(largestQ, b, n, solver.path) + allowance;
        } else {
            columnProductsOf(C, m, n, data.d, b);
            if (settings.byDefault)
                column.tol = columnTolerance(largestQ, b, C, m, n, data.d, rowLargest, solver.path);
        }
        if (settings.certified.start)
            column.start = settings.certified.start + static_cast<size_t>(j) * n;
        certifiedSMO(source, b, column, X + static_cast<size_t>(j) * n, reports[j]);
    }
    if (storing)
        releaseColumnStore(store);
    if (rowLargest)
        mxFree(rowLargest);
    mxFree(b);
    if (weights)
        mxFree(weights);
    if (interleaved)
        mxFree(interleaved);
    if (Q)
        mxFree(Q);
}

void leastSquaresOnSimplex(const double* C, uint32_t m, uint32_t n, const double* D, uint32_t p,
                           const LeastSquaresSettings& settings, double* X, CertifiedReport* reports)
{
    leastSquaresColumns(C, m, n, D, p, settings, X, reports, formsGram(m, n, p));
}
