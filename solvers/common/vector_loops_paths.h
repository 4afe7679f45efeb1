// The per-path copies of the loops, which vector_loops.cpp chooses between,
// defined by vector_loops_<path>.cpp. Builds for other architectures than
// x86 have no AVX2 copy: there its name stands for the baseline's.
#ifndef SIMPLEXQP_VECTOR_LOOPS_PATHS_H
#define SIMPLEXQP_VECTOR_LOOPS_PATHS_H

#include <cstddef>
#include <cstdint>

#include "vector_loops.h"

#define SIMPLEXQP_DECLARE_LOOPS(space)                                                                        \
    namespace space {                                                                                         \
    void rowProductsOver(const double* Q, const double* x, uint32_t n, const uint32_t* columns,              \
                         uint32_t count, double* p);                                                          \
    void addRowProducts(const double* Q, const double* x, uint32_t n, const uint32_t* columns,               \
                        uint32_t count, double* p);                                                           \
    void addGatheredRowProducts(const double* Q, uint32_t n, const uint32_t* rows, uint32_t rowCount,        \
                                const uint32_t* columns, uint32_t count, const double* x, double* sums);     \
    void followPairStep(double* G, const double* columnA, double da, const double* columnP, double dp,       \
                        uint32_t n);                                                                          \
    PivotChoice retireAndFindPivot(const double* x, unsigned char* active, uint32_t n,                        \
                                   const RetiringStep& step);                                                 \
    uint32_t screenCandidates(const double* G, const double* b, const double* x, uint32_t n,                 \
                              double pivotGradient, double slack, uint32_t* listed, double* magnitudes,      \
                              double& largest);                                                               \
    void interleavedDots(const double* T, const double* a, const double* b, uint32_t length, double* sa,      \
                         double* sb);                                                                         \
    void interleavedDot(const double* T, const double* a, uint32_t length, double* sa);                      \
    void columnSumsWithMagnitudes(const double* C, uint32_t m, const double* x, const uint32_t* columns,      \
                                  uint32_t count, double* r, double* magnitude);                              \
    void interleavedResidualProducts(const double* T, const double* rho, const double* w, uint32_t length,    \
                                     double* h, double* W, double* H);                                       \
    double largestMagnitudeOf(const double* values, size_t count);                                            \
    }

SIMPLEXQP_DECLARE_LOOPS(baselineLoops)
#if defined(__x86_64__) || defined(__i386__)
SIMPLEXQP_DECLARE_LOOPS(avx2Loops)
#else
namespace avx2Loops = baselineLoops;
#endif

#undef SIMPLEXQP_DECLARE_LOOPS

#endif
