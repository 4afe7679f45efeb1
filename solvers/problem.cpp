#include "problem.h"

double rowProduct(const double* Q, const double* x, uint32_t n, uint32_t i)
{
    double sum = 0.0;
    for (uint32_t k = 0; k < n; ++k)
        sum += Q[at(i, k, n)] * x[k];
    return sum;
}

double columnProduct(const double* Q, const double* x, uint32_t n, uint32_t i)
{
    const double* column = Q + at(0, i, n);
    double sum = 0.0;
    for (uint32_t k = 0; k < n; ++k)
        sum += column[k] * x[k];
    return sum;
}

static double objectiveTerm(double x, double product, double b)
{
    // 0.5 multiplies the weight first; the grouping is part of the result.
    return (x * 0.5) * product - x * b;
}

double objectiveByRows(const double* Q, const double* b, const double* x, uint32_t n)
{
    double f = 0.0;
    for (uint32_t i = 0; i < n; ++i)
        f += objectiveTerm(x[i], rowProduct(Q, x, n, i), b[i]);
    return f;
}

double objectiveByColumns(const double* Q, const double* b, const double* x, uint32_t n)
{
    double f = 0.0;
    for (uint32_t i = 0; i < n; ++i)
        f += objectiveTerm(x[i], columnProduct(Q, x, n, i), b[i]);
    return f;
}

void startingPoint(const double* b, uint32_t n, double* x)
{
    double sum = 0.0;
    for (uint32_t i = 0; i < n; ++i)
        sum += b[i];
    for (uint32_t i = 0; i < n; ++i)
        x[i] = b[i] / sum;
}
