// Q from vectors: Q(i, j) = k(v_i, v_j) for n vectors of d coordinates,
// which are the points of a kernel (rows of an n-by-d matrix) or the
// columns of a matrix C (its Gram matrix CᵀC, the linear kernel of its
// columns). Each entry is computed by one formula, its sum over the
// coordinates in ascending order from +0.0, so that it has the same bits
// wherever it is computed (a column, a block, the diagonal) and Q is
// exactly symmetric:
//     linear    Q(i, j) = sum_t v_i(t) v_j(t)
//     gaussian  Q(i, j) = e^(-D / (2 w^2)),  D = sum_t (v_i(t) - v_j(t))^2,
// D summed from the differences rather than as |v_i|^2 + |v_j|^2 - 2 v_i'v_j,
// which cancels for near points and can come out negative; the division by
// the one rounded 2 w^2 (w the width), and portable_exp.h's exp.
//
// Vector i's coordinate t is data[i vectorStride + t coordinateStride].
#ifndef SIMPLEXQP_VECTOR_KERNEL_H
#define SIMPLEXQP_VECTOR_KERNEL_H

#include <cstddef>
#include <cstdint>

#include "q_source.h"

enum class KernelKind : uint8_t { linear, gaussian };

struct VectorKernel {
    const double* data;
    uint32_t n;                // vectors
    uint32_t length;           // coordinates of each, d
    size_t vectorStride;
    size_t coordinateStride;
    KernelKind kind;
    double denominator;        // 2 w^2, for the Gaussian
};

// Points as the host gives them: an n-by-d matrix, column-major, a point
// per row. The caller checks that 2 width^2 is a positive finite double.
VectorKernel gaussianOfPoints(const double* points, uint32_t n, uint32_t d, double width);
VectorKernel linearOfPoints(const double* points, uint32_t n, uint32_t d);
// CᵀC for C m-by-n, column-major: the linear kernel of C's columns.
VectorKernel gramOf(const double* C, uint32_t m, uint32_t n);

double kernelEntry(const VectorKernel& kernel, uint32_t i, uint32_t j);

// out[r] = Q(rows[r], c) for r < rowCount, every row when rows is null.
void kernelColumn(const VectorKernel& kernel, uint32_t c, const uint32_t* rows, uint32_t rowCount, double* out);

// out[j][i] = Q(i, columns[j]) for every row i and j < count: the columns of
// kernelColumn, computed together.
void kernelColumns(const VectorKernel& kernel, const uint32_t* columns, uint32_t count, double* const* out);

void kernelDiagonal(const VectorKernel& kernel, double* out);

// The Gaussian's largest entry is its diagonal's 1 (every other is e^x for
// x <= 0, at most 1); the linear kernel's scale, its largest diagonal entry.
double kernelLargestEntry(const VectorKernel& kernel);

// out[r + s count] = Q(indices[r], indices[s]): each entry computed once
// and mirrored, which Q's exact symmetry allows.
void kernelBlock(const VectorKernel& kernel, const uint32_t* indices, uint32_t count, double* out);

// The products and their bound (kernel_products.cpp): for the Gaussian,
// (Qx)_i summed as for a stored Q, from the columns computed one at a time
// (n doubles of scratch); for the linear kernel V(Vᵀx), at O((n + c) d)
// rather than O(n c d) (2d doubles of scratch).
ProductBound kernelProducts(const VectorKernel& kernel, const double* x, const uint32_t* columns, uint32_t count,
                            double* p, double* magnitudes, double* scratch);
uint32_t kernelProductScratch(const VectorKernel& kernel);

// A source reading kernel, which must outlive it (kernel_source.cpp).
QSource kernelSource(const VectorKernel& kernel);

#endif
