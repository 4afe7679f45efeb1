// The sources of Q against the stored matrix of the same values: every
// operation must give each entry the bits of that matrix, the Gaussian's
// products its products, the linear kernel's theirs within the stated
// bound. And the kernel values' digest, equal on every tree.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "draw.h"
#include "solve.h"
#include "common/problem.h"
#include "common/solver_settings.h"
#include "common/vector_path.h"
#include "sources/column_store.h"
#include "sources/dense_source.h"
#include "sources/portable_exp.h"
#include "sources/vector_kernel.h"

namespace {

// Coordinates of mixed signs and magnitudes, some repeated points (zero
// distances) and some far apart (kernel values that underflow).
std::vector<double> drawData(size_t count, uint64_t seed)
{
    Draw draw{seed};
    std::vector<double> data(count);
    for (double& v : data) {
        // Drawn one after the other: the order in which a call's arguments
        // are evaluated differs between compilers.
        const double mantissa = unit(draw) - 0.4;
        const int exponent = static_cast<int>(unit(draw) * 8) - 4;
        v = std::ldexp(mantissa, exponent);
    }
    return data;
}

std::vector<double> points(uint32_t n, uint32_t d, uint64_t seed)
{
    std::vector<double> P = drawData(static_cast<size_t>(n) * d, seed);
    for (uint32_t t = 0; t < d; ++t) {
        P[3 + static_cast<size_t>(t) * n] = P[0 + static_cast<size_t>(t) * n];  // point 3 is point 0
        P[5 + static_cast<size_t>(t) * n] *= 64.0;                               // point 5 is far away
    }
    return P;
}

// Q formed entry by entry.
std::vector<double> formed(const VectorKernel& k)
{
    std::vector<double> Q(static_cast<size_t>(k.n) * k.n);
    for (uint32_t j = 0; j < k.n; ++j)
        for (uint32_t i = 0; i < k.n; ++i)
            Q[at(i, j, k.n)] = kernelEntry(k, i, j);
    return Q;
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Weights >= 0 on a support of every third coordinate, and its list.
std::vector<double> weights(uint32_t n, std::vector<uint32_t>& support)
{
    Draw draw{7};
    std::vector<double> x(n, 0.0);
    support.clear();
    for (uint32_t k = 0; k < n; k += 3) {
        x[k] = unit(draw) + 0x1p-30;
        support.push_back(k);
    }
    return x;
}

// Columns (whole and at a list of rows, unordered and repeated), the
// diagonal and a block of the source, against the formed Q, bit for bit.
void expectSameEntries(const QSource& source, const std::vector<double>& Q)
{
    const uint32_t n = source.n;
    std::vector<double> out(static_cast<size_t>(n) * n);
    const uint32_t rows[] = {n - 1, 0, 5, 3, 5, 2};
    for (uint32_t c = 0; c < n; ++c) {
        source.column(source.context, c, nullptr, n, out.data());
        for (uint32_t i = 0; i < n; ++i)
            ASSERT_TRUE(sameBits(out[i], Q[at(i, c, n)])) << "column " << c << " row " << i;
        source.column(source.context, c, rows, 6, out.data());
        for (uint32_t r = 0; r < 6; ++r)
            ASSERT_TRUE(sameBits(out[r], Q[at(rows[r], c, n)])) << "column " << c << " at row " << rows[r];
        if (const double* held = source.held(source.context, c)) {
            EXPECT_EQ(held, Q.data() + at(0, c, n));
        }
    }
    source.diagonal(source.context, out.data());
    double largest = 0.0, largestDiagonal = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        ASSERT_TRUE(sameBits(out[i], Q[at(i, i, n)])) << "diagonal " << i;
        largestDiagonal = std::fmax(largestDiagonal, out[i]);
    }
    for (double entry : Q)
        largest = std::fmax(largest, std::fabs(entry));
    // Exact but for a linear kernel's, its largest diagonal entry.
    const double scale = source.largestEntry(source.context, VectorPath::baseline);
    EXPECT_TRUE(scale == largest || (source.symmetric && scale == largestDiagonal && largest <= scale * (1 + 0x1p-40)))
        << scale << " for " << largest;
    const uint32_t indices[] = {4, 1, 9, 0, 3};
    source.block(source.context, indices, 5, out.data());
    for (uint32_t s = 0; s < 5; ++s)
        for (uint32_t r = 0; r < 5; ++r)
            ASSERT_TRUE(sameBits(out[r + 5 * s], Q[at(indices[r], indices[s], n)])) << r << ", " << s;
}

// The products and magnitudes on both paths, each within its bound of the
// exact sum of the formed Q's entries (summed in long double, whose own
// error is far below the bound). Returns the products on the baseline.
std::vector<double> expectBoundedProducts(const QSource& source, const std::vector<double>& Q)
{
    const uint32_t n = source.n;
    std::vector<uint32_t> support;
    const std::vector<double> x = weights(n, support);
    std::vector<double> scratch(source.productScratch + 1);
    std::vector<double> first;
    for (VectorPath path : {VectorPath::baseline, defaultSettings().path}) {
        std::vector<double> p(n), magnitudes(n);
        const ProductBound bound = source.products(source.context, path, x.data(), support.data(),
                                                   static_cast<uint32_t>(support.size()), p.data(),
                                                   magnitudes.data(), scratch.data());
        for (uint32_t i = 0; i < n; ++i) {
            long double exact = 0, magnitude = 0;
            for (uint32_t k : support) {
                exact += static_cast<long double>(Q[at(i, k, n)]) * x[k];
                magnitude += fabsl(static_cast<long double>(Q[at(i, k, n)]) * x[k]);
            }
            const long double allowed = bound.units * 0x1p-52L * magnitudes[i] + bound.absolute;
            EXPECT_LE(fabsl(p[i] - exact), allowed) << "row " << i;
            // A stored Q's magnitudes are sums of |terms|; the linear
            // kernel's, |V||V|'x, can be larger, never smaller.
            EXPECT_LE(magnitude - magnitudes[i], allowed) << "row " << i;
        }
        if (first.empty())
            first = p;
        for (uint32_t i = 0; i < n; ++i)
            EXPECT_TRUE(sameBits(p[i], first[i])) << vectorPathName(path) << " row " << i;
    }
    return first;
}

TEST(QSources, DenseSourceReadsTheStoredMatrix)
{
    const uint32_t n = 23;
    const std::vector<double> Q = drawData(static_cast<size_t>(n) * n, 3);
    const DenseMatrix matrix{Q.data(), n};
    const QSource source = denseSource(matrix, false);
    expectSameEntries(source, Q);
    expectBoundedProducts(source, Q);
}

TEST(QSources, KernelsOfPointsAgainstTheirFormedMatrix)
{
    const uint32_t n = 31, d = 5;
    const std::vector<double> P = points(n, d, 11);
    for (const VectorKernel& kernel : {gaussianOfPoints(P.data(), n, d, 0.3), linearOfPoints(P.data(), n, d)}) {
        const std::vector<double> Q = formed(kernel);
        for (uint32_t j = 0; j < n; ++j)
            for (uint32_t i = 0; i < j; ++i)
                ASSERT_TRUE(sameBits(Q[at(i, j, n)], Q[at(j, i, n)])) << i << ", " << j;
        const QSource source = kernelSource(kernel);
        EXPECT_TRUE(source.symmetric);
        expectSameEntries(source, Q);
        const std::vector<double> p = expectBoundedProducts(source, Q);
        if (kernel.kind != KernelKind::gaussian)
            continue;
        // The Gaussian sums as a stored Q does: the stored matrix's bits.
        EXPECT_EQ(Q[at(3, 0, n)], 1.0);
        const DenseMatrix matrix{Q.data(), n};
        const std::vector<double> stored = expectBoundedProducts(denseSource(matrix, true), Q);
        for (uint32_t i = 0; i < n; ++i)
            ASSERT_TRUE(sameBits(p[i], stored[i])) << "row " << i;
    }
}

TEST(QSources, ColumnsComputedTogetherHaveTheBitsOfEachAlone)
{
    // Several chunks of rows and a count of coordinates that is not a
    // multiple of four; for points and for a Gram matrix; and the store of
    // whole columns (column_store.h) in front of them: one entry's bits
    // however the column is asked for.
    const uint32_t n = 1100, d = 7;
    const std::vector<double> P = points(n, d, 4);
    const uint32_t columns[] = {0, 3, 5, 17, 1099};
    const uint32_t count = sizeof columns / sizeof columns[0];
    for (const VectorKernel& kernel :
         {gaussianOfPoints(P.data(), n, d, 0.3), linearOfPoints(P.data(), n, d), gramOf(P.data(), d, n / d)}) {
        std::vector<double> together(static_cast<size_t>(count) * kernel.n), alone(kernel.n);
        double* out[count];
        for (uint32_t j = 0; j < count; ++j)
            out[j] = together.data() + static_cast<size_t>(j) * kernel.n;
        const uint32_t listed = kernel.n == n ? count : 3;
        kernelColumns(kernel, columns, listed, out);
        ColumnStore store;
        const QSource source = kernelSource(kernel);
        ASSERT_TRUE(takeColumnStore(source, 8.0 * kernel.n * fewestStoredColumns, defaultSettings().host, store));
        const QSource stored = storedColumnsSource(store);
        for (uint32_t j = 0; j < listed; ++j) {
            kernelColumn(kernel, columns[j], nullptr, kernel.n, alone.data());
            const double* const fromStore = stored.held(stored.context, columns[j]);
            for (uint32_t i = 0; i < kernel.n; ++i) {
                ASSERT_TRUE(sameBits(out[j][i], alone[i])) << "column " << columns[j] << ", row " << i;
                ASSERT_TRUE(sameBits(fromStore[i], alone[i])) << "column " << columns[j] << ", row " << i;
            }
        }
        releaseColumnStore(store);
    }
}

// C's Gram matrix is the linear kernel of its columns: the same sums, in
// the same order, whichever way the vectors lie in memory.
TEST(QSources, GramMatrixIsTheLinearKernelOfTheColumns)
{
    const uint32_t m = 9, n = 26;
    const std::vector<double> C = drawData(static_cast<size_t>(m) * n, 5);
    std::vector<double> P(C.size());  // Cᵀ, a point per row
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t t = 0; t < m; ++t)
            P[j + static_cast<size_t>(t) * n] = C[t + static_cast<size_t>(j) * m];
    const VectorKernel gram = gramOf(C.data(), m, n);
    const std::vector<double> Q = formed(gram);
    const QSource source = kernelSource(gram);
    expectSameEntries(source, Q);
    expectSameEntries(kernelSource(linearOfPoints(P.data(), n, m)), Q);
    const std::vector<double> p = expectBoundedProducts(source, Q);
    const std::vector<double> q = expectBoundedProducts(kernelSource(linearOfPoints(P.data(), n, m)), Q);
    for (uint32_t i = 0; i < n; ++i)
        ASSERT_TRUE(sameBits(p[i], q[i])) << "row " << i;
}

