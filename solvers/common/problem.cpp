#include "problem.h"

double objective(const double* b, const double* x, const double* p, uint32_t n)
{
    double f = 0.0;
    for (uint32_t i = 0; i < n; ++i)
        f += (x[i] * 0.5) * p[i] - x[i] * b[i];  // 0.5 multiplies the weight first
    return f;
}

double objectiveOverSupport(const double* b, const double* x, const double* p, uint32_t n)
{
    double f = 0.0;
    for (uint32_t i = 0; i < n; ++i)
        if (x[i] != 0.0)
            f += (x[i] * 0.5) * p[i] - x[i] * b[i];
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
