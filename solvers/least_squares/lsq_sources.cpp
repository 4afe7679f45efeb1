// Q = CᵀC as a source (lsq_parts.h), and f's gradient from the residual.
//
// The gradient of f(x) = ½|Cx - d|² - ½|d|² is C'(Cx - d). Computed as
// fl(C'C) x - fl(C'd), as a dense Q and b would give it, its error grows
// with the entries of C'C and C'd, |C|'|C| x + |C|'|d|, however small the
// residual: for nearly collinear columns (C's condition number squared in
// C'C) that error is far above the gap the answer has. From the residual
// r = Cx - d its error is about u times |C|'|C| x (from r's own rounding)
// plus at most m u |C|'|r|: near a good fit r is small, and so is that
// term.
//
// How g~ is computed (u = 2^-53, eta = 2^-1075, the most a product that
// underflows loses when rounded to nearest; c the count of positive
// weights; scale = s1 s2 the run's working units, split into two powers of
// two near its square root, so that neither the scaled residual nor the
// scaled products overflow or lose bits to underflow where C's entries and
// C'C's are normal numbers):
//     s_t   = sum over the listed k, ascending, of C(t,k) x_k, from +0.0
//     r~_t  = fl(s_t - d_t)                (the residual, in data units)
//     rho_t = fl(r~_t s1)
//     h_i   = sum over ascending t of C(t,i) rho_t, from +0.0
//     g~_i  = fl(h_i s2)
// Each sum's error is bounded as it runs rather than by the classical
// gamma_k sum |terms|: for a sum of k products p_j = a_j b_j, each rounded
// to fl(p_j) = p_j (1 + delta_j) + epsilon_j (|delta_j| <= u, |epsilon_j|
// <= eta), whose partial sums are S_j = fl(S_(j-1) + fl(p_j)), every
// addition's rounding is at most u |S_j| (the rounded result, fl(y) =
// y / (1 + sigma), |sigma| <= u), so
//     |S_k - sum p_j| <= u sum |p_j| + u sum_j |S_j| + k eta,
// at most the classical bound and far below it where the partial sums
// cancel, as C(:,i)'r does near a good fit (the classical m u |C|'|r|
// would exceed the default tolerance for m above about 16 n + 128). Where
// they do not (a poor fit whose residual has one sign against a column's
// entries) it is still about m u |g_i|: long columns fitted poorly can have
// a bound above the default tolerance (simplex_lsq.h).
// With M_t = sum_k |C(t,k)| x_k, P_t = sum_k |s_(t,k)| the partial sums' magnitudes:
//  1. |r~_t - r_t| <= E_t = u (M_t + P_t) + c eta + u/(1 - u) |r~_t|
//     (the subtraction rounds by at most u |s_t - d_t| <= u |r~_t| / (1 - u));
//  2. |rho_t - s1 r_t| <= s1 E_t + eta [s1 < 1] (scaling by a power of two
//     is exact but where the result is subnormal);
//  3. |h_i - s1 (C'r)_i| <= sum_t |C(t,i)| w_t + u H_i + m eta, with
//     w_t = u |rho_t| + s1 E_t + eta [s1 < 1] and H_i the sum of |h|'s partial sums;
//  4. |g~_i - s2 h_i| <= eta [s2 < 1].
// So |g~_i - scale (C'r)_i| <= s2 (W_i + u H_i + m eta) + eta, W_i =
// sum_t |C(t,i)| w_t. The bound is computed in floating point, every
// quantity in it a sum of products of non-negative numbers, whose
// roundings understate it by relative amounts of at most gamma_(m + 8)
// (M~ and P~ by gamma_c) and by eta for each product that underflows. For
// m u, c u <= 2^-21 (m and c below 2^32) the relative ones are far inside
// the factors used: u counted as u (1 + 2^-18) and the whole times
// 1 + 2^-16; the absolute ones inside the terms in units of 2^-1074 (2c + 2
// in E_t, for its products' underflows; 2 in w_t, for three products each
// losing at most eta; 2m in W_i, for h_i's and W~_i's products; 2 for g~
// and the last product).
//
// A residual, scaled residual or product that is not a finite number
// leaves its rows' bound infinite: the check's gap is then infinite too.
//
// The objective is ½|r~|² in data units, summed over ascending t: f plus
// the constant ½|d|².
#include <cmath>
#include <cstring>

