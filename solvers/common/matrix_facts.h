// Facts about Q (or any values) that decide which exact shortcuts a solver
// may take.
#ifndef SIMPLEXQP_MATRIX_FACTS_H
#define SIMPLEXQP_MATRIX_FACTS_H

#include <cstddef>
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

// The largest |v| of count values, or infinity when one is not a number.
double largestMagnitude(const double* values, size_t count);

// Whether all count values are finite.
bool allFinite(const double* values, size_t count);

#endif
