// The bodies of the loops of vector_loops.h, included once per vector path
// by vector_loops_<path>.cpp, which compiles them with that path's target
// flags inside the namespace it names (SIMPLEXQP_LOOPS). No include guard:
// each inclusion is a separate copy.
//
// The loops across rows (products, the estimates' update) are plain loops
// that the compiler vectorises for the target. The sweeps over coordinates
// that pick a largest value or list a few are written with the compilers'
// vector extensions, four doubles to a 256-bit register, for the wide
// paths (SIMPLEXQP_LOOPS_WIDE); the baseline keeps them plain, since
// SSE2 has no 64-bit integer comparisons to build them from. Nothing here calls
// an inline function of another header: a copy compiled with the wider
// target could become the one the linker keeps for every caller.
//
// Same bits on every path: the lanes hold different rows (or coordinates),
// never different terms of one sum; multiplications and additions stay
// separate (the build never contracts them); comparisons and selections
// are exact.

namespace SIMPLEXQP_LOOPS {

// sums[r] += Q(i, k) * x_k over the count columns k listed, in ascending
// order, for every r < rowCount, where i = rows[r] when the rows are listed
// and i = r when they are not (all rows, Q read in memory order). Four
// columns per sweep over the rows: each row still adds its terms one at a
// time in ascending k, but the sums are read and written a quarter as often.
template <bool rowsListed>
static void addColumnTerms(const double* Q, const double* x, uint32_t n, const uint32_t* rows, uint32_t rowCount,
                           const uint32_t* columns, uint32_t count, double* sums)
{
    double* __restrict s = sums;
    uint32_t j = 0;
    for (; j + 4 <= count; j += 4) {
        const double* __restrict c0 = Q + static_cast<size_t>(columns[j]) * n;
        const double* __restrict c1 = Q + static_cast<size_t>(columns[j + 1]) * n;
        const double* __restrict c2 = Q + static_cast<size_t>(columns[j + 2]) * n;
        const double* __restrict c3 = Q + static_cast<size_t>(columns[j + 3]) * n;
        const double x0 = x[columns[j]], x1 = x[columns[j + 1]];
        const double x2 = x[columns[j + 2]], x3 = x[columns[j + 3]];
        for (uint32_t r = 0; r < rowCount; ++r) {
            const uint32_t i = rowsListed ? rows[r] : r;
            s[r] = (((s[r] + c0[i] * x0) + c1[i] * x1) + c2[i] * x2) + c3[i] * x3;
        }
    }
    for (; j < count; ++j) {
        const double* __restrict c0 = Q + static_cast<size_t>(columns[j]) * n;
        const double x0 = x[columns[j]];
        for (uint32_t r = 0; r < rowCount; ++r)
            s[r] = s[r] + c0[rowsListed ? rows[r] : r] * x0;
    }
}

void addRowProducts(const double* Q, const double* x, uint32_t n, const uint32_t* columns, uint32_t count,
                    double* p)
{
    addColumnTerms<false>(Q, x, n, nullptr, n, columns, count, p);
}

void rowProductsOver(const double* Q, const double* x, uint32_t n, const uint32_t* columns, uint32_t count,
                     double* p)
{
    for (uint32_t i = 0; i < n; ++i)
        p[i] = 0.0;
    addRowProducts(Q, x, n, columns, count, p);
}

void addGatheredRowProducts(const double* Q, uint32_t n, const uint32_t* rows, uint32_t rowCount,
                            const uint32_t* columns, uint32_t count, const double* x, double* sums)
{
    addColumnTerms<true>(Q, x, n, rows, rowCount, columns, count, sums);
}

void followPairStep(double* G, const double* columnA, double da, const double* columnP, double dp, uint32_t n)
{
    double* __restrict g = G;
    const double* __restrict a = columnA;
    const double* __restrict p = columnP;
    for (uint32_t i = 0; i < n; ++i)
        g[i] = (g[i] + a[i] * da) + p[i] * dp;
}

// The plain sweeps, one coordinate at a time from index `from` on, going on
// from what an earlier part of the sweep found: the whole sweep on the
// baseline, the last few coordinates after the lanes on the wide paths.
static void retireAndFindPivotFrom(const double* x, unsigned char* active, uint32_t from, uint32_t n,
                                   const RetiringStep& step, PivotChoice& found)
{
    PivotChoice choice = found;  // a local copy: the flags' stores cannot touch it
    for (uint32_t i = from; i < n; ++i) {
        if (!active[i])
            continue;
        if (x[i] == step.oldMaximum || (x[i] == step.partnerWeight && i != step.partner)) {
            active[i] = 0;
            continue;
        }
        choice.anyActive = true;
        if (x[i] > choice.maximum) {
            choice.maximum = x[i];
            choice.pivot = i;
            choice.found = true;
        }
    }
    found = choice;
}

// Returns the new count of listed candidates; largest holds, and is left
// with, the largest magnitude seen.
static uint32_t screenCandidatesFrom(const double* G, const double* b, const double* x, uint32_t from, uint32_t n,
                                     double pivotGradient, double slack, uint32_t* listed, double* magnitudes,
                                     uint32_t count, double& largest)
{
    const double zeroThreshold = 1e-6;
    double seen = largest;  // a local copy: the stores below cannot touch it
    for (uint32_t i = from; i < n; ++i) {
        const double e = __builtin_fabs((G[i] - b[i]) - pivotGradient);
        const double m = x[i] <= zeroThreshold ? -__builtin_inf() : e;
        seen = m > seen ? m : seen;
        listed[count] = i;
        magnitudes[count] = m;
        count += !(m + slack < seen - slack);
    }
    largest = seen;
    return count;
}

// The plain scan of largestMagnitudeOf from index `from` on, going on from
// what the lanes found: four running maxima, so that no comparison waits
// for the one before. A NaN fails every comparison and so is never the
// largest; v - v is 0 for every finite v and NaN otherwise, so the sums of
// those differences (two, so that no addition waits long, and no more,
// so that everything stays in registers) tell whether every value was
// finite.
static double largestMagnitudeFrom(const double* values, size_t from, size_t count, double largest, double poison)
{
    double m0 = largest, m1 = 0.0, m2 = 0.0, m3 = 0.0;
    double z0 = poison, z1 = 0.0;
    size_t k = from;
    for (; k + 4 <= count; k += 4) {
        const double v0 = values[k], v1 = values[k + 1], v2 = values[k + 2], v3 = values[k + 3];
        const double a0 = __builtin_fabs(v0), a1 = __builtin_fabs(v1);
        const double a2 = __builtin_fabs(v2), a3 = __builtin_fabs(v3);
        m0 = a0 > m0 ? a0 : m0;
        m1 = a1 > m1 ? a1 : m1;
        m2 = a2 > m2 ? a2 : m2;
        m3 = a3 > m3 ? a3 : m3;
        z0 = z0 + ((v0 - v0) + (v1 - v1));
        z1 = z1 + ((v2 - v2) + (v3 - v3));
    }
    for (; k < count; ++k) {
        const double a = __builtin_fabs(values[k]);
        m0 = a > m0 ? a : m0;
        z0 = z0 + (values[k] - values[k]);
    }
    m0 = m1 > m0 ? m1 : m0;
    m2 = m3 > m2 ? m3 : m2;
    m0 = m2 > m0 ? m2 : m0;
    return z0 + z1 == 0.0 ? m0 : __builtin_inf();
}

#ifdef SIMPLEXQP_LOOPS_WIDE

typedef double Doubles __attribute__((vector_size(32)));
typedef int64_t Lanes __attribute__((vector_size(32)));  // masks (all ones or 0) and indices

PivotChoice retireAndFindPivot(const double* x, unsigned char* active, uint32_t n, const RetiringStep& step)
{
    const double noMaximum = -1.0;

    // Lane j sees the indices j, j + 4, ... in ascending order and keeps the
    // first of its largest weights, as the plain scan does.
    Doubles best = {noMaximum, noMaximum, noMaximum, noMaximum};
    Lanes bestIndex = {0, 0, 0, 0};
    Lanes anyActive = {0, 0, 0, 0};
    Lanes index = {0, 1, 2, 3};
    const Lanes partner = {step.partner, step.partner, step.partner, step.partner};
    uint32_t i = 0;
    for (; i + 4 <= n; i += 4, index += 4) {
        uint32_t flags;  // the four flags, one byte each
        __builtin_memcpy(&flags, active + i, sizeof flags);
        if (flags == 0)
            continue;  // late in a pass most are retired: nothing to retire or choose here
        Doubles xi;
        __builtin_memcpy(&xi, x + i, sizeof xi);
        const Lanes before = {active[i], active[i + 1], active[i + 2], active[i + 3]};
        Lanes flag = before != 0;
        flag &= ~(xi == step.oldMaximum);
        flag &= ~((xi == step.partnerWeight) & (index != partner));
        // A step retires few coordinates: most sweeps write nothing back.
        const Lanes retired = (before != 0) & ~flag;
        if ((retired[0] | retired[1] | retired[2] | retired[3]) != 0)
            for (int lane = 0; lane < 4; ++lane)
                active[i + lane] = static_cast<unsigned char>(flag[lane] & 1);
        anyActive |= flag;
        const Lanes better = flag & (xi > best);
        best = reinterpret_cast<Doubles>((reinterpret_cast<Lanes>(xi) & better) |
                                         (reinterpret_cast<Lanes>(best) & ~better));
        bestIndex = (index & better) | (bestIndex & ~better);
    }

    PivotChoice choice{false, false, 0, noMaximum};
    for (int lane = 0; lane < 4; ++lane) {
        choice.anyActive = choice.anyActive || anyActive[lane] != 0;
        const uint32_t laneIndex = static_cast<uint32_t>(bestIndex[lane]);
        if (best[lane] > choice.maximum ||
            (choice.found && best[lane] == choice.maximum && laneIndex < choice.pivot)) {
            choice.maximum = best[lane];
            choice.pivot = laneIndex;
            choice.found = true;
        }
    }
    // The last few, in order, after every lane's (lower) indices.
    retireAndFindPivotFrom(x, active, i, n, step, choice);
    return choice;
}

uint32_t screenCandidates(const double* G, const double* b, const double* x, uint32_t n, double pivotGradient,
                          double slack, uint32_t* listed, double* magnitudes, double& largest)
{
    const double zeroThreshold = 1e-6;
    const double minusInfinity = -__builtin_inf();
    const Lanes magnitudeBits = {0x7fffffffffffffff, 0x7fffffffffffffff, 0x7fffffffffffffff,
                                 0x7fffffffffffffff};
    const Doubles notCandidate = {minusInfinity, minusInfinity, minusInfinity, minusInfinity};
    Doubles laneLargest = {0.0, 0.0, 0.0, 0.0};
    uint32_t count = 0;
    uint32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        Doubles gi, bi, xi;
        __builtin_memcpy(&gi, G + i, sizeof gi);
        __builtin_memcpy(&bi, b + i, sizeof bi);
        __builtin_memcpy(&xi, x + i, sizeof xi);
        const Lanes e = reinterpret_cast<Lanes>((gi - bi) - pivotGradient) & magnitudeBits;
        const Lanes excluded = xi <= zeroThreshold;
        const Doubles m = reinterpret_cast<Doubles>((reinterpret_cast<Lanes>(notCandidate) & excluded) |
                                                    (e & ~excluded));
        const Lanes larger = m > laneLargest;
        laneLargest = reinterpret_cast<Doubles>((reinterpret_cast<Lanes>(m) & larger) |
                                                (reinterpret_cast<Lanes>(laneLargest) & ~larger));
        const Lanes dropped = (m + slack) < (laneLargest - slack);
        if ((~dropped[0] | ~dropped[1] | ~dropped[2] | ~dropped[3]) != 0)
            for (int lane = 0; lane < 4; ++lane)
                if (!dropped[lane]) {
                    listed[count] = i + lane;
                    magnitudes[count] = m[lane];
                    ++count;
                }
    }
    double seen = 0.0;
    for (int lane = 0; lane < 4; ++lane)
        seen = laneLargest[lane] > seen ? laneLargest[lane] : seen;
    count = screenCandidatesFrom(G, b, x, i, n, pivotGradient, slack, listed, magnitudes, count, seen);
    largest = seen;
    return count;
}