// FNV-1a of the values' bits: the kernels of a fixed set of points, and exp
// on a fixed grid. Every tree must print and match the same digest.
uint64_t digest(uint64_t hash, const double* values, size_t count)
{
    for (size_t j = 0; j < count; ++j) {
        unsigned char bytes[sizeof(double)];
        std::memcpy(bytes, values + j, sizeof bytes);
        for (unsigned char byte : bytes)
            hash = (hash ^ byte) * 1099511628211ULL;
    }
    return hash;
}

TEST(QSources, KernelValuesDigest)
{
    const uint32_t n = 64, d = 7;
    const std::vector<double> P = points(n, d, 19);
    uint64_t hash = 14695981039346656037ULL;
    for (const VectorKernel& kernel : {gaussianOfPoints(P.data(), n, d, 0.05), gaussianOfPoints(P.data(), n, d, 0.7),
                                       gaussianOfPoints(P.data(), n, d, 9.0), linearOfPoints(P.data(), n, d)}) {
        const std::vector<double> Q = formed(kernel);
        hash = digest(hash, Q.data(), Q.size());
    }
    std::vector<double> grid;
    for (int j = -200000; j <= 20000; ++j)
        grid.push_back(portableExp(j * 0x1.0c6f7a0b5ed8dp-8));  // about 1/243, spanning the range
    hash = digest(hash, grid.data(), grid.size());
    std::printf("kernel values digest: %016llx\n", static_cast<unsigned long long>(hash));
    EXPECT_EQ(hash, 0xa45db94870b7eac9ULL);
}

}  // namespace

