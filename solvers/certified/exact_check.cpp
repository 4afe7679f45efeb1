// The exact check of certifiedSMO's answer, and the rounding bound that
// makes its gap an upper bound on the true KKT violation of f.
//
// Everything is computed in the run's working units: Q and b times a power
// of two, scale (working_scale.cpp), which brings the data's magnitude near
// 1. Products Q(i,k) (scale x_k) are scale times Q(i,k) x_k exactly
// wherever the latter is normal, and, at tiny scales, where it would not
// be, they keep the bits that rounding to a subnormal would lose; so the
// gradients, the gap and the objective are the same numbers at every scale
// 2^k, scaled. (When scale is below 1, x is not scaled down, which could
// lose its bits; the products are scaled afterwards.)
//
// The gradients are g_i = fl((Qx)_i - b_i), with (Qx)_i summed as it is
// defined: over ascending k from +0.0, the terms of zero weights left out
// (exact zeros, since Q is finite; see products.h). For the c terms of
// positive weight, the classical bound of a sum of products gives
//     |fl((Qx)_i) - (Qx)_i| <= gamma_c A_i,  gamma_c = c u / (1 - c u),
// with A_i = sum |Q(i,k)| x_k and u = 2^-53, plus at most 2^-1074 per
// operation for products and sums that underflow (and two more for scaling
// a product and b_i down). A_i is summed alongside; its computed value
// understates it by at most the factor 1 - gamma_c, so
//     e_i = (c + 2) 2^-52 A~_i + 2^-52 |g~_i| + (2c + 4) 2^-1074
// bounds the error of g~_i, the subtraction of b_i included, with room for
// the roundings of e_i itself (c <= 65536, so c u <= 2^-37).
//
// f's gradient is ((Q + Q')/2) x - b, which is Qx - b only for symmetric
// Q: the two differ by ((Q - Q')x)_i / 2, at most w_i = max over the
// support of |Q(i,k) - Q(k,i)| / 2 times sum(x). Reading Q(k,i) for every
// i takes rows of Q, one cache line per element, so w is added only when
// asked for (certified_smo.cpp asks when the gap without it would end the
// run, and for the point it answers with).
//
// Where Q is the caller's Q symmetrised, each entry 0.5 Q(i,k) + 0.5
// Q(k,i) rounded to nearest, it is off the exact mean by at most u of its
// size plus 2^-1074 (each halving of a subnormal loses at most 2^-1075):
// 2^-52 A~_i + 2^-1073 sum(x) more for e_i, in working units times scale,
// with 2^-1074 more where that product underflows.
//
// The true violation max over x_i > 0 of g_i, minus min over x_j < u_j of
// g_j (over all j without bounds), is then at most hi - lo with hi = max
// (g~_i + e_i + w_i) and lo = min (g~_j - e_j - w_j); computing hi, lo and
// their difference rounds each by at most u of its size, which 2^-50
// (|hi| + |lo|) covers. Back in the data's units the gap is rounded up
// where dividing by scale rounds. Where every weight is at its bound, x = u
// is the only feasible point and the gap is 0.
//
// Why that bounds f(x) - f* for positive semidefinite Q: for any feasible
// y, f(x) - f(y) <= g'(x - y); x_i > y_i only where x_i > 0 and x_j < y_j
// only where x_j < u_j, and both parts of x - y sum to the same at most 1,
// so g'(x - y) <= (max over x_i > 0 of g_i - min over x_j < u_j of g_j).
#include <cmath>
#include <cstdint>
#include <cstring>

#include "certified_parts.h"
#include "certified_smo.h"
#include "../common/problem.h"
#include "../common/vector_loops.h"

namespace {

// asymmetry_i = max over the listed columns k of |Q(i,k) - Q(k,i)|. Row
// by row of the result, so that row k's entries are read from one column
// of Q after another, in memory order, and the listed columns' rows stay
// in cache from one i to the next. Row k's entries are a cache line each,
// fetched ahead two columns early so that many are on their way at once.
void largestAsymmetry(const double* Q, uint32_t n, const uint32_t* columns, uint32_t count,
                      double* __restrict asymmetry)
{
    constexpr uint32_t ahead = 2;
    for (uint32_t i = 0; i < n; ++i) {
        if (i + ahead < n) {
            const double* const later = Q + at(0, i + ahead, n);
            for (uint32_t j = 0; j < count; ++j)
                __builtin_prefetch(later + columns[j]);
        }
        const double* const column = Q + at(0, i, n);
        double largest = 0.0;
        for (uint32_t j = 0; j < count; ++j) {
            const uint32_t k = columns[j];
            const double d = std::fabs(Q[at(i, k, n)] - column[k]);
            largest = d > largest ? d : largest;
        }
        asymmetry[i] = largest;
    }
}

// value / scale, rounded up where the division rounds (a subnormal
// result) to the next double above, found from its bits: the same on every
// platform, and no library call.
double unscaledUpward(double value, double scale)
{
    double unscaled = value / scale;
    if (unscaled >= 0.0 && unscaled < infinity() && unscaled * scale < value) {
        uint64_t bits;
        std::memcpy(&bits, &unscaled, sizeof bits);
        ++bits;
        std::memcpy(&unscaled, &bits, sizeof bits);
    }
    return unscaled;
}

// The gap from the gradients and their error bounds (one per coordinate),
// plus the asymmetry's where given, back in the data's units; the
// violation of the computed gradients alone into check.workingGap.
void boundTheGap(const double* gradient, const double* error, const double* asymmetry, double halfSum,
                 const double* x, const double* upper, uint32_t n, double scale, ExactCheck& check)
{
    double hi = -infinity(), lo = infinity();
    double computedHi = -infinity(), computedLo = infinity();
    bool numbers = true, receiving = false;
    for (uint32_t i = 0; i < n; ++i) {
        const double g = gradient[i];
        numbers = numbers && g == g;
        double bound = error[i];
        if (asymmetry && asymmetry[i] != 0.0) {
            const double w = (asymmetry[i] * scale) * halfSum;
            bound = bound + ((w + 0x1p-51 * w) + 0x1p-1074);
        }
        if (x[i] > 0.0) {
            hi = g + bound > hi ? g + bound : hi;
            computedHi = g > computedHi ? g : computedHi;
        }
        if (upper && !(x[i] < upper[i]))
            continue;
        receiving = true;
        lo = g - bound < lo ? g - bound : lo;
        computedLo = g < computedLo ? g : computedLo;
    }
    check.gap = unscaledUpward((hi - lo) + 0x1p-50 * (std::fabs(hi) + std::fabs(lo)), scale);
    check.workingGap = computedHi - computedLo;
    if (!receiving && numbers) {
        check.gap = 0.0;
        check.workingGap = 0.0;
        return;
    }
    // A gradient that is not a number (products that overflow) bounds nothing.
    if (!numbers || !(check.gap >= 0.0))
        check.gap = infinity();
}

uint32_t listSupport(const double* x, uint32_t n, uint32_t* columns)
{
    uint32_t count = 0;
    for (uint32_t k = 0; k < n; ++k) {
        columns[count] = k;
        count += x[k] != 0.0;
    }
    return count;
}

}  // namespace

