// Chooses each loop's copy by the caller's vector path.
#include "vector_loops.h"

#include "vector_loops_paths.h"

void rowProductsOver(VectorPath path, const double* Q, const double* x, uint32_t n, const uint32_t* columns,
                     uint32_t count, double* p)
{
    if (path == VectorPath::avx2)
        return avx2Loops::rowProductsOver(Q, x, n, columns, count, p);
    return baselineLoops::rowProductsOver(Q, x, n, columns, count, p);
}

void addRowProducts(VectorPath path, const double* Q, const double* x, uint32_t n, const uint32_t* columns,
                    uint32_t count, double* p)
{
    if (path == VectorPath::avx2)
        return avx2Loops::addRowProducts(Q, x, n, columns, count, p);
    return baselineLoops::addRowProducts(Q, x, n, columns, count, p);
}

void addGatheredRowProducts(VectorPath path, const double* Q, uint32_t n, const uint32_t* rows, uint32_t rowCount,
                            const uint32_t* columns, uint32_t count, const double* x, double* sums)
{
    if (path == VectorPath::avx2)
        return avx2Loops::addGatheredRowProducts(Q, n, rows, rowCount, columns, count, x, sums);
    return baselineLoops::addGatheredRowProducts(Q, n, rows, rowCount, columns, count, x, sums);
}

void followPairStep(VectorPath path, double* G, const double* columnA, double da, const double* columnP, double dp,
                    uint32_t n)
{
    if (path == VectorPath::avx2)
        return avx2Loops::followPairStep(G, columnA, da, columnP, dp, n);
    return baselineLoops::followPairStep(G, columnA, da, columnP, dp, n);
}

PivotChoice retireAndFindPivot(VectorPath path, const double* x, unsigned char* active, uint32_t n,
                               const RetiringStep& step)
{
    if (path == VectorPath::avx2)
        return avx2Loops::retireAndFindPivot(x, active, n, step);
    return baselineLoops::retireAndFindPivot(x, active, n, step);
}

uint32_t screenCandidates(VectorPath path, const double* G, const double* b, const double* x, uint32_t n,
                          double pivotGradient, double slack, uint32_t* listed, double* magnitudes,
                          double& largest)
{
    if (path == VectorPath::avx2)
        return avx2Loops::screenCandidates(G, b, x, n, pivotGradient, slack, listed, magnitudes, largest);
    return baselineLoops::screenCandidates(G, b, x, n, pivotGradient, slack, listed, magnitudes, largest);
}

void interleavedDots(VectorPath path, const double* T, const double* a, const double* b, uint32_t length, double* sa,
                     double* sb)
{
    if (path == VectorPath::avx2)
        return avx2Loops::interleavedDots(T, a, b, length, sa, sb);
    return baselineLoops::interleavedDots(T, a, b, length, sa, sb);
}

void interleavedDot(VectorPath path, const double* T, const double* a, uint32_t length, double* sa)
{
    if (path == VectorPath::avx2)
        return avx2Loops::interleavedDot(T, a, length, sa);
    return baselineLoops::interleavedDot(T, a, length, sa);
}

void columnSumsWithMagnitudes(VectorPath path, const double* C, uint32_t m, const double* x, const uint32_t* columns,
                              uint32_t count, double* r, double* magnitude)
{
    if (path == VectorPath::avx2)
        return avx2Loops::columnSumsWithMagnitudes(C, m, x, columns, count, r, magnitude);
    return baselineLoops::columnSumsWithMagnitudes(C, m, x, columns, count, r, magnitude);
}

void interleavedResidualProducts(VectorPath path, const double* T, const double* rho, const double* w,
                                 uint32_t length, double* h, double* W, double* H)
{
    if (path == VectorPath::avx2)
        return avx2Loops::interleavedResidualProducts(T, rho, w, length, h, W, H);
    return baselineLoops::interleavedResidualProducts(T, rho, w, length, h, W, H);
}

double largestMagnitudeOf(VectorPath path, const double* values, size_t count)
{
    if (path == VectorPath::avx2)
        return avx2Loops::largestMagnitudeOf(values, count);
    return baselineLoops::largestMagnitudeOf(values, count);
}
