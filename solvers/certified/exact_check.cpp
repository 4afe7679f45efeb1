// The exact check of certifiedSMO's answer, and the rounding bound that
// makes its gap an upper bound on the true KKT violation.
//
// The gradients are g_i = fl((Qx)_i - b_i), with (Qx)_i summed as it is
// defined: over ascending k from +0.0, the terms of zero weights left out
// (exact zeros, since Q is finite; see products.h). For the c terms of
// positive weight, the classical bound of a sum of products gives
//     |fl((Qx)_i) - (Qx)_i| <= gamma_c A_i,  gamma_c = c u / (1 - c u),
// with A_i = sum |Q(i,k)| x_k and u = 2^-53, plus at most 2^-1074 per
// operation for products and sums that underflow. A_i is summed alongside;
// its computed value understates it by at most the factor 1 - gamma_c, so
//     e_i = (c + 2) 2^-52 A~_i + 2^-52 |g~_i| + (2c + 2) 2^-1074
// bounds the error of g~_i, the subtraction of b_i included, with room for
// the roundings of e_i itself (c <= 65536, so c u <= 2^-37).
//
// The true violation max over x_i > 0 of g_i, minus min over all j of g_j,
// is then at most hi - lo with hi = max (g~_i + e_i) and lo = min
// (g~_j - e_j); computing hi, lo and their difference rounds each by at most
// u of its size, which 2^-50 (|hi| + |lo|) covers.
#include <cmath>

#include "certified_parts.h"
#include "certified_smo.h"
#include "../common/matrix_facts.h"
#include "../common/problem.h"
#include "../common/products.h"
#include "../common/vector_loops.h"

namespace {

// magnitudes_i = sum |Q(i,k)| x_k over the listed columns, column by
// column (a second pass over them: the check runs once or a few times a
// run, and the products keep their one shared, tested implementation).
void sumMagnitudes(const double* Q, const double* x, uint32_t n, const uint32_t* columns, uint32_t count,
                   double* __restrict magnitudes)
{
    for (uint32_t i = 0; i < n; ++i)
        magnitudes[i] = 0.0;
    for (uint32_t j = 0; j < count; ++j) {
        const double* __restrict column = Q + at(0, columns[j], n);
        const double weight = x[columns[j]];
        for (uint32_t i = 0; i < n; ++i)
            magnitudes[i] = magnitudes[i] + std::fabs(column[i]) * weight;
    }
}

}  // namespace

ExactCheck checkExactly(const double* Q, const double* b, uint32_t n, const double* x, double* gradient,
                        uint32_t* columns, double* products, double* magnitudes)
{
    uint32_t count = 0;
    for (uint32_t k = 0; k < n; ++k) {
        columns[count] = k;
        count += x[k] != 0.0;
    }
    // Every vector path gives the same sums; take the widest this processor runs.
    rowProductsOver(availableVectorPath(), Q, x, n, columns, count, products);
    sumMagnitudes(Q, x, n, columns, count, magnitudes);

    const double relative = (count + 2.0) * 0x1p-52;
    const double absolute = (2.0 * count + 2.0) * 0x1p-1074;
    double hi = -infinity(), lo = infinity();
    double computedHi = -infinity(), computedLo = infinity();
    bool numbers = true;
    for (uint32_t i = 0; i < n; ++i) {
        const double g = products[i] - b[i];
        gradient[i] = g;
        numbers = numbers && g == g;
        const double error = (relative * magnitudes[i] + 0x1p-52 * std::fabs(g)) + absolute;
        if (x[i] > 0.0) {
            hi = g + error > hi ? g + error : hi;
            computedHi = g > computedHi ? g : computedHi;
        }
        lo = g - error < lo ? g - error : lo;
        computedLo = g < computedLo ? g : computedLo;
    }
    ExactCheck check;
    check.objective = objectiveOverSupport(b, x, products, n);
    check.gap = (hi - lo) + 0x1p-50 * (std::fabs(hi) + std::fabs(lo));
    check.workingGap = computedHi - computedLo;
    // A gradient that is not a number (products that overflow) bounds nothing.
    if (!numbers || !(check.gap >= 0.0))
        check.gap = infinity();
    return check;
}

// With M the larger of max |Q| and max |b|: A_i <= M sum(x), about M, and
// |g_i| <= 2M, so the allowance the bound above adds to the gap is at most
// (4c + 48) u M for c <= n terms. The default, (16n + 128) u M, leaves
// more than that again for the violation the solver can reach in rounded
// arithmetic.
double defaultTolerance(const double* Q, const double* b, uint32_t n)
{
    return defaultToleranceAtScale(largestMagnitude(Q, static_cast<size_t>(n) * n), b, n);
}

double defaultToleranceAtScale(double largestQ, const double* b, uint32_t n)
{
    const double largestB = largestMagnitude(b, n);
    const double scale = largestQ > largestB ? largestQ : largestB;
    return scale * ((8.0 * n + 64.0) * 0x1p-52);
}
