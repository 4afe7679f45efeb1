// Facts about Q that decide which exact shortcuts a solver may take, found in
// one read of Q before any iteration.
#ifndef SIMPLEXQP_MATRIX_FACTS_H
#define SIMPLEXQP_MATRIX_FACTS_H

#include <cstdint>

struct MatrixFacts {
    bool finite;     // no infinity or NaN anywhere
    double largest;  // max |Q(r, c)| over the numbers of Q
    // Q(r, c) and Q(c, r) have the same bits for every pair. Then a product
    // with row i may read column i instead: the two hold the same values in
    // the same order.
    bool symmetric;
};

MatrixFacts examineMatrix(const double* Q, uint32_t n);

#endif
