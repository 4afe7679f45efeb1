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
// columns) are summed along memory, four rows at a time: four independent
// sums, each in its own order, so that the additions' latency overlaps.
// Interleaved ones (points by rows) coordinate by coordinate, the rows'
// sums side by side, which reads memory in order and lets the loop
// vectorise; four coordinates at a time, each sum taking their terms in
// ascending order as before, so that each row's sum is read and written a
// quarter as often. Neither grouping changes any sum's order or bits.
template <Term term>
void sumAlongVectors(const VectorKernel& k, const double* other, const uint32_t* rows, uint32_t rowCount,
                     double* __restrict out)
{
    const uint32_t d = k.length;
    uint32_t r = 0;
    for (; r + 4 <= rowCount; r += 4) {
        const double* const v0 = k.data + (rows ? rows[r] : r) * k.vectorStride;
        const double* const v1 = k.data + (rows ? rows[r + 1] : r + 1) * k.vectorStride;
        const double* const v2 = k.data + (rows ? rows[r + 2] : r + 2) * k.vectorStride;
        const double* const v3 = k.data + (rows ? rows[r + 3] : r + 3) * k.vectorStride;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (uint32_t t = 0; t < d; ++t) {
            const double w = other[t];
            s0 = s0 + termOf<term>(v0[t], w);
            s1 = s1 + termOf<term>(v1[t], w);
            s2 = s2 + termOf<term>(v2[t], w);
            s3 = s3 + termOf<term>(v3[t], w);
        }
        out[r] = s0;
        out[r + 1] = s1;
        out[r + 2] = s2;
        out[r + 3] = s3;
    }
    for (; r < rowCount; ++r) {
        const double* const v = k.data + (rows ? rows[r] : r) * k.vectorStride;
        double sum = 0.0;
        for (uint32_t t = 0; t < d; ++t)
            sum = sum + termOf<term>(v[t], other[t]);
        out[r] = sum;
    }
}

// Which rows a sum across vectors visits, and how they lie: those listed,
// or every one, the points of a matrix by rows next to one another (which
// the loop then reads as contiguous memory) or strided.
enum class Rows { listed, adjacent, strided };

template <Term term, Rows mode>
void sumAcrossVectors(const VectorKernel& k, const double* other, const uint32_t* rows, uint32_t rowCount,
                      double* __restrict out)
{
    const size_t stride = mode == Rows::adjacent ? 1 : k.vectorStride;
    const auto at = [=](uint32_t r) { return (mode == Rows::listed ? rows[r] : r) * stride; };
    for (uint32_t r = 0; r < rowCount; ++r)
        out[r] = 0.0;
    uint32_t t = 0;
    for (; t + 4 <= k.length; t += 4) {
        const double* __restrict c0 = k.data + t * k.coordinateStride;
        const double* __restrict c1 = c0 + k.coordinateStride;
        const double* __restrict c2 = c1 + k.coordinateStride;
        const double* __restrict c3 = c2 + k.coordinateStride;
        const double w0 = other[t * k.coordinateStride], w1 = other[(t + 1) * k.coordinateStride];
        const double w2 = other[(t + 2) * k.coordinateStride], w3 = other[(t + 3) * k.coordinateStride];
        for (uint32_t r = 0; r < rowCount; ++r) {
            const size_t i = at(r);
            out[r] = (((out[r] + termOf<term>(c0[i], w0)) + termOf<term>(c1[i], w1)) + termOf<term>(c2[i], w2)) +
                     termOf<term>(c3[i], w3);
        }
    }
    for (; t < k.length; ++t) {
        const double* __restrict coordinate = k.data + t * k.coordinateStride;
        const double w = other[t * k.coordinateStride];
        for (uint32_t r = 0; r < rowCount; ++r)
            out[r] = out[r] + termOf<term>(coordinate[at(r)], w);
    }
}

template <Term term>
void sumTerms(const VectorKernel& k, uint32_t c, const uint32_t* rows, uint32_t rowCount, double* __restrict out)
{
    const double* const other = k.data + c * k.vectorStride;
    if (k.coordinateStride == 1)
        sumAlongVectors<term>(k, other, rows, rowCount, out);
    else if (rows)
        sumAcrossVectors<term, Rows::listed>(k, other, rows, rowCount, out);
    else if (k.vectorStride == 1)
        sumAcrossVectors<term, Rows::adjacent>(k, other, rows, rowCount, out);
    else
        sumAcrossVectors<term, Rows::strided>(k, other, rows, rowCount, out);
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

namespace {

// Rows at a time and columns at a time of kernelColumns: a chunk of each
// of four coordinates (16 KiB) and the chunk's sums of the columns stay in
// the nearest caches while every column of the group reads them.
constexpr uint32_t chunkRows = 512;

// The sums of sumAcrossVectors (adjacent rows) for several columns at once,
// chunk by chunk of rows: each coordinate is read from memory once for all
// of them. Each sum takes its terms in ascending order, as there.
template <Term term>
void sumAcrossForColumns(const VectorKernel& k, const uint32_t* columns, uint32_t count, double* const* out)
{
    const uint32_t n = k.n, d = k.length;
    const size_t stride = k.coordinateStride;
    for (uint32_t first = 0; first < n; first += chunkRows) {
        const uint32_t rows = n - first < chunkRows ? n - first : chunkRows;
        for (uint32_t j = 0; j < count; ++j)
            for (uint32_t r = 0; r < rows; ++r)
                out[j][first + r] = 0.0;
        uint32_t t = 0;
        for (; t + 4 <= d; t += 4) {
            const double* __restrict c0 = k.data + t * stride + first;
            const double* __restrict c1 = c0 + stride;
            const double* __restrict c2 = c1 + stride;
            const double* __restrict c3 = c2 + stride;
            for (uint32_t j = 0; j < count; ++j) {
                const double* const other = k.data + columns[j] + t * stride;
                const double w0 = other[0], w1 = other[stride], w2 = other[2 * stride], w3 = other[3 * stride];
                double* __restrict sums = out[j] + first;
                for (uint32_t r = 0; r < rows; ++r)
                    sums[r] = (((sums[r] + termOf<term>(c0[r], w0)) + termOf<term>(c1[r], w1)) +
                               termOf<term>(c2[r], w2)) +
                              termOf<term>(c3[r], w3);
            }
        }
        for (; t < d; ++t) {
            const double* __restrict coordinate = k.data + t * stride + first;
            for (uint32_t j = 0; j < count; ++j) {
                const double w = k.data[columns[j] + t * stride];
                double* __restrict sums = out[j] + first;
                for (uint32_t r = 0; r < rows; ++r)
                    sums[r] = sums[r] + termOf<term>(coordinate[r], w);
            }
        }
    }
}

}  // namespace

void kernelColumns(const VectorKernel& kernel, const uint32_t* columns, uint32_t count, double* const* out)
{
    // Points by rows gain from sharing the reads; vectors stored whole are
    // read along memory, a column at a time.
    if (kernel.coordinateStride == 1 || kernel.vectorStride != 1) {
        for (uint32_t j = 0; j < count; ++j)
            kernelColumn(kernel, columns[j], nullptr, kernel.n, out[j]);
        return;
    }
    if (kernel.kind == KernelKind::linear) {
        sumAcrossForColumns<Term::product>(kernel, columns, count, out);
        return;
    }
    sumAcrossForColumns<Term::squaredDifference>(kernel, columns, count, out);
    for (uint32_t j = 0; j < count; ++j)
        for (uint32_t r = 0; r < kernel.n; ++r)
            out[j][r] = gaussianOf(out[j][r], kernel.denominator);
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
