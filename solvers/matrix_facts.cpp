#include "matrix_facts.h"

#include <cmath>
#include <cstring>

#include "problem.h"

namespace {

uint64_t bitsOf(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Tiles below the diagonal against their mirror images above it, so that
// both come from cache rather than one of them with a stride of n doubles.
bool exactlySymmetric(const double* Q, uint32_t n)
{
    constexpr uint32_t tile = 32;
    for (uint32_t c0 = 0; c0 < n; c0 += tile) {
        const uint32_t c1 = n - c0 < tile ? n : c0 + tile;
        for (uint32_t r0 = c0; r0 < n; r0 += tile) {
            const uint32_t r1 = n - r0 < tile ? n : r0 + tile;
            uint64_t differences = 0;
            for (uint32_t c = c0; c < c1; ++c)
                for (uint32_t r = r0 > c ? r0 : c + 1; r < r1; ++r)
                    differences |= bitsOf(Q[at(r, c, n)]) ^ bitsOf(Q[at(c, r, n)]);
            if (differences != 0)
                return false;
        }
    }
    return true;
}

}  // namespace

double largestMagnitude(const double* values, size_t count)
{
    // Two running maxima, so that the comparisons need not wait for one
    // another. A NaN fails every comparison: it never becomes the largest,
    // and the finiteness test catches it.
    double largest0 = 0.0, largest1 = 0.0;
    bool finite0 = true, finite1 = true;
    size_t k = 0;
    for (; k + 2 <= count; k += 2) {
        const double magnitude0 = std::fabs(values[k]);
        const double magnitude1 = std::fabs(values[k + 1]);
        finite0 &= magnitude0 <= largestDouble;
        finite1 &= magnitude1 <= largestDouble;
        largest0 = magnitude0 > largest0 ? magnitude0 : largest0;
        largest1 = magnitude1 > largest1 ? magnitude1 : largest1;
    }
    if (k < count) {
        const double magnitude0 = std::fabs(values[k]);
        finite0 &= magnitude0 <= largestDouble;
        largest0 = magnitude0 > largest0 ? magnitude0 : largest0;
    }
    if (!finite0 || !finite1)
        return infinity();
    return largest1 > largest0 ? largest1 : largest0;
}

bool allFinite(const double* values, size_t count)
{
    return largestMagnitude(values, count) <= largestDouble;
}

MatrixFacts examineMatrix(const double* Q, uint32_t n)
{
    const double largest = largestMagnitude(Q, static_cast<size_t>(n) * n);
    return MatrixFacts{largest <= largestDouble, largest, exactlySymmetric(Q, n)};
}
