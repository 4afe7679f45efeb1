// Facts about Q (or any values) that decide which exact shortcuts a solver
// may take.
#ifndef SIMPLEXQP_MATRIX_FACTS_H
#define SIMPLEXQP_MATRIX_FACTS_H

#include <cstddef>
#include <cstdint>

#include "vector_path.h"

struct MatrixFacts {
    bool finite;     // no infinity or NaN anywhere
    double largest;  // max |Q(r, c)| over the numbers of Q
    // Q(r, c) and Q(c, r) have the same bits for every pair. Then a product
    // with row i may read column i instead: the two hold the same values in
    // the same order.
    bool symmetric;
};

// Each pass over Q takes path, which the caller was handed: memory-bound
// for a whole Q, where the widest path streams it fastest.
MatrixFacts examineMatrix(VectorPath path, const double* Q, uint32_t n);

// Whether all count values are finite.
bool allFinite(VectorPath path, const double* values, size_t count);

#endif