#include "lsq_parts.h"
#include "../common/problem.h"
#include "../common/vector_loops.h"

namespace {

const LeastSquaresData& dataOf(const void* context)
{
    return *static_cast<const LeastSquaresData*>(context);
}

const double* held(const void* context, uint32_t c)
{
    const LeastSquaresData& data = dataOf(context);
    return data.formed ? data.formed + static_cast<size_t>(c) * data.n : nullptr;
}

void column(const void* context, uint32_t c, const uint32_t* rows, uint32_t rowCount, double* out)
{
    const LeastSquaresData& data = dataOf(context);
    if (!data.formed) {
        kernelColumn(data.gram, c, rows, rowCount, out);
        return;
    }
    const double* const full = held(context, c);
    for (uint32_t r = 0; r < rowCount; ++r)
        out[r] = full[rows ? rows[r] : r];
}

void diagonal(const void* context, double* out)
{
    const LeastSquaresData& data = dataOf(context);
    if (!data.formed) {
        kernelDiagonal(data.gram, out);
        return;
    }
    for (uint32_t i = 0; i < data.n; ++i)
        out[i] = data.formed[static_cast<size_t>(i) * data.n + i];
}

// The largest diagonal entry, read from the formed Q where it is there:
// the same values, so the same answer either way.
double largestEntry(const void* context, VectorPath)
{
    const LeastSquaresData& data = dataOf(context);
    if (!data.formed)
        return kernelLargestEntry(data.gram);
    double largest = 0.0;
    for (uint32_t i = 0; i < data.n; ++i) {
        const double entry = data.formed[static_cast<size_t>(i) * data.n + i];
        largest = entry > largest ? entry : largest;
    }
    return largest;
}

void block(const void* context, const uint32_t* indices, uint32_t count, double* out)
{
    const LeastSquaresData& data = dataOf(context);
    if (!data.formed) {
        kernelBlock(data.gram, indices, count, out);
        return;
    }
    for (uint32_t s = 0; s < count; ++s)
        column(context, indices[s], indices, count, out + static_cast<size_t>(s) * count);
}

// The linear kernel's C(Cᵀx) either way, so that forming Q changes no bit.
ProductBound products(const void* context, VectorPath, const double* x, const uint32_t* columns, uint32_t count,
                      double* p, double* magnitudes, double* scratch)
{
    return kernelProducts(dataOf(context).gram, x, columns, count, p, magnitudes, scratch);
}

// The exponent of a power of two, normal or subnormal, from its bits.
int exponentOf(double power)
{
    uint64_t bits;
    std::memcpy(&bits, &power, sizeof bits);
    const int biased = static_cast<int>(bits >> 52 & 0x7FF);
    if (biased != 0)
        return biased - 1023;
    return -1074 + __builtin_ctzll(bits & ((uint64_t{1} << 52) - 1));
}

// 2^e for -1022 <= e <= 1023.
double powerOfTwo(int e)
{
    const uint64_t bits = static_cast<uint64_t>(e + 1023) << 52;
    double power;
    std::memcpy(&power, &bits, sizeof power);
    return power;
}

// h[i] = sum_t C(t,i) rho_t over ascending t, and into W[i] the bound's
// W~_i + u' H~_i (sum_t |C(t,i)| w_t, and the partial sums' magnitudes
// times unit), four columns at a time: twelve independent sums in flight,
// each in its own order (the sums' latency, not the arithmetic, is what
// one column at a time would wait on).
void residualProducts(const double* C, uint32_t m, uint32_t n, const double* rho, const double* w, double unit,
                      double* h, double* W)
{
    uint32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const double* const c0 = C + static_cast<size_t>(i) * m;
        const double* const c1 = c0 + m;
        const double* const c2 = c1 + m;
        const double* const c3 = c2 + m;
        double h0 = 0.0, h1 = 0.0, h2 = 0.0, h3 = 0.0, W0 = 0.0, W1 = 0.0, W2 = 0.0, W3 = 0.0;
        double H0 = 0.0, H1 = 0.0, H2 = 0.0, H3 = 0.0;
        for (uint32_t t = 0; t < m; ++t) {
            const double a = rho[t], b = w[t];
            h0 = h0 + c0[t] * a;
            h1 = h1 + c1[t] * a;
            h2 = h2 + c2[t] * a;
            h3 = h3 + c3[t] * a;
            W0 = W0 + std::fabs(c0[t]) * b;
            W1 = W1 + std::fabs(c1[t]) * b;
            W2 = W2 + std::fabs(c2[t]) * b;
            W3 = W3 + std::fabs(c3[t]) * b;
            H0 = H0 + std::fabs(h0);
            H1 = H1 + std::fabs(h1);
            H2 = H2 + std::fabs(h2);
            H3 = H3 + std::fabs(h3);
        }
        h[i] = h0, h[i + 1] = h1, h[i + 2] = h2, h[i + 3] = h3;
        W[i] = W0 + unit * H0, W[i + 1] = W1 + unit * H1, W[i + 2] = W2 + unit * H2, W[i + 3] = W3 + unit * H3;
    }
    for (; i < n; ++i) {
        const double* const c = C + static_cast<size_t>(i) * m;
        double hi = 0.0, Wi = 0.0, Hi = 0.0;
        for (uint32_t t = 0; t < m; ++t) {
            hi = hi + c[t] * rho[t];
            Wi = Wi + std::fabs(c[t]) * w[t];
            Hi = Hi + std::fabs(hi);
        }
        h[i] = hi;
        W[i] = Wi + unit * Hi;
    }
}

