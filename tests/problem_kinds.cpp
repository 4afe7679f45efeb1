#include "problem_kinds.h"

#include <cmath>
#include <string>

#include "draw.h"

namespace {

double& at(CorpusProblem& p, uint32_t r, uint32_t c)
{
    return p.Q[r + static_cast<size_t>(c) * p.n];
}

CorpusProblem named(CorpusProblem p, const char* kind, uint64_t seed)
{
    p.name = std::string(kind) + " n=" + std::to_string(p.n) + " seed=" + std::to_string(seed);
    return p;
}

CorpusProblem kernel(uint32_t n, uint64_t seed)
{
    return gaussianKernelProblem(n, seed);
}

CorpusProblem lowRank(uint32_t n, uint64_t seed)
{
    return psdProblem(n, 1 + static_cast<uint32_t>(seed % (n / 3 + 1)), seed);
}

CorpusProblem fullRank(uint32_t n, uint64_t seed)
{
    return psdProblem(n, n + 2, seed);
}

// D Q D with D a diagonal of powers of two from 2^-20 to 2^20: exactly
// symmetric still, but rows of very different sizes, so that one bound for
// all rows is loose for most of them.
CorpusProblem wideScales(uint32_t n, uint64_t seed)
{
    CorpusProblem p = psdProblem(n, n / 2 + 1, seed);
    Draw draw{seed};
    std::vector<double> d(n);
    for (double& v : d)
        v = std::ldexp(1.0, static_cast<int>(unit(draw) * 41) - 20);
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r < n; ++r)
            at(p, r, c) = (d[r] * at(p, r, c)) * d[c];
    for (uint32_t i = 0; i < n; ++i)
        p.b[i] *= d[i];
    return named(p, "wide-scales", seed);
}

// A kernel whose upper triangle is nudged by one part in 2^50: not exactly
// symmetric, so rows must be read as rows.
CorpusProblem nudged(uint32_t n, uint64_t seed)
{
    CorpusProblem p = gaussianKernelProblem(n, seed);
    for (uint32_t c = 1; c < n; ++c)
        for (uint32_t r = 0; r < c; ++r)
            at(p, r, c) *= 1 + 0x1p-50;
    return named(p, "unsymmetric", seed);
}

// Symmetric with entries of both signs: indefinite along many pairs.
CorpusProblem indefinite(uint32_t n, uint64_t seed)
{
    CorpusProblem p = gaussianKernelProblem(n, seed);
    Draw draw{seed};
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = c; r < n; ++r)
            at(p, r, c) = at(p, c, r) = unit(draw) * 2 - 1 + (r == c ? 0.5 : 0.0);
    return named(p, "indefinite", seed);
}

// Entries and b from a few coarse values: many exactly equal gradients.
CorpusProblem coarse(uint32_t n, uint64_t seed)
{
    CorpusProblem p = gaussianKernelProblem(n, seed);
    Draw draw{seed};
    const double levels[] = {0.0, 0.25, 0.5, 1.0};
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = c; r < n; ++r)
            at(p, r, c) = at(p, c, r) = r == c ? 2.0 : levels[static_cast<int>(unit(draw) * 4)];
    for (uint32_t i = 0; i < n; ++i)
        p.b[i] = unit(draw) < 0.5 ? 1.0 : 2.0;
    return named(p, "coarse", seed);
}

// Some b exactly 0: weights that start at 0, so that zero weights are
// skipped from the start and pivots of weight 0 can gain weight.
CorpusProblem zeroWeights(uint32_t n, uint64_t seed)
{
    CorpusProblem p = gaussianKernelProblem(n, seed);
    Draw draw{seed};
    for (uint32_t i = 1; i < n; ++i)
        if (unit(draw) < 0.4)
            p.b[i] = 0.0;
    return named(p, "zero-weights", seed);
}

// Finite, but Q or b beyond 2^1000, where the error bounds are not trusted
// and every candidate is summed exactly.
CorpusProblem huge(uint32_t n, uint64_t seed)
{
    CorpusProblem p = gaussianKernelProblem(n, seed);
    const double scale = seed % 2 ? 0x1p1005 : 1.0;
    for (double& q : p.Q)
        q *= scale;
    if (seed % 2 == 0)
        for (double& v : p.b)
            v *= 0x1p1002;
    return named(p, "huge", seed);
}

const ProblemKind kinds[] = {
    {"kernel", kernel},
    {"psd-low-rank", lowRank},
    {"psd-full-rank", fullRank},
    {"ties", tiedProblem},
    {"diagonal", diagonalProblem},
    {"signed-b", signedProblem},
    {"wide-scales", wideScales},
    {"unsymmetric", nudged},
    {"indefinite", indefinite},
    {"coarse", coarse},
    {"zero-weights", zeroWeights},
    {"huge", huge},
};

}  // namespace

const ProblemKind* problemKinds(uint32_t& count)
{
    count = sizeof kinds / sizeof kinds[0];
    return kinds;
}
