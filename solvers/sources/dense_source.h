// Q stored: the column-major n-by-n matrix the host gives. Its products
// are the exact check's of today, (Qx)_i summed over ascending k from +0.0
// (common/products.h), with the same loops and so the same bits.
#ifndef SIMPLEXQP_DENSE_SOURCE_H
#define SIMPLEXQP_DENSE_SOURCE_H

#include <cstdint>

#include "q_source.h"

struct DenseMatrix {
    const double* Q;  // n * n, column-major
    uint32_t n;
};

// A source reading matrix, which must outlive it. symmetric is what the
// caller knows of Q (common/matrix_facts.h finds it).
QSource denseSource(const DenseMatrix& matrix, bool symmetric);

#endif
