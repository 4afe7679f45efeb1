// Exact products of Q with the weights, faster than one row at a time.
//
// (Qx)_i is defined as the sum of Q(i, k) * x_k over k = 0, 1, ..., n-1 in
// that order, starting from +0.0. Every procedure here gives that value to
// the last bit, by two facts of IEEE round-to-nearest arithmetic:
//
// - Skipping zero weights. If Q(i, k) is finite and x_k is +0 or -0, the
//   product is a zero of some sign. A partial sum that starts at +0.0 is
//   never -0.0 (a sum is -0.0 only when both addends are), and adding a zero
//   of either sign to a value that is not -0.0 returns that value. So the
//   terms of zero weights can be left out when Q is finite; with an infinite
//   or NaN entry, 0 * inf would be NaN and every term must be summed.
// - Independent sums. Each row's sum is still taken term by term in
//   ascending k; only different rows' sums are interleaved, which lets the
//   compiler vectorise across rows without reassociating anything.
#ifndef SIMPLEXQP_PRODUCTS_H
#define SIMPLEXQP_PRODUCTS_H

#include <cstdint>

// Writes the ascending list of the k whose terms a product must sum: those
// with x_k != 0 when Q is finite, all of 0 ... n-1 otherwise. Returns its
// length.
uint32_t termsToSum(const double* x, uint32_t n, bool finiteQ, uint32_t* columns);

// The products of every row at once, p_i = (Qx)_i over such a list, are
// rowProductsOver in vector_loops.h: one copy per vector path.

// (Qx)_i for one row, over the same kind of list. With symmetric set (see
// exactlySymmetric) it reads column i, in memory order, instead of row i.
double rowProductOver(const double* Q, const double* x, uint32_t n, uint32_t i, const uint32_t* columns,
                      uint32_t count, bool symmetric);

// out[j] = (Qx)_i for each i = rows[j], j < rowCount: rowProductOver two
// rows at a time, whose independent sums overlap their additions.
void someRowProducts(const double* Q, const double* x, uint32_t n, const uint32_t* rows, uint32_t rowCount,
                     const uint32_t* columns, uint32_t count, bool symmetric, double* out);

// p_i = (Q'x)_i = sum of Q(k, i) * x_k over ascending k, for every i: the
// columns' products, several columns at a time.
void columnProducts(const double* Q, const double* x, uint32_t n, double* p);

#endif
