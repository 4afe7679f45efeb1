#include "answer_metrics.h"

#include <cmath>
#include <limits>
#include <vector>

AnswerMetrics measureAnswer(const double* Q, const double* b, uint32_t n, const double* x, const double* upper)
{
    const long double notANumber = std::numeric_limits<long double>::quiet_NaN();
    AnswerMetrics m{true, 0.0, 0.0, notANumber, notANumber, notANumber, 0, 0};
    long double sum = 0.0L, clippedSum = 0.0L;
    for (uint32_t i = 0; i < n; ++i) {
        m.finite = m.finite && std::isfinite(x[i]);
        m.mostNegative = x[i] < m.mostNegative ? x[i] : m.mostNegative;
        sum += x[i];
        clippedSum += x[i] > 0.0 ? x[i] : 0.0;
    }
    m.sumError = static_cast<double>(sum - 1.0L);
    if (!m.finite || !(clippedSum > 0.0L))
        return m;

    std::vector<long double> y(n), g(n, 0.0L);
    long double largest = 0.0L;
    for (uint32_t i = 0; i < n; ++i) {
        y[i] = x[i] > 0.0 ? x[i] / clippedSum : 0.0L;
        if (upper)
            y[i] = x[i] > 0.0 ? (x[i] < upper[i] ? x[i] : upper[i]) : 0.0L;
        largest = y[i] > largest ? y[i] : largest;
    }
    // Column by column, so that Q is read in memory order.
    for (uint32_t c = 0; c < n; ++c) {
        if (y[c] == 0.0L)
            continue;
        const double* column = Q + static_cast<size_t>(c) * n;
        for (uint32_t r = 0; r < n; ++r)
            g[r] += column[r] * y[c];
    }
    long double objective = 0.0L, yg = 0.0L, lowest = INFINITY, highestActive = -INFINITY;
    for (uint32_t i = 0; i < n; ++i) {
        objective += y[i] * (0.5L * g[i] - b[i]);
        g[i] -= b[i];
        yg += y[i] * g[i];
        // A peer's weight a rounding below its bound is at it (LIBSVM's
        // α = 1 divided by their sum, an interior point's never exactly there).
        if (!upper || y[i] < upper[i] * (1 - boundRounding))
            lowest = g[i] < lowest ? g[i] : lowest;
        if (y[i] > 0.0L) {
            highestActive = g[i] > highestActive ? g[i] : highestActive;
            ++m.positive;
            m.significant += y[i] > 1e-8L * largest;
        }
    }
    m.objective = objective;
    m.kktGap = highestActive - lowest;
    m.frankWolfeGap = yg - lowest;
    return m;
}

bool onSimplex(const AnswerMetrics& m)
{
    return m.finite && m.mostNegative >= -simplexTolerance && std::fabs(m.sumError) <= simplexTolerance;
}