// Sixteen running maxima in four registers, so that no maximum waits for
// the one before and Q streams at the speed of memory. A maximum is the
// same whatever the order in which the values are compared, so every path
// gives the same value. vmaxpd drops a NaN (it answers with its second
// operand, the running maximum, when either is one), so NaNs are flagged
// by a comparison of each value with itself; an infinity is the maximum.
double largestMagnitudeOf(const double* values, size_t count)
{
    const Lanes magnitudeBits = {0x7fffffffffffffff, 0x7fffffffffffffff, 0x7fffffffffffffff,
                                 0x7fffffffffffffff};
    Doubles m0 = {0.0, 0.0, 0.0, 0.0}, m1 = m0, m2 = m0, m3 = m0;
    Lanes notNumbers = {0, 0, 0, 0};
    size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        Doubles v0, v1, v2, v3;
        __builtin_memcpy(&v0, values + k, sizeof v0);
        __builtin_memcpy(&v1, values + k + 4, sizeof v1);
        __builtin_memcpy(&v2, values + k + 8, sizeof v2);
        __builtin_memcpy(&v3, values + k + 12, sizeof v3);
        notNumbers |= (v0 != v0) | (v1 != v1) | (v2 != v2) | (v3 != v3);
        m0 = __builtin_ia32_maxpd256(reinterpret_cast<Doubles>(reinterpret_cast<Lanes>(v0) & magnitudeBits), m0);
        m1 = __builtin_ia32_maxpd256(reinterpret_cast<Doubles>(reinterpret_cast<Lanes>(v1) & magnitudeBits), m1);
        m2 = __builtin_ia32_maxpd256(reinterpret_cast<Doubles>(reinterpret_cast<Lanes>(v2) & magnitudeBits), m2);
        m3 = __builtin_ia32_maxpd256(reinterpret_cast<Doubles>(reinterpret_cast<Lanes>(v3) & magnitudeBits), m3);
    }
    double largest = 0.0;
    for (int lane = 0; lane < 4; ++lane) {
        largest = m0[lane] > largest ? m0[lane] : largest;
        largest = m1[lane] > largest ? m1[lane] : largest;
        largest = m2[lane] > largest ? m2[lane] : largest;
        largest = m3[lane] > largest ? m3[lane] : largest;
    }
    const bool anyNotNumber = (notNumbers[0] | notNumbers[1] | notNumbers[2] | notNumbers[3]) != 0;
    return largestMagnitudeFrom(values, k, count, largest, anyNotNumber ? __builtin_nan("") : 0.0);
}