namespace {

// A kernel's source that counts the columns it computes (whole or in part).
struct CountedKernel {
    QSource inner;
    uint64_t columns;
};

void countedColumn(const void* context, uint32_t c, const uint32_t* rows, uint32_t rowCount, double* out)
{
    CountedKernel& counted = *static_cast<CountedKernel*>(const_cast<void*>(context));
    ++counted.columns;
    counted.inner.column(counted.inner.context, c, rows, rowCount, out);
}

void countedColumns(const void* context, const uint32_t* columns, uint32_t count, double* const* out)
{
    CountedKernel& counted = *static_cast<CountedKernel*>(const_cast<void*>(context));
    counted.columns += count;
    counted.inner.wholeColumns(counted.inner.context, columns, count, out);
}

}  // namespace

// The exact check's products pass over the support's columns again and
// again. Where they are more than the store holds, the least recently used
// column would always be the one the next pass asks for first: each pass
// would compute every column afresh. The store keeps a pass's first columns
// instead, with the same products.
TEST(QSources, StoreKeepsMostOfAPassLargerThanItself)
{
    const uint32_t n = 256, d = 2, slots = 64, count = 100;
    const std::vector<double> P = drawData(static_cast<size_t>(n) * d, 11);
    const VectorKernel kernel = gaussianOfPoints(P.data(), n, d, 0.7);
    const QSource source = kernelSource(kernel);
    CountedKernel counted{source, 0};
    QSource countedSource = source;
    countedSource.context = &counted;
    countedSource.column = countedColumn;
    countedSource.wholeColumns = countedColumns;
    ColumnStore store;
    ASSERT_TRUE(takeColumnStore(countedSource, 8.0 * n * slots, defaultSettings().host, store));
    const QSource stored = storedColumnsSource(store);
    std::vector<uint32_t> columns(count);
    std::vector<double> x(n, 0.0);
    for (uint32_t j = 0; j < count; ++j) {
        columns[j] = 2 * j + 1;
        x[columns[j]] = 1.0 / count;
    }
    std::vector<double> first(n), again(n), magnitudes(n), scratch(source.productScratch + 1);
    stored.products(stored.context, VectorPath::baseline, x.data(), columns.data(), count, first.data(),
                    magnitudes.data(), scratch.data());
    EXPECT_EQ(counted.columns, count);
    for (int pass = 0; pass < 3; ++pass) {
        counted.columns = 0;
        stored.products(stored.context, VectorPath::baseline, x.data(), columns.data(), count, again.data(),
                        magnitudes.data(), scratch.data());
        // All but the slots that served the pass's last columns hold its first.
        EXPECT_LE(counted.columns, count - (slots - 2 * fewestStoredColumns)) << "pass " << pass;
        EXPECT_EQ(bitsOf(again), bitsOf(first)) << "pass " << pass;
    }
    releaseColumnStore(store);
}
