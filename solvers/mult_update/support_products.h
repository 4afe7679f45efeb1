// multUpdate's row products, summing only what can change them.
//
// Columns: the term of a zero weight is a zero and leaves a row's sum as it
// is when Q is finite (products.h).
//
// Rows: a weight of multUpdate that is 0 stays 0, and its row needs no
// product: its ratio is 0 whatever the product, and its objective term
// (0 * 0.5) * p_i - 0 * b_i is a zero that leaves the objective as it is,
// provided p_i and b_i are finite. They are when Q and b are finite and
// m * sum |x_k| <= 2^1000 (m = max |Q(r,c)|), so that no row sum can
// overflow.
//
// While the support is large, all rows are summed over the support's
// columns, Q read in memory order. Once it has shrunk to half of n (and the
// rows may be skipped), the support's rows of its last columns are copied
// into a packed block: s rows (the support's size) by as many of its
// columns as fit in a sixteenth of Q's size (all s once s <= n / 4), with
// 24 s bytes beside it. A row's sum then takes its terms in ascending k as
// ever: the columns before the block's, read from Q at the support's rows,
// then the block's, contiguously. Once the support has shrunk to three
// quarters of the block's rows the block is made again for the smaller
// support. It is optional scratch (solver_settings.h): where it cannot be
// had, the products go on over Q, with the same bits.
#ifndef SIMPLEXQP_SUPPORT_PRODUCTS_H
#define SIMPLEXQP_SUPPORT_PRODUCTS_H

#include <cstddef>
#include <cstdint>

#include "../common/solver_settings.h"

struct SupportProducts {
    uint32_t n;
    VectorPath path;
    OptionalScratch optional;
    bool packingRefused;  // the optional scratch was refused: no block in this run
    size_t packedBytes;   // the most optional scratch held at once
    bool finiteQ;
    bool finiteB;
    double largestQ;    // m
    uint32_t* columns;  // n: the columns summed
    // The block, for s = packedCount rows, in one optional allocation:
    double* block;      // blockColumns columns of s: Q(packed[r], packed[s - blockColumns + c]) at r + c * s
    uint32_t packedCount;
    uint32_t blockColumns;
    uint32_t* packed;   // s: ascending indices of the block's rows (the support when it was made)
    double* packedX;    // s: x at those indices
    double* packedSums; // s: their row products
    uint32_t* packedColumns;  // s: the block's columns whose weight is not 0
};

// Reads Q once for its facts and takes the scratch (n words; the optional
// block when it is made).
void startSupportProducts(SupportProducts& products, const double* Q, const double* b, uint32_t n,
                          const SolverSettings& settings);
void finishSupportProducts(SupportProducts& products);

// p_i = (Qx)_i exactly for every i with x_i != 0, and for every i when it
// returns true; the other p_i are left as they were.
bool supportRowProducts(SupportProducts& products, const double* Q, const double* x, double* p);

#endif
