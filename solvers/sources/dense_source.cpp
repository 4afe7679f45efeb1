#include "dense_source.h"

#include <cmath>

#include "../common/problem.h"
#include "../common/vector_loops.h"

namespace {

const DenseMatrix& matrixOf(const void* context)
{
    return *static_cast<const DenseMatrix*>(context);
}

const double* held(const void* context, uint32_t c)
{
    const DenseMatrix& m = matrixOf(context);
    return m.Q + at(0, c, m.n);
}

void column(const void* context, uint32_t c, const uint32_t* rows, uint32_t rowCount, double* out)
{
    const double* const full = held(context, c);
    for (uint32_t r = 0; r < rowCount; ++r)
        out[r] = full[rows ? rows[r] : r];
}

void diagonal(const void* context, double* out)
{
    const DenseMatrix& m = matrixOf(context);
    for (uint32_t i = 0; i < m.n; ++i)
        out[i] = m.Q[at(i, i, m.n)];
}

double largestEntry(const void* context, VectorPath path)
{
    const DenseMatrix& m = matrixOf(context);
    return largestMagnitudeOf(path, m.Q, static_cast<size_t>(m.n) * m.n);
}

void block(const void* context, const uint32_t* indices, uint32_t count, double* out)
{
    for (uint32_t s = 0; s < count; ++s)
        column(context, indices[s], indices, count, out + static_cast<size_t>(s) * count);
}

// magnitudes_i = sum |Q(i,k)| x_k over the listed columns, column by
// column, each sum in ascending k.
void sumMagnitudes(const DenseMatrix& m, const double* x, const uint32_t* columns, uint32_t count,
                   double* __restrict magnitudes)
{
    for (uint32_t i = 0; i < m.n; ++i)
        magnitudes[i] = 0.0;
    for (uint32_t j = 0; j < count; ++j) {
        const double* __restrict full = m.Q + at(0, columns[j], m.n);
        const double weight = x[columns[j]];
        for (uint32_t i = 0; i < m.n; ++i)
            magnitudes[i] = magnitudes[i] + std::fabs(full[i]) * weight;
    }
}

// The classical bound of a sum of c products, gamma_c sum |terms| with
// gamma_c = c u / (1 - c u), u = 2^-53: with the computed magnitudes, which
// understate the true ones by at most the factor 1 - gamma_c, it is below
// c 2^-52 A~_i for every c u <= 1/4; each product that underflows adds at
// most 2^-1075.
ProductBound products(const void* context, VectorPath path, const double* x, const uint32_t* columns,
                      uint32_t count, double* p, double* magnitudes, double*)
{
    const DenseMatrix& m = matrixOf(context);
    rowProductsOver(path, m.Q, x, m.n, columns, count, p);
    if (magnitudes)
        sumMagnitudes(m, x, columns, count, magnitudes);
    return ProductBound{static_cast<double>(count), 2.0 * count * 0x1p-1074};
}

}  // namespace

QSource denseSource(const DenseMatrix& matrix, bool symmetric)
{
    return QSource{&matrix, matrix.n, symmetric, 0, held, column, nullptr, diagonal, largestEntry, block, products, nullptr, 0, true, true, true};
}
