#include "support_products.h"

#include <cmath>

#include "../common/host_scratch.h"
#include "../common/matrix_facts.h"
#include "../common/problem.h"
#include "../common/products.h"
#include "../common/vector_loops.h"

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

// The block's columns for s rows: all s, or as many as fit in a sixteenth
// of Q's size (s c doubles within n^2 / 16).
uint32_t blockColumnsFor(uint32_t n, uint32_t s)
{
    const uint64_t budget = static_cast<uint64_t>(n) * n / 16;
    const uint64_t fitting = budget / s;
    return fitting < s ? static_cast<uint32_t>(fitting) : s;
}

// Copies Q at the support's rows and its last columns into a block of its
// own; false when the optional scratch is refused. Makes none where not a
// single column fits (tiny n).
bool pack(SupportProducts& products, const double* Q, const uint32_t* support, uint32_t s)
{
    const uint32_t n = products.n;
    const uint32_t columns = blockColumnsFor(n, s);
    if (columns == 0)
        return true;
    const size_t entries = static_cast<size_t>(s) * columns;
    const size_t bytes = sizeof(double) * (entries + 2 * static_cast<size_t>(s)) + sizeof(uint32_t) * 2 * s;
    double* whole = static_cast<double*>(products.optional.take(bytes));
    if (!whole)
        return false;
    products.block = whole;
    products.packedX = whole + entries;
    products.packedSums = products.packedX + s;
    products.packed = reinterpret_cast<uint32_t*>(products.packedSums + s);
    products.packedColumns = products.packed + s;
    products.packedBytes = bytes > products.packedBytes ? bytes : products.packedBytes;
    products.packedCount = s;
    products.blockColumns = columns;
    for (uint32_t r = 0; r < s; ++r)
        products.packed[r] = support[r];
    for (uint32_t c = 0; c < columns; ++c) {
        const double* column = Q + at(0, support[s - columns + c], n);
        double* packedColumn = products.block + static_cast<size_t>(c) * s;
        for (uint32_t r = 0; r < s; ++r)
            packedColumn[r] = column[support[r]];
    }
    return true;
}

void releaseBlock(SupportProducts& products)
{
    if (products.block)
        products.optional.give(products.block);
    products.block = nullptr;
    products.packedCount = 0;
    products.blockColumns = 0;
}

// Whether every non-zero weight has its row in the block.
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
    products.largestQ = largestMagnitudeOf(settings.path, Q, static_cast<size_t>(n) * n);
    products.finiteQ = products.largestQ <= largestDouble;
    products.finiteB = allFinite(settings.path, b, n);
    products.columns = static_cast<uint32_t*>(takeFromHost(settings.host, sizeof(uint32_t) * n));
    products.block = nullptr;
    products.packedCount = 0;
    products.blockColumns = 0;
}

void finishSupportProducts(SupportProducts& products)
{
    releaseBlock(products);
    mxFree(products.columns);
}

bool supportRowProducts(SupportProducts& products, const double* Q, const double* x, double* p)
{
    const uint32_t n = products.n;
    const uint32_t count = termsToSum(x, n, products.finiteQ, products.columns);
    const bool skipZeroRows = zeroRowsMaySkip(products, x);
    // A block for a support that has shrunk by a quarter is made again, for
    // the smaller support (given back first, so that two never coexist).
    if (products.block && 4 * static_cast<uint64_t>(count) <= 3 * static_cast<uint64_t>(products.packedCount))
        releaseBlock(products);
    if (skipZeroRows && !products.block && !products.packingRefused && count > 0 && count <= n / 2)
        products.packingRefused = !pack(products, Q, products.columns, count);
    if (!skipZeroRows || !products.block || !blockCoversSupport(products, x, count)) {
        rowProductsOver(products.path, Q, x, n, products.columns, count, p);
        return true;
    }

    // Each row's terms in ascending k: first the support's columns before
    // the block's, read from Q at the block's rows, then the block's.
    const uint32_t s = products.packedCount;
    const uint32_t firstBlockColumn = s - products.blockColumns;
    const uint32_t blockStart = products.packed[firstBlockColumn];
    uint32_t before = 0;
    while (before < count && products.columns[before] < blockStart)
        ++before;
    uint32_t blockTerms = 0;
    for (uint32_t r = 0; r < s; ++r) {
        products.packedX[r] = x[products.packed[r]];
        products.packedSums[r] = 0.0;
    }
    for (uint32_t c = firstBlockColumn; c < s; ++c) {
        products.packedColumns[blockTerms] = c - firstBlockColumn;
        blockTerms += products.packedX[c] != 0.0;
    }
    addGatheredRowProducts(products.path, Q, n, products.packed, s, products.columns, before, x,
                           products.packedSums);
    addRowProducts(products.path, products.block, products.packedX + firstBlockColumn, s, products.packedColumns,
                   blockTerms, products.packedSums);
    for (uint32_t r = 0; r < s; ++r)
        p[products.packed[r]] = products.packedSums[r];
    return false;
}
