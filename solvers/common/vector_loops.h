// The loops that read Q or sweep all n coordinates for every step, compiled
// once for each vector path (vector_path.h) and chosen by the caller's
// path. Every path gives the same results to the last bit.
#ifndef SIMPLEXQP_VECTOR_LOOPS_H
#define SIMPLEXQP_VECTOR_LOOPS_H

#include <cstddef>
#include <cstdint>

#include "vector_path.h"

// p_i = (Qx)_i for every row i, summing the terms of the count columns
// listed in ascending order (products.h): Q read column by column, each
// row's sum still term by term in ascending k.
void rowProductsOver(VectorPath path, const double* Q, const double* x, uint32_t n, const uint32_t* columns,
                     uint32_t count, double* p);

// The same, adding to the sums already in p instead of starting from +0.0:
// the terms of further columns, after (in k) those p holds.
void addRowProducts(VectorPath path, const double* Q, const double* x, uint32_t n, const uint32_t* columns,
                    uint32_t count, double* p);

// sums[r] += Q(rows[r], k) * x_k for every r < rowCount, over the count
// columns k listed in ascending order: the products of a few rows, each
// column read only at those rows.
void addGatheredRowProducts(VectorPath path, const double* Q, uint32_t n, const uint32_t* rows, uint32_t rowCount,
                            const uint32_t* columns, uint32_t count, const double* x, double* sums);

// G_i <- (G_i + Q(i,a) da) + Q(i,p) dp for every row i, given Q's columns of
// a and p: SMO's estimates following a pair step.
void followPairStep(VectorPath path, double* G, const double* columnA, double da, const double* columnP, double dp,
                    uint32_t n);

// What the retirement after an SMO pair step needs to know about the step.
struct RetiringStep {
    double oldMaximum;     // the pivot's weight before the step
    uint32_t partner;
    double partnerWeight;  // x[partner] after the step
};

struct PivotChoice {
    bool anyActive;   // some coordinate is still active: the pass goes on
    bool found;       // some active weight is above noMaximum
    uint32_t pivot;   // the active coordinate of largest weight, lowest index among equals
    double maximum;   // its weight
};

// After an SMO step: retires every coordinate whose weight equals the old
// maximum or the partner's new weight (the partner itself excepted), and
// finds the next step's pivot among those left active, in one sweep.
PivotChoice retireAndFindPivot(VectorPath path, const double* x, unsigned char* active, uint32_t n,
                               const RetiringStep& step);

// The first sweep of SMO's partner search over the estimates: magnitude
// m_i = |(G_i - b_i) - pivotGradient| for candidates (x_i > 1e-6), -inf for
// the others, and their largest (from 0.0; a NaN is never the largest).
// Lists, ascending, a superset of the i with !(m_i + slack < largest -
// slack): those that pass the test against the largest seen so far in
// their lane, which is never above the final one. Writes their m_i beside
// them; returns how many.
uint32_t screenCandidates(VectorPath path, const double* G, const double* b, const double* x, uint32_t n,
                          double pivotGradient, double slack, uint32_t* listed, double* magnitudes,
                          double& largest);

// sa[r] = sum over k < length of T[8k + r] a[k], sb[r] the same with b,
// for r < 8, each sum from +0.0 in ascending k: eight rows' dot products
// with two lines at once, the rows stored interleaved (T[8k + r] is row r's
// k-th entry). The support factor's rows (certified/support_factor.cpp).
void interleavedDots(VectorPath path, const double* T, const double* a, const double* b, uint32_t length, double* sa,
                     double* sb);

// sa[r] = sum over k < length of T[8k + r] a[k] for r < 8, from +0.0 in
// ascending k: interleavedDots with one line.
void interleavedDot(VectorPath path, const double* T, const double* a, uint32_t length, double* sa);
// For each row t < m, over the count columns k listed, in ascending k from
// +0.0: r[t] = sum of C(t, k) x_k, and magnitude[t] = sum of |C(t, k)| x_k
// plus |r[t]|'s partial sums, added in that order at each k. A residual's
// sums and its rounding bound's (least_squares/lsq_sources.cpp); C is
// m-by-n, column-major.
void columnSumsWithMagnitudes(VectorPath path, const double* C, uint32_t m, const double* x, const uint32_t* columns,
                              uint32_t count, double* r, double* magnitude);
// For r < 8, each sum from +0.0 in ascending t < length: h[r] = sum of
// T[8t + r] rho[t], W[r] = sum of |T[8t + r]| w[t], H[r] = sum of |h[r]|'s
// partial sums after each term. Eight columns of a matrix stored
// interleaved, times a residual, with the sums their rounding bound needs
// (least_squares/lsq_sources.cpp).
void interleavedResidualProducts(VectorPath path, const double* T, const double* rho, const double* w,
                                 uint32_t length, double* h, double* W, double* H);
// The largest |v_k| of count values, or infinity when one of them is not a
// finite number: the one pass over Q that both the argument checks (is it
// finite?) and the default tolerance (its scale) need.
double largestMagnitudeOf(VectorPath path, const double* values, size_t count);

#endif
