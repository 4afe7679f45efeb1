// The pieces of the least-squares solver (simplex_lsq.h): Q = CᵀC as a
// source whose gradients come from the residual, and the products with C's
// columns that b and those gradients need.
#ifndef SIMPLEXQP_LSQ_PARTS_H
#define SIMPLEXQP_LSQ_PARTS_H

#include <cstdint>

#include "simplex_lsq.h"
#include "../sources/vector_kernel.h"

// What the source reads: C (m by n, column-major), the right-hand side d
// whose problem it is (m entries; the caller points it at each column of D
// in turn), Q whole where it was formed (n n doubles, column-major, every
// entry kernelColumn's of gram), else null, and C interleaved where it was
// (interleaveColumns), else null: the gradients' products then take eight
// columns at a time in vector lanes, with the same sums.
struct LeastSquaresData {
    VectorKernel gram;  // gramOf(C, m, n): Q's entries, by their one formula
    const double* C;
    uint32_t m;
    uint32_t n;
    const double* d;
    const double* formed;
    const double* interleaved;
};

// C's columns in groups of eight, each group's m rows of eight entries
// (out[8 (m g + t) + r] = C(t, 8g + r), zero past column n): 8 m
// ceil(n / 8) doubles.
void interleaveColumns(const double* C, uint32_t m, uint32_t n, double* out);
size_t interleavedCount(uint32_t m, uint32_t n);

// The source of Q = CᵀC reading data, which must outlive it. Its columns,
// diagonal, block and largest entry are the linear kernel's of C's columns
// (read from data.formed where it is there), its products V(Vᵀx) as that
// kernel's; its gradients C'(Cx - d) from the residual (lsq_sources.cpp).
QSource leastSquaresSource(const LeastSquaresData& data);

// Q whole into out (n n doubles): column by column, kernelColumn's bits.
void formGram(const VectorKernel& gram, double* out);

// out[i] = sum over ascending t of C(t, i) v_t from +0.0, for i < n: b =
// C'd, summed as defined.
void columnProductsOf(const double* C, uint32_t m, uint32_t n, const double* v, double* out);

// Whether a call forms Q once for all its columns (8 n² bytes): where n
// is small, and Q would cost less than the columns' solves read of C.
bool formsGram(uint32_t m, uint32_t n, uint32_t p);

// leastSquaresOnSimplex with the choice made by the caller (the tests run
// both routes): formed, Q formed once and shared; otherwise its columns
// computed from C as the steps need them.
void leastSquaresColumns(const double* C, uint32_t m, uint32_t n, const double* D, uint32_t p,
                         const LeastSquaresSettings& settings, double* X, CertifiedReport* reports, bool formed);

#endif
