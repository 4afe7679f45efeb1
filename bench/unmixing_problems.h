// Synthetic unmixing problems, shared by lsq_bench and forms_bench: n
// spectra of m bands in C, p mixtures of three of them plus noise in D.
#ifndef SIMPLEXQP_BENCH_UNMIXING_PROBLEMS_H
#define SIMPLEXQP_BENCH_UNMIXING_PROBLEMS_H

#include <cstdint>
#include <vector>

#include "../tests/draw.h"

// Spectra: sums of a few bumps over the bands, each a rational bump (no
// exp needed), so positive and smooth; mixtures of three at random
// weights; noise uniform in [-s, s].
inline void unmixing(uint32_t m, uint32_t n, uint32_t p, double noise, std::vector<double>& C, std::vector<double>& D)
{
    Draw draw{2026};
    C.assign(static_cast<size_t>(m) * n, 0.0);
    for (uint32_t j = 0; j < n; ++j)
        for (int bump = 0; bump < 3; ++bump) {
            const double centre = unit(draw) * m, width = 0.05 * m + unit(draw) * 0.2 * m, height = unit(draw);
            for (uint32_t t = 0; t < m; ++t) {
                const double z = (t - centre) / width;
                C[t + static_cast<size_t>(j) * m] += height / (1.0 + z * z);
            }
        }
    D.assign(static_cast<size_t>(m) * p, 0.0);
    for (uint32_t c = 0; c < p; ++c) {
        uint32_t k[3];
        double w[3], sum = 0.0;
        for (int e = 0; e < 3; ++e) {
            k[e] = static_cast<uint32_t>(unit(draw) * n) % n;
            w[e] = unit(draw) + 0.1;
            sum += w[e];
        }
        for (uint32_t t = 0; t < m; ++t) {
            double v = 0.0;
            for (int e = 0; e < 3; ++e)
                v += w[e] / sum * C[t + static_cast<size_t>(k[e]) * m];
            D[t + static_cast<size_t>(c) * m] = v + noise * (2.0 * unit(draw) - 1.0);
        }
    }
}

#endif
