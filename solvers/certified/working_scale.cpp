#include <cmath>
#include <cstdint>
#include <cstring>

#include "certified_parts.h"
#include "../common/problem.h"
#include "../common/vector_loops.h"

namespace {

// 2^-e for the exponent e of a positive finite value, from its bits (no
// library call): 2^-1023 for values from 2^1023 up, and 2^1023, the largest
// power of two, for subnormal values.
double inversePowerOfTwo(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>(bits >> 52 & 0x7FF);
    const int inverse = biased == 0 ? 1023 : 1023 - biased;
    bits = inverse == -1023 ? uint64_t{1} << 51 : static_cast<uint64_t>(inverse + 1023) << 52;
    double power;
    std::memcpy(&power, &bits, sizeof power);
    return power;
}

}  // namespace

double workingScale(const QSource& q, const double* diagonal, const double* b, const double* startColumn,
                    double largestQ, VectorPath path)
{
    double largest = 0.0;
    for (uint32_t k = 0; k < q.n; ++k) {
        const double values[] = {std::fabs(diagonal[k]), std::fabs(b[k]), std::fabs(startColumn[k])};
        for (double v : values)
            largest = v > largest ? v : largest;
    }
    // Only Q's off-diagonal entries outside the start's column are left.
    if (largest == 0.0)
        largest = q.largestEntry(q.context, path);
    // The whole of Q, where known, may hold entries far above those: with
    // its scale instead, every product of an entry and a weight, and every
    // convex sum of them, stays below 2^1024.
    largest = largestQ > largest ? largestQ : largest;
    return largest == 0.0 ? 1.0 : inversePowerOfTwo(largest);
}
