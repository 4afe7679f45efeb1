#include "matrix_facts.h"

#include <cmath>
#include <cstring>

#include "problem.h"
#include "vector_loops.h"

namespace {

uint64_t bitsOf(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct Largest {
    double magnitude;  // the largest |value| of the numbers seen
    bool finite;       // no infinity or NaN seen
};

// Takes a value, or the largest magnitude of several (infinite when one is
// not a number), into the running largest.
void include(Largest& largest, double value)
{
    const double magnitude = std::fabs(value);
    largest.finite &= magnitude <= largestDouble;
    largest.magnitude = magnitude > largest.magnitude ? magnitude : largest.magnitude;
}

// Tiles below the diagonal against their mirror images above it, so that
// both come from cache rather than one of them with a stride of n doubles
// (128 by 128: large enough that the mirror's columns, 128 of them, are
// each read for 1 KB at a time). The same sweep reads every entry once, so
// it also finds the largest magnitude. False at the first difference, with
// the largest left unfinished.
bool exactlySymmetric(VectorPath path, const double* Q, uint32_t n, Largest& largest)
{
    constexpr uint32_t tile = 128;
    for (uint32_t c = 0; c < n; ++c)
        include(largest, Q[at(c, c, n)]);
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
            // The tile below the diagonal, now in cache, column by column;
            // its mirror has the same bits.
            for (uint32_t c = c0; c < c1; ++c) {
                const uint32_t first = r0 > c ? r0 : c + 1;
                if (first < r1)
                    include(largest, largestMagnitudeOf(path, Q + at(first, c, n), r1 - first));
            }
        }
    }
    return true;
}

}  // namespace

bool allFinite(VectorPath path, const double* values, size_t count)
{
    return largestMagnitudeOf(path, values, count) <= largestDouble;
}

MatrixFacts examineMatrix(VectorPath path, const double* Q, uint32_t n)
{
    Largest largest{0.0, true};
    if (exactlySymmetric(path, Q, n, largest))
        return MatrixFacts{largest.finite, largest.finite ? largest.magnitude : infinity(), true};
    const double magnitude = largestMagnitudeOf(path, Q, static_cast<size_t>(n) * n);
    return MatrixFacts{magnitude <= largestDouble, magnitude, false};
}