#else

PivotChoice retireAndFindPivot(const double* x, unsigned char* active, uint32_t n, const RetiringStep& step)
{
    PivotChoice choice{false, false, 0, -1.0};
    retireAndFindPivotFrom(x, active, 0, n, step, choice);
    return choice;
}

uint32_t screenCandidates(const double* G, const double* b, const double* x, uint32_t n, double pivotGradient,
                          double slack, uint32_t* listed, double* magnitudes, double& largest)
{
    largest = 0.0;
    return screenCandidatesFrom(G, b, x, 0, n, pivotGradient, slack, listed, magnitudes, 0, largest);
}

double largestMagnitudeOf(const double* values, size_t count)
{
    return largestMagnitudeFrom(values, 0, count, 0.0, 0.0);
}

#endif

// sa[r] = sum_{k<length} T[8k + r] a[k] and sb[r] likewise with b, each
// from +0.0 in ascending k, for the eight rows r held interleaved in T:
// the lanes hold different rows, and the two lines share every read of T.
// Written with four-double vectors so that the sixteen sums stay in
// registers on every path (SSE2 and NEON take each as two halves).
typedef double Quad __attribute__((vector_size(32)));

void interleavedDots(const double* T, const double* a, const double* b, uint32_t length, double* sa, double* sb)
{
    Quad a0 = {0, 0, 0, 0}, a1 = a0, b0 = a0, b1 = a0;
    for (uint32_t k = 0; k < length; ++k) {
        Quad t0, t1;
        __builtin_memcpy(&t0, T + static_cast<size_t>(k) * 8, sizeof t0);
        __builtin_memcpy(&t1, T + static_cast<size_t>(k) * 8 + 4, sizeof t1);
        const double ak = a[k], bk = b[k];
        a0 = a0 + t0 * ak;
        a1 = a1 + t1 * ak;
        b0 = b0 + t0 * bk;
        b1 = b1 + t1 * bk;
    }
    __builtin_memcpy(sa, &a0, sizeof a0);
    __builtin_memcpy(sa + 4, &a1, sizeof a1);
    __builtin_memcpy(sb, &b0, sizeof b0);
    __builtin_memcpy(sb + 4, &b1, sizeof b1);
}

