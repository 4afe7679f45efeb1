// Estimates of every row product (Qx)_i that SMO keeps current in O(n) per
// pair step, each with a rigorous bound on its distance from the exact value
// R_i, the sequential sum that defines (Qx)_i (products.h).
//
// Notation: u = 2^-53, the unit roundoff; T_i = sum_k Q(i,k) x_k in real
// arithmetic; m = max |Q(r,c)|; W an upper bound on sum_k |x_k| for every x
// of the current pass; eta = 2^-1075, the absolute error a product can make
// when it underflows (sums of doubles underflow exactly).
//
// - Exact sums (Higham, Accuracy and Stability, 3.1):
//   |R_i - T_i| <= gamma_n m W + n eta, gamma_n = n u / (1 - n u).
// - After a refresh G_i = R_i, so |G_i - T_i| <= m C with C = gamma_n W
//   (and n eta).
// - A step moves x_a by da and x_p by dp, both computed differences, and
//   G_i <- (G_i + Q(i,a) da) + Q(i,p) dp. With |G_i| <= m W (1 + 2^-20),
//   which holds while C <= 2^-20 W, the new error grows by at most
//   m u (6 (|da| + |dp|) + 3 W) + 6 eta: two rounded products of a rounded
//   difference (2.0001 u each, relative to Q(i,.) times the true move) and two
//   rounded additions (u times values below m W plus the moves).
// - Hence |G_i - R_i| <= m (C + gamma_n W) + (6 moves + 2 n) eta, and the
//   bound below adds 1 % and takes the eta part four times, so that the few
//   roundings made while evaluating the bound cannot make it too small.
//
// The bound needs no overflow anywhere: the data must be finite with m W
// and every |b_i| at most 2^1000. When that fails, or C stops being small,
// the estimate is marked untrusted and SMO evaluates every candidate exactly.
#ifndef SIMPLEXQP_GRADIENT_ESTIMATE_H
#define SIMPLEXQP_GRADIENT_ESTIMATE_H

#include <cstdint>

#include "../common/vector_path.h"

struct GradientEstimate {
    double* rows;          // G_i, for all n rows
    uint32_t n;
    double largestQ;       // m
    bool dataBounded;      // Q and b finite, m and every |b_i| at most 2^1000
    double weightBound;    // W
    double drift;          // C
    double moves;          // steps applied since the last refresh
    bool trusted;          // the bound below holds
};

// Sets G to the exact products at x (summing the count listed columns, see
// termsToSum) and restarts the bound for a pass whose weights start at x.
void refreshEstimate(GradientEstimate& estimate, VectorPath path, const double* Q, const double* x,
                     const uint32_t* columns, uint32_t count);

// Follows a pair step that changed x_a by da and x_p by dp (new minus old
// weight, as computed). a and p may be equal only when both moves are 0.
void moveEstimate(GradientEstimate& estimate, VectorPath path, const double* Q, uint32_t a, double da, uint32_t p,
                  double dp);

// A bound on |G_i - R_i| for every row, valid while trusted.
double estimateBound(const GradientEstimate& estimate);

#endif
