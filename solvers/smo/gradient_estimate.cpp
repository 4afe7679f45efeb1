#include "gradient_estimate.h"

#include <cmath>

#include "../common/problem.h"
#include "../common/vector_loops.h"

namespace {

constexpr double unitRoundoff = 0x1p-53;
constexpr double smallestSubnormal = 0x1p-1074;  // 2 eta
constexpr double largestSafe = 0x1p1000;

// gamma_n with room to spare; n u stays below 1e-11 for any n that fits.
double gamma(uint32_t n)
{
    return 1.01 * n * unitRoundoff;
}

}  // namespace

void refreshEstimate(GradientEstimate& estimate, VectorPath path, const double* Q, const double* x,
                     const uint32_t* columns, uint32_t count)
{
    const uint32_t n = estimate.n;
    rowProductsOver(path, Q, x, n, columns, count, estimate.rows);

    // The pair steps of a pass keep both weights non-negative and their sum
    // within a factor (1 + u)^2 (the only weights that move are at least
    // 1e-6 when the pass starts), so sum |x_k| grows by less than
    // 1 + 2.01 n u over the at most n steps of a pass; the rounding of the
    // sum below is below gamma_n. 2 % more covers both.
    double norm = 0.0;
    for (uint32_t k = 0; k < n; ++k)
        norm += std::fabs(x[k]);
    estimate.weightBound = 1.02 * norm;
    estimate.drift = gamma(n) * estimate.weightBound;
    estimate.moves = 0.0;
    estimate.trusted = estimate.dataBounded && estimate.largestQ * estimate.weightBound <= largestSafe;
}

void moveEstimate(GradientEstimate& estimate, VectorPath path, const double* Q, uint32_t a, double da, uint32_t p,
                  double dp)
{
    if (!estimate.trusted)
        return;  // Nobody reads the estimate until the next refresh.
    const double W = estimate.weightBound;
    estimate.drift += unitRoundoff * (6.0 * (std::fabs(da) + std::fabs(dp)) + 3.0 * W);
    estimate.moves += 1.0;
    // The growth argument assumes the error stays far below m W.
    if (!(estimate.drift <= 0x1p-20 * W)) {
        estimate.trusted = false;
        return;
    }
    const uint32_t n = estimate.n;
    followPairStep(path, estimate.rows, Q + at(0, a, n), da, Q + at(0, p, n), dp, n);
}

double estimateBound(const GradientEstimate& estimate)
{
    const double relative = 1.01 * estimate.largestQ * (estimate.drift + gamma(estimate.n) * estimate.weightBound);
    return relative + (12.0 * estimate.moves + 4.0 * estimate.n + 16.0) * smallestSubnormal;
}
