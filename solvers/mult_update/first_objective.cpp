#include "first_objective.h"

#include <cmath>

#include "../common/host_scratch.h"
#include "../common/matrix_facts.h"
#include "../common/problem.h"
#include "../common/products.h"
#include "../common/vector_loops.h"

PreviousObjective firstObjective(double rowObjective, const double* b, const double* x, uint32_t n,
                                 double largestQ, VectorPath path)
{
    constexpr double unitRoundoff = 0x1p-53;
    double W = 0.0;
    for (uint32_t i = 0; i < n; ++i)
        W += std::fabs(x[i]);
    W *= 1.01;  // covers the rounding of the sum above
    // The difference of the two objectives: twice the bound in the header,
    // with (n + 2) u standing for gamma_n + 2u and 25 % to spare for the
    // rounding of this expression.
    const double size = 0.5 * largestQ * W * W + W * largestMagnitudeOf(path, b, n);
    const double underflow = n * (W + 2.0) * 0x1p-1070;
    const double uncertainty = 5.0 * (n + 2.0) * unitRoundoff * size + underflow;
    return PreviousObjective{rowObjective, uncertainty <= largestDouble ? uncertainty : infinity()};
}

bool changedBeyondTolerance(double f, const PreviousObjective& previous, const double* Q, const double* b,
                            uint32_t n, const HostScratch& host)
{
    const double change = std::fabs(f - previous.value);
    if (previous.uncertainty == 0.0)
        return change > objectiveTolerance;
    // The margin adds what the rounding of the two subtractions (this one,
    // and the one with the defined value) can move the answer.
    const double margin = previous.uncertainty + 1e-15;
    if (change > objectiveTolerance + margin)
        return true;
    if (change < objectiveTolerance - margin)
        return false;

    double* start = static_cast<double*>(takeFromHost(host, sizeof(double) * n));
    double* columns = static_cast<double*>(takeFromHost(host, sizeof(double) * n));
    startingPoint(b, n, start);
    columnProducts(Q, start, n, columns);
    const double defined = objective(b, start, columns, n);
    mxFree(columns);
    mxFree(start);
    return std::fabs(f - defined) > objectiveTolerance;
}