// residualProducts' sums from C interleaved, eight columns at a time; with
// W null, h alone.
void interleavedProducts(const double* T, uint32_t m, uint32_t n, const double* rho, const double* w, double unit,
                         VectorPath path, double* h, double* W)
{
    for (uint32_t first = 0; first < n; first += 8) {
        double hs[8], Ws[8], Hs[8];
        if (!W) {
            interleavedDot(path, T + static_cast<size_t>(first) * m, rho, m, hs);
            for (uint32_t r = 0; r < 8 && first + r < n; ++r)
                h[first + r] = hs[r];
            continue;
        }
        interleavedResidualProducts(path, T + static_cast<size_t>(first) * m, rho, w, m, hs, Ws, Hs);
        for (uint32_t r = 0; r < 8 && first + r < n; ++r) {
            h[first + r] = hs[r];
            W[first + r] = Ws[r] + unit * Hs[r];
        }
    }
}

double gradients(const void* context, VectorPath path, const double* x, const uint32_t* columns, uint32_t count,
                 double scale, double* gradient, double* error, double* scratch)
{
    const LeastSquaresData& data = dataOf(context);
    const uint32_t m = data.m, n = data.n;
    double* const r = scratch;
    double* const w = scratch + m;
    // s_t into r and M~_t + P~_t into w.
    columnSumsWithMagnitudes(path, data.C, m, x, columns, count, r, w);

    // (A scale that is not a positive power of two, outside the
    // contract, is applied to the products alone.)
    const bool power = scale > 0.0 && scale < infinity();
    const int e = power ? exponentOf(scale) : 0;
    const int e1 = e >= 0 ? e / 2 : -((1 - e) / 2);
    const double s1 = powerOfTwo(e1), s2 = power ? powerOfTwo(e - e1) : scale;
    const double unit = 0x1p-53 * (1.0 + 0x1p-18);
    const double residualAbsolute = (2.0 * count + 2.0) * 0x1p-1074;
    double squares = 0.0;
    for (uint32_t t = 0; t < m; ++t) {
        const double residual = r[t] - data.d[t];
        squares = squares + residual * residual;
        const double rho = residual * s1;
        const double E = (unit * w[t] + unit * std::fabs(residual)) + residualAbsolute;
        r[t] = rho;
        w[t] = (unit * std::fabs(rho) + s1 * E) + 0x1p-1073;
    }
    if (!error) {
        // The gradients alone: h as below, without the bound's sums.
        if (data.interleaved)
            interleavedProducts(data.interleaved, m, n, r, nullptr, unit, path, gradient, nullptr);
        else
            columnProductsOf(data.C, m, n, r, gradient);
        for (uint32_t i = 0; i < n; ++i)
            gradient[i] = gradient[i] * s2;
        return 0.5 * squares;
    }
    if (data.interleaved)
        interleavedProducts(data.interleaved, m, n, r, w, unit, path, gradient, error);
    else
        residualProducts(data.C, m, n, r, w, unit, gradient, error);
    const double productsAbsolute = (2.0 * m) * 0x1p-1074;
    for (uint32_t i = 0; i < n; ++i) {
        const double g = gradient[i] * s2;
        const double bound = s2 * ((error[i] + productsAbsolute) * (1.0 + 0x1p-16)) + 0x1p-1073;
        gradient[i] = g;
        error[i] = std::fabs(g) < infinity() && bound < infinity() ? bound : infinity();
    }
    return 0.5 * squares;
}

}  // namespace