void columnSumsWithMagnitudes(const double* C, uint32_t m, const double* x, const uint32_t* columns, uint32_t count,
                              double* r, double* magnitude)
{
    typedef long long QuadBits __attribute__((vector_size(32)));
    const long long allButSign = 0x7FFFFFFFFFFFFFFFLL;
    const QuadBits signless = {allButSign, allButSign, allButSign, allButSign};
    // Eight rows at a time held in lanes over every column, then the rest
    // one at a time: each row's two sums in ascending k either way.
    uint32_t t = 0;
    for (; t + 8 <= m; t += 8) {
        Quad r0 = {0, 0, 0, 0}, r1 = r0, M0 = r0, M1 = r0;
        for (uint32_t j = 0; j < count; ++j) {
            const double* const c = C + static_cast<size_t>(columns[j]) * m + t;
            const double weight = x[columns[j]];
            Quad c0, c1;
            __builtin_memcpy(&c0, c, sizeof c0);
            __builtin_memcpy(&c1, c + 4, sizeof c1);
            r0 = r0 + c0 * weight;
            r1 = r1 + c1 * weight;
            M0 = (M0 + (Quad)((QuadBits)c0 & signless) * weight) + (Quad)((QuadBits)r0 & signless);
            M1 = (M1 + (Quad)((QuadBits)c1 & signless) * weight) + (Quad)((QuadBits)r1 & signless);
        }
        __builtin_memcpy(r + t, &r0, sizeof r0);
        __builtin_memcpy(r + t + 4, &r1, sizeof r1);
        __builtin_memcpy(magnitude + t, &M0, sizeof M0);
        __builtin_memcpy(magnitude + t + 4, &M1, sizeof M1);
    }
    for (; t < m; ++t) {
        double sum = 0.0, magnitudes = 0.0;
        for (uint32_t j = 0; j < count; ++j) {
            const double c = C[static_cast<size_t>(columns[j]) * m + t];
            const double weight = x[columns[j]];
            sum = sum + c * weight;
            magnitudes = (magnitudes + __builtin_fabs(c) * weight) + __builtin_fabs(sum);
        }
        r[t] = sum;
        magnitude[t] = magnitudes;
    }
}

