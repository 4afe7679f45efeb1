// multUpdate's first objective, without its column products when they
// cannot change anything.
//
// The first objective is defined with column products (Q'x)_i, and only the
// first tolerance test reads it. In real arithmetic x'Q'x = x'Qx, so the
// objective from the row products, which the first ratios need anyway,
// differs from it by rounding alone: each is within
// (2 gamma_n + 4u) (m W^2 / 2 + W max |b_i|) of the real value, where
// W = sum |x_i| and m = max |Q(r,c)| (the error bounds of a sum and a dot
// product, Higham, Accuracy and Stability 3.1, and the terms' few
// roundings), plus at most n (W + 2) 2^-1075 from products that underflow.
// Where every value within that distance gives the test the same answer,
// that answer is taken; otherwise the column products are summed, as
// defined.
#ifndef SIMPLEXQP_FIRST_OBJECTIVE_H
#define SIMPLEXQP_FIRST_OBJECTIVE_H

#include <cstdint>

#include "../common/host_scratch.h"
#include "../common/vector_path.h"

struct PreviousObjective {
    double value;
    double uncertainty;  // bound on |value - the defined objective|; 0: exact
};

// The objective from row products at the starting point x, with its
// uncertainty (infinite when Q or b is not finite). largestQ is
// max |Q(r,c)|, infinite when Q is not finite; b is read on path.
PreviousObjective firstObjective(double rowObjective, const double* b, const double* x, uint32_t n,
                                 double largestQ, VectorPath path);

// |f - previous| > tolerance, as the defined previous objective gives it.
// When the uncertainty leaves the answer open, the starting point and its
// column products are computed again (in scratch of their own, from host).
bool changedBeyondTolerance(double f, const PreviousObjective& previous, const double* Q, const double* b,
                            uint32_t n, const HostScratch& host);

#endif