QSource leastSquaresSource(const LeastSquaresData& data)
{
    const uint32_t scratch = kernelProductScratch(data.gram);
    const bool formed = data.formed != nullptr;
    return QSource{&data,    data.n,   true,     scratch,   held,   column, nullptr, diagonal, largestEntry,
                   block,    products, gradients, 2 * data.m, formed, false,  formed};
}

// Each column's entries down to the diagonal computed, the rest mirrored
// from the columns before (kernelBlock's way): half the sums, the same
// bits, which Q's exact symmetry allows.
void formGram(const VectorKernel& gram, double* out)
{
    const size_t n = gram.n;
    for (uint32_t c = 0; c < gram.n; ++c) {
        double* const column = out + c * n;
        kernelColumn(gram, c, nullptr, c + 1, column);
        for (uint32_t r = 0; r < c; ++r)
            out[c + r * n] = column[r];
    }
}

size_t interleavedCount(uint32_t m, uint32_t n)
{
    return static_cast<size_t>(m) * 8 * ((static_cast<size_t>(n) + 7) / 8);
}

void interleaveColumns(const double* C, uint32_t m, uint32_t n, double* out)
{
    for (uint32_t first = 0; first < n; first += 8) {
        double* const group = out + static_cast<size_t>(first) * m;
        for (uint32_t r = 0; r < 8; ++r) {
            const double* const c = first + r < n ? C + static_cast<size_t>(first + r) * m : nullptr;
            for (uint32_t t = 0; t < m; ++t)
                group[8 * static_cast<size_t>(t) + r] = c ? c[t] : 0.0;
        }
    }
}

void columnProductsOf(const double* C, uint32_t m, uint32_t n, const double* v, double* out)
{
    uint32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const double* const c0 = C + static_cast<size_t>(i) * m;
        const double* const c1 = c0 + m;
        const double* const c2 = c1 + m;
        const double* const c3 = c2 + m;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (uint32_t t = 0; t < m; ++t) {
            const double a = v[t];
            s0 = s0 + c0[t] * a;
            s1 = s1 + c1[t] * a;
            s2 = s2 + c2[t] * a;
            s3 = s3 + c3[t] * a;
        }
        out[i] = s0, out[i + 1] = s1, out[i + 2] = s2, out[i + 3] = s3;
    }
    for (; i < n; ++i) {
        const double* const c = C + static_cast<size_t>(i) * m;
        double s = 0.0;
        for (uint32_t t = 0; t < m; ++t)
            s = s + c[t] * v[t];
        out[i] = s;
    }
}
