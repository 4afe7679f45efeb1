#include "support_products.h"

#include <cmath>

#include "host_scratch.h"
#include "matrix_facts.h"
#include "problem.h"
#include "products.h"
#include "vector_loops.h"

namespace {

// Whether rows of zero weight may go without their products (see the
// header).
bool zeroRowsMaySkip(const SupportProducts& products, const double* x)
{
    if (!products.finiteQ || !products.finiteB)
        return false;
    double norm = 0.0;
    for (uint32_t k = 0; k < products.n; ++k)
        norm += std::fabs(x[k]);
    // 2 % above the computed sum covers its rounding.
    return products.largestQ * (1.02 * norm) <= 0x1p1000;
}

// Takes the optional block for s indices and lays out its parts: the s-by-s
// block, then the two lists of doubles, then the two of indices. False when
// it is refused.
bool takeBlock(SupportProducts& products, uint32_t s)
{
    const size_t square = static_cast<size_t>(s) * s;
    const size_t bytes = sizeof(double) * (square + 2 * static_cast<size_t>(s)) + sizeof(uint32_t) * 2 * s;
    double* whole = static_cast<double*>(products.optional.take(bytes));
    if (!whole)
        return false;
    products.block = whole;
    products.packedX = whole + square;
    products.packedSums = products.packedX + s;
    products.packed = reinterpret_cast<uint32_t*>(products.packedSums + s);
    products.packedColumns = products.packed + s;
    products.packedBytes = bytes;
    return true;
}

// Copies Q's block at the count listed indices into the packed array.
void pack(SupportProducts& products, const double* Q, const uint32_t* indices, uint32_t count)
{
    const uint32_t n = products.n;
    for (uint32_t c = 0; c < count; ++c) {
        const double* column = Q + at(0, indices[c], n);
        double* packedColumn = products.block + static_cast<size_t>(c) * count;
        for (uint32_t r = 0; r < count; ++r)
            packedColumn[r] = column[indices[r]];
        products.packed[c] = indices[c];
    }
    products.packedCount = count;
}

// Keeps only the rows and columns of the block whose weights are not 0.
// In place: each value moves to an index no greater than its own, and every
// value still to be read lies beyond everything written so far.
void compact(SupportProducts& products, const double* x)
{
    const uint32_t old = products.packedCount;
    uint32_t* keep = products.packedColumns;  // positions kept, ascending
    uint32_t count = 0;
    for (uint32_t j = 0; j < old; ++j) {
        keep[count] = j;
        count += x[products.packed[j]] != 0.0;
    }
    for (uint32_t c = 0; c < count; ++c) {
        const double* from = products.block + static_cast<size_t>(keep[c]) * old;
        double* to = products.block + static_cast<size_t>(c) * count;
        for (uint32_t r = 0; r < count; ++r)
            to[r] = from[keep[r]];
    }
    for (uint32_t j = 0; j < count; ++j)
        products.packed[j] = products.packed[keep[j]];
    products.packedCount = count;
}

// Whether every non-zero weight has its row and column in the block.
bool blockCoversSupport(const SupportProducts& products, const double* x, uint32_t supportSize)
{
    uint32_t covered = 0;
    for (uint32_t j = 0; j < products.packedCount; ++j)
        covered += x[products.packed[j]] != 0.0;
    return covered == supportSize;
}

}  // namespace

void startSupportProducts(SupportProducts& products, const double* Q, const double* b, uint32_t n,
                          const SolverSettings& settings)
{
    products.n = n;
    products.path = settings.path;
    products.optional = settings.optional;
    products.packingRefused = false;
    products.packedBytes = 0;
    products.largestQ = largestMagnitude(Q, static_cast<size_t>(n) * n);
    products.finiteQ = products.largestQ <= largestDouble;
    products.finiteB = allFinite(b, n);
    products.columns = static_cast<uint32_t*>(mxMalloc(sizeof(uint32_t) * n));
    products.block = nullptr;
    products.packedCount = 0;
}

void finishSupportProducts(SupportProducts& products)
{
    if (products.block)
        products.optional.give(products.block);
    products.block = nullptr;
    mxFree(products.columns);
}

bool supportRowProducts(SupportProducts& products, const double* Q, const double* x, double* p)
{
    const uint32_t n = products.n;
    const uint32_t count = termsToSum(x, n, products.finiteQ, products.columns);
    const bool skipZeroRows = zeroRowsMaySkip(products, x);
    if (skipZeroRows && !products.block && !products.packingRefused && count <= n / 4) {
        if (takeBlock(products, count))
            pack(products, Q, products.columns, count);
        else
            products.packingRefused = true;
    }
    if (!skipZeroRows || !products.block || !blockCoversSupport(products, x, count)) {
        rowProductsOver(products.path, Q, x, n, products.columns, count, p);
        return true;
    }

    if (4 * static_cast<uint64_t>(count) <= 3 * static_cast<uint64_t>(products.packedCount))
        compact(products, x);
    const uint32_t size = products.packedCount;
    uint32_t columns = 0;
    for (uint32_t j = 0; j < size; ++j) {
        products.packedX[j] = x[products.packed[j]];
        products.packedColumns[columns] = j;
        columns += products.packedX[j] != 0.0;
    }
    // Row r of the block sums the same terms in the same order as row
    // packed[r] of Q: the block's columns are Q's in ascending order.
    rowProductsOver(products.path, products.block, products.packedX, size, products.packedColumns, columns,
                    products.packedSums);
    for (uint32_t r = 0; r < size; ++r)
        p[products.packed[r]] = products.packedSums[r];
    return false;
}
