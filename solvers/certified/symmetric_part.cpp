// Q's symmetric part, which alone makes f: f(x) = ½ xᵀ ((Q + Qᵀ)/2) x - bᵀx.
#include <cmath>
#include <cstdint>

#include "certified_parts.h"
#include "../common/problem.h"

double largestAsymmetryAt(const double* Q, uint32_t n, uint32_t k)
{
    const double* const column = Q + at(0, k, n);
    double largest = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        const double d = std::fabs(column[i] - Q[at(k, i, n)]);
        largest = d > largest ? d : largest;
    }
    return largest;
}

// In tiles, so that the rows read for one tile's columns stay in cache.
// 0.5 a + 0.5 b rather than (a + b) / 2, which overflows where a and b
// are near the largest double; and it is the same number as 0.5 b + 0.5 a,
// so S is exactly symmetric.
void symmetricPart(const double* Q, uint32_t n, double* S)
{
    constexpr uint32_t tile = 32;
    for (uint32_t c0 = 0; c0 < n; c0 += tile)
        for (uint32_t r0 = 0; r0 < n; r0 += tile) {
            const uint32_t cEnd = c0 + tile < n ? c0 + tile : n;
            const uint32_t rEnd = r0 + tile < n ? r0 + tile : n;
            for (uint32_t c = c0; c < cEnd; ++c)
                for (uint32_t r = r0; r < rEnd; ++r)
                    S[at(r, c, n)] = 0.5 * Q[at(r, c, n)] + 0.5 * Q[at(c, r, n)];
        }
}
