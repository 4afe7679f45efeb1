#include <cmath>

#include "certified_parts.h"
#include "../common/matrix_facts.h"
#include "../common/problem.h"

double workingScale(const double* Q, const double* diagonal, const double* b, uint32_t n, uint32_t start)
{
    double largest = 0.0;
    for (uint32_t k = 0; k < n; ++k) {
        const double values[] = {std::fabs(diagonal[k]), std::fabs(b[k]), std::fabs(Q[at(k, start, n)])};
        for (double v : values)
            largest = v > largest ? v : largest;
    }
    // Only Q's off-diagonal entries outside the start's column are left.
    if (largest == 0.0)
        largest = largestMagnitude(Q, static_cast<size_t>(n) * n);
    if (largest == 0.0)
        return 1.0;
    const int exponent = std::ilogb(largest);
    return std::ldexp(1.0, exponent < -1023 ? 1023 : -exponent);
}
