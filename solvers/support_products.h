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
// rows may be skipped), its block of Q is copied into a packed s-by-s array
// (at most a quarter of Q), compacted in place whenever the support has
// shrunk to three quarters of the block, so that the products read only
// the block, contiguously.
#ifndef SIMPLEXQP_SUPPORT_PRODUCTS_H
#define SIMPLEXQP_SUPPORT_PRODUCTS_H

#include <cstdint>

struct SupportProducts {
    uint32_t n;
    bool finiteQ;
    bool finiteB;
    double largestQ;    // m
    uint32_t* columns;  // n: the columns summed
    // The packed block: block[r + c * packedCount] = Q(packed[r], packed[c]).
    double* block;      // null until the support first fits
    uint32_t packedCount;
    uint32_t* packed;   // n: ascending indices of the block's rows and columns
    double* packedX;    // n: x at the block's indices
    double* packedSums; // n: the block's row products
    uint32_t* packedColumns;  // n: block columns whose weight is not 0
};

// Reads Q once for its facts and takes the scratch (4 n words and 2 n
// doubles; the block when it is made).
void startSupportProducts(SupportProducts& products, const double* Q, const double* b, uint32_t n);
void finishSupportProducts(SupportProducts& products);

// p_i = (Qx)_i exactly for every i with x_i != 0, and for every i when it
// returns true; the other p_i are left as they were.
bool supportRowProducts(SupportProducts& products, const double* Q, const double* x, double* p);

#endif