ExactCheck checkExactly(const QSource& q, const double* b, const double* x, double scale, CheckScratch scratch,
                        VectorPath path)
{
    const uint32_t n = q.n;
    double* const gradient = scratch.gradient;
    double* const products = scratch.products;
    double* const magnitudes = scratch.magnitudes;
    const uint32_t count = listSupport(x, n, scratch.columns);
    ExactCheck check;
    if (q.gradients) {
        double* const error = magnitudes;
        check.objective = q.gradients(q.context, path, x, scratch.columns, count, scale, gradient, error, scratch.source);
        boundTheGap(gradient, error, nullptr, 0.0, x, scratch.upper, n, scale, check);
        return check;
    }
    const double up = scale > 1.0 ? scale : 1.0;
    const double down = scale < 1.0 ? scale : 1.0;
    for (uint32_t k = 0; k < n; ++k)
        scratch.weights[k] = x[k] * up;
    const ProductBound bound =
        q.products(q.context, path, scratch.weights, scratch.columns, count, products, magnitudes, scratch.source);
    if (down < 1.0)
        for (uint32_t i = 0; i < n; ++i) {
            products[i] *= down;
            magnitudes[i] *= down;
        }

    double objective = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        gradient[i] = products[i] - b[i] * scale;
        if (x[i] != 0.0)
            objective += (x[i] * 0.5) * products[i] - x[i] * (b[i] * scale);
    }
    check.objective = objective / scale;

    // Each gradient's error bound takes the place of its magnitude: the
    // products' own, with two units and four of 2^-1074 for subtracting b
    // and scaling.
    const double symmetrised = scratch.symmetrised ? 1.0 : 0.0;
    const double relative = (bound.units + 2.0 + symmetrised) * 0x1p-52;
    const double absolute = (bound.absolute + 4.0 * 0x1p-1074) + symmetrised * (0x1p-1072 * scale + 0x1p-1074);
    double* const error = magnitudes;
    for (uint32_t i = 0; i < n; ++i)
        error[i] = (relative * magnitudes[i] + 0x1p-52 * std::fabs(gradient[i])) + absolute;
    boundTheGap(gradient, error, nullptr, 0.0, x, scratch.upper, n, scale, check);
    return check;
}

ExactCheck countAsymmetry(const double* Q, uint32_t n, const double* x, double scale, CheckScratch scratch,
                          const ExactCheck& check)
{
    const uint32_t count = listSupport(x, n, scratch.columns);
    double weightSum = 0.0;
    for (uint32_t k = 0; k < n; ++k)
        weightSum += x[k];
    const double halfSum = 0.5 * weightSum * (1.0 + (count + 2.0) * 0x1p-52);
    largestAsymmetry(Q, n, scratch.columns, count, scratch.products);
    ExactCheck counted = check;
    boundTheGap(scratch.gradient, scratch.magnitudes, scratch.products, halfSum, x, scratch.upper, n, scale, counted);
    return counted;
}

// With M the larger of max |Q| and max |b|: A_i <= M sum(x), about M, and
// |g_i| <= 2M, so the allowance the bound above adds to the gap is at most
// (4c + 48) u M for c <= n terms. The default, (16n + 128) u M, leaves
// more than that again for the violation the solver can reach in rounded
// arithmetic. Where M is subnormal or zero, what is computed at scale 1
// (the polish's points, checked in the data's units) carries an allowance
// of 2c + 4 units of 2^-1074 on each side of the gap, and rounding it up
// to a multiple of 2^-1074 leaves a few such units more: the second term,
// (4n + 16) units, allows for both; at any other scale it is far below
// the first's last bit.
double defaultTolerance(const double* Q, const double* b, uint32_t n)
{
    const VectorPath path = defaultSettings().path;
    return defaultToleranceAtScale(largestMagnitudeOf(path, Q, static_cast<size_t>(n) * n), b, n, path);
}

double defaultToleranceAtScale(double largestQ, const double* b, uint32_t n, VectorPath path)
{
    const double largestB = largestMagnitudeOf(path, b, n);
    const double scale = largestQ > largestB ? largestQ : largestB;
    return scale * ((8.0 * n + 64.0) * 0x1p-52) + (4.0 * n + 16.0) * 0x1p-1074;
}
