#include "products.h"

#include "problem.h"

uint32_t termsToSum(const double* x, uint32_t n, bool finiteQ, uint32_t* columns)
{
    uint32_t count = 0;
    for (uint32_t k = 0; k < n; ++k) {
        columns[count] = k;
        count += !finiteQ || x[k] != 0.0;
    }
    return count;
}

double rowProductOver(const double* Q, const double* x, uint32_t n, uint32_t i, const uint32_t* columns,
                      uint32_t count, bool symmetric)
{
    double sum = 0.0;
    if (symmetric) {
        const double* row = Q + at(0, i, n);
        for (uint32_t j = 0; j < count; ++j)
            sum += row[columns[j]] * x[columns[j]];
    } else {
        for (uint32_t j = 0; j < count; ++j)
            sum += Q[at(i, columns[j], n)] * x[columns[j]];
    }
    return sum;
}

void someRowProducts(const double* Q, const double* x, uint32_t n, const uint32_t* rows, uint32_t rowCount,
                     const uint32_t* columns, uint32_t count, bool symmetric, double* out)
{
    uint32_t j = 0;
    for (; j + 2 <= rowCount; j += 2) {
        double sum0 = 0.0, sum1 = 0.0;
        if (symmetric) {
            const double* row0 = Q + at(0, rows[j], n);
            const double* row1 = Q + at(0, rows[j + 1], n);
            for (uint32_t t = 0; t < count; ++t) {
                const uint32_t k = columns[t];
                sum0 += row0[k] * x[k];
                sum1 += row1[k] * x[k];
            }
        } else {
            for (uint32_t t = 0; t < count; ++t) {
                const uint32_t k = columns[t];
                sum0 += Q[at(rows[j], k, n)] * x[k];
                sum1 += Q[at(rows[j + 1], k, n)] * x[k];
            }
        }
        out[j] = sum0;
        out[j + 1] = sum1;
    }
    if (j < rowCount)
        out[j] = rowProductOver(Q, x, n, rows[j], columns, count, symmetric);
}

void columnProducts(const double* Q, const double* x, uint32_t n, double* p)
{
    // Four columns at a time: four independent running sums, each over
    // ascending k, so that the additions overlap instead of waiting for one
    // another.
    uint32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const double* c0 = Q + at(0, i, n);
        const double* c1 = Q + at(0, i + 1, n);
        const double* c2 = Q + at(0, i + 2, n);
        const double* c3 = Q + at(0, i + 3, n);
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (uint32_t k = 0; k < n; ++k) {
            s0 += c0[k] * x[k];
            s1 += c1[k] * x[k];
            s2 += c2[k] * x[k];
            s3 += c3[k] * x[k];
        }
        p[i] = s0;
        p[i + 1] = s1;
        p[i + 2] = s2;
        p[i + 3] = s3;
    }
    for (; i < n; ++i) {
        const double* c0 = Q + at(0, i, n);
        double s0 = 0.0;
        for (uint32_t k = 0; k < n; ++k)
            s0 += c0[k] * x[k];
        p[i] = s0;
    }
}