void interleavedDot(const double* T, const double* a, uint32_t length, double* sa)
{
    Quad a0 = {0, 0, 0, 0}, a1 = a0;
    for (uint32_t k = 0; k < length; ++k) {
        Quad t0, t1;
        __builtin_memcpy(&t0, T + static_cast<size_t>(k) * 8, sizeof t0);
        __builtin_memcpy(&t1, T + static_cast<size_t>(k) * 8 + 4, sizeof t1);
        a0 = a0 + t0 * a[k];
        a1 = a1 + t1 * a[k];
    }
    __builtin_memcpy(sa, &a0, sizeof a0);
    __builtin_memcpy(sa + 4, &a1, sizeof a1);
}

void interleavedResidualProducts(const double* T, const double* rho, const double* w, uint32_t length, double* h,
                                 double* W, double* H)
{
    // |v| as v with its lanes' sign bits cleared.
    typedef long long QuadBits __attribute__((vector_size(32)));
    const long long allButSign = 0x7FFFFFFFFFFFFFFFLL;
    const QuadBits signless = {allButSign, allButSign, allButSign, allButSign};
    Quad h0 = {0, 0, 0, 0}, h1 = h0, W0 = h0, W1 = h0, H0 = h0, H1 = h0;
    for (uint32_t t = 0; t < length; ++t) {
        Quad t0, t1;
        __builtin_memcpy(&t0, T + static_cast<size_t>(t) * 8, sizeof t0);
        __builtin_memcpy(&t1, T + static_cast<size_t>(t) * 8 + 4, sizeof t1);
        const double a = rho[t], b = w[t];
        h0 = h0 + t0 * a;
        h1 = h1 + t1 * a;
        W0 = W0 + (Quad)((QuadBits)t0 & signless) * b;
        W1 = W1 + (Quad)((QuadBits)t1 & signless) * b;
        H0 = H0 + (Quad)((QuadBits)h0 & signless);
        H1 = H1 + (Quad)((QuadBits)h1 & signless);
    }
    __builtin_memcpy(h, &h0, sizeof h0);
    __builtin_memcpy(h + 4, &h1, sizeof h1);
    __builtin_memcpy(W, &W0, sizeof W0);
    __builtin_memcpy(W + 4, &W1, sizeof W1);
    __builtin_memcpy(H, &H0, sizeof H0);
    __builtin_memcpy(H + 4, &H1, sizeof H1);
}

}  // namespace SIMPLEXQP_LOOPS
