#include "vector_kernel.h"

#include "portable_exp.h"

namespace {

// What is summed over the coordinates for each entry (v = v_i(t), w = v_c(t)).
enum class Term { product, squaredDifference };

template <Term term>
inline double termOf(double v, double w)
{
    if (term == Term::product)
        return v * w;
    const double difference = v - w;
    return difference * difference;
}

// out[r] = sum over ascending t of the terms of v_i and v_c, i = rows[r]
// (i = r when rows is null). Vectors stored whole (a Gram matrix's
// columns) are summed one at a time along memory; interleaved ones (points
// by rows) coordinate by coordinate, the rows' sums side by side, which
// reads memory in order and lets the loop vectorise without changing any
// sum's order.
template <Term term>
void sumTerms(const VectorKernel& k, uint32_t c, const uint32_t* rows, uint32_t rowCount, double* __restrict out)
{
    const double* const other = k.data + c * k.vectorStride;
    if (k.coordinateStride == 1) {
        for (uint32_t r = 0; r < rowCount; ++r) {
            const double* const v = k.data + (rows ? rows[r] : r) * k.vectorStride;
            double sum = 0.0;
            for (uint32_t t = 0; t < k.length; ++t)
                sum = sum + termOf<term>(v[t], other[t]);
            out[r] = sum;
        }
        return;
    }
    for (uint32_t r = 0; r < rowCount; ++r)
        out[r] = 0.0;
    for (uint32_t t = 0; t < k.length; ++t) {
        const double* __restrict coordinate = k.data + t * k.coordinateStride;
        const double w = other[t * k.coordinateStride];
        if (rows)
            for (uint32_t r = 0; r < rowCount; ++r)
                out[r] = out[r] + termOf<term>(coordinate[rows[r] * k.vectorStride], w);
        else
            for (uint32_t r = 0; r < rowCount; ++r)
                out[r] = out[r] + termOf<term>(coordinate[r * k.vectorStride], w);
    }
}

inline double gaussianOf(double squaredDistance, double denominator)
{
    return portableExp(-(squaredDistance / denominator));
}

VectorKernel ofPoints(const double* points, uint32_t n, uint32_t d, KernelKind kind, double denominator)
{
    return VectorKernel{points, n, d, 1, n, kind, denominator};
}

}  // namespace

VectorKernel gaussianOfPoints(const double* points, uint32_t n, uint32_t d, double width)
{
    return ofPoints(points, n, d, KernelKind::gaussian, 2.0 * (width * width));
}

VectorKernel linearOfPoints(const double* points, uint32_t n, uint32_t d)
{
    return ofPoints(points, n, d, KernelKind::linear, 0.0);
}

VectorKernel gramOf(const double* C, uint32_t m, uint32_t n)
{
    return VectorKernel{C, n, m, m, 1, KernelKind::linear, 0.0};
}

double kernelEntry(const VectorKernel& kernel, uint32_t i, uint32_t j)
{
    double entry;
    kernelColumn(kernel, j, &i, 1, &entry);
    return entry;
}

void kernelColumn(const VectorKernel& kernel, uint32_t c, const uint32_t* rows, uint32_t rowCount, double* out)
{
    if (kernel.kind == KernelKind::linear) {
        sumTerms<Term::product>(kernel, c, rows, rowCount, out);
        return;
    }
    sumTerms<Term::squaredDifference>(kernel, c, rows, rowCount, out);
    for (uint32_t r = 0; r < rowCount; ++r)
        out[r] = gaussianOf(out[r], kernel.denominator);
}

void kernelDiagonal(const VectorKernel& kernel, double* out)
{
    // e^-0 is 1 exactly; the linear kernel's entries are one sum each.
    for (uint32_t i = 0; i < kernel.n; ++i)
        out[i] = kernel.kind == KernelKind::gaussian ? 1.0 : kernelEntry(kernel, i, i);
}

double kernelLargestEntry(const VectorKernel& kernel)
{
    if (kernel.n == 0)
        return 0.0;
    if (kernel.kind == KernelKind::gaussian)
        return 1.0;
    double largest = 0.0;
    for (uint32_t i = 0; i < kernel.n; ++i) {
        const double entry = kernelEntry(kernel, i, i);
        largest = entry > largest ? entry : largest;
    }
    return largest;
}

void kernelBlock(const VectorKernel& kernel, const uint32_t* indices, uint32_t count, double* out)
{
    for (uint32_t s = 0; s < count; ++s) {
        double* const column = out + static_cast<size_t>(s) * count;
        kernelColumn(kernel, indices[s], indices, s + 1, column);
        for (uint32_t r = 0; r < s; ++r)
            out[s + static_cast<size_t>(r) * count] = column[r];
    }
}
