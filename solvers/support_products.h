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
// columns, Q read in memory order. Once it has shrunk to a quarter of n (and
// the rows may be skipped), its block of Q is copied into a packed s-by-s
// array (8 s^2 bytes, at most a sixteenth of Q's size, and 24 s bytes
// beside it), compacted in place whenever the support has shrunk to three
// quarters of the block, so that the products read only the block,
// contiguously. The block is optional scratch (solver_settings.h): where it
// cannot be had, the products go on over Q as before, with the same bits.
#ifndef SIMPLEXQP_SUPPORT_PRODUCTS_H
#define SIMPLEXQP_SUPPORT_PRODUCTS_H

#include <cstddef>
#include <cstdint>

#include "solver_settings.h"

struct SupportProducts {
    uint32_t n;
    VectorPath path;
    OptionalScratch optional;
    bool packingRefused;  // the optional scratch was refused: no block in this run
    size_t packedBytes;   // optional scratch held (the most ever held, since it only shrinks in use)
    bool finiteQ;
    bool finiteB;
    double largestQ;    // m
    uint32_t* columns;  // n: the columns summed
    // The packed block: block[r + c * packedCount] = Q(packed[r], packed[c]).
    // With the block, s = its size when made, in one optional block:
    double* block;      // s * s; null until the support first fits
    uint32_t packedCount;
    uint32_t* packed;   // s: ascending indices of the block's rows and columns
    double* packedX;    // s: x at the block's indices
    double* packedSums; // s: the block's row products
    uint32_t* packedColumns;  // s: block columns whose weight is not 0
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
