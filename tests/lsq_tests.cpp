// Least squares on the simplex: Q = CᵀC's source against the formed Gram
// matrix, the residual's gradients within their bound of C'(Cx - d)
// summed afresh in long double (at scales where the data is tiny or huge
// too), and the solver against the dense route (certifiedSMO on the formed
// CᵀC and b = C'd), against the true KKT violation of its answers, with
// many right-hand sides, warm starts, bounds and nearly collinear columns.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "certified_reference.h"
#include "draw.h"
#include "certified/certified_smo.h"
#include "common/solver_settings.h"
#include "least_squares/lsq_parts.h"

namespace {

const long double unitLD = 0x1p-63L;

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Entries in [-0.4, 0.6) (positive enough that b and Q have a scale), or
// all positive where a fit of mixtures is wanted.
std::vector<double> drawMatrix(size_t count, uint64_t seed, double shift = 0.4)
{
    Draw draw{seed};
    std::vector<double> values(count);
    for (double& v : values)
        v = unit(draw) - shift;
    return values;
}

std::vector<double> scaledBy(std::vector<double> values, int exponent)
{
    for (double& v : values)
        v = std::ldexp(v, exponent);
    return values;
}

// C'(Cx - d) in long double, and into error a bound on how far each
// entry is from the exact value.
std::vector<long double> gradientLD(const std::vector<double>& C, uint32_t m, uint32_t n, const double* x,
                                    const double* d, std::vector<long double>& error, long double* halfSquares = nullptr)
{
    std::vector<long double> r(m), rError(m);
    for (uint32_t t = 0; t < m; ++t) {
        long double sum = 0, magnitude = std::fabs(static_cast<long double>(d[t]));
        for (uint32_t k = 0; k < n; ++k) {
            sum += static_cast<long double>(C[t + static_cast<size_t>(k) * m]) * x[k];
            magnitude += std::fabs(static_cast<long double>(C[t + static_cast<size_t>(k) * m])) * x[k];
        }
        r[t] = sum - d[t];
        rError[t] = 2 * (n + 2) * unitLD * magnitude;
    }
    if (halfSquares) {
        *halfSquares = 0;
        for (uint32_t t = 0; t < m; ++t)
            *halfSquares += r[t] * r[t] / 2;
    }
    std::vector<long double> g(n);
    error.assign(n, 0);
    for (uint32_t i = 0; i < n; ++i) {
        long double sum = 0, magnitude = 0, propagated = 0;
        for (uint32_t t = 0; t < m; ++t) {
            const long double c = C[t + static_cast<size_t>(i) * m];
            sum += c * r[t];
            magnitude += std::fabs(c * r[t]);
            propagated += std::fabs(c) * rError[t];
        }
        g[i] = sum;
        error[i] = 2 * (m + 2) * unitLD * magnitude + 1.01L * propagated;
    }
    return g;
}

// The least violation the exact gradients can have given g and its error:
// max over x_i > 0 of g_i - e_i minus min over x_j < u_j of g_j + e_j.
long double leastViolation(const std::vector<long double>& g, const std::vector<long double>& error,
                           const double* x, const double* upper)
{
    long double hi = -INFINITY, lo = INFINITY;
    bool receiving = false;
    for (size_t i = 0; i < g.size(); ++i) {
        if (x[i] > 0)
            hi = std::fmax(hi, g[i] - error[i]);
        if (upper && !(x[i] < upper[i]))
            continue;
        receiving = true;
        lo = std::fmin(lo, g[i] + error[i]);
    }
    return receiving ? hi - lo : 0;
}

struct LsqRun {
    std::vector<double> X;
    std::vector<CertifiedReport> reports;
};

LsqRun runLsq(const std::vector<double>& C, uint32_t m, uint32_t n, const std::vector<double>& D, double tol,
              bool formed, const double* start = nullptr, const double* upper = nullptr)
{
    const uint32_t p = static_cast<uint32_t>(D.size() / m);
    LsqRun run{std::vector<double>(static_cast<size_t>(n) * p, -1.0), std::vector<CertifiedReport>(p)};
    const LeastSquaresSettings settings{CertifiedSettings{tol, 100000000, start, nullptr, nullptr, nullptr, upper},
                                        !(tol > 0.0)};
    leastSquaresColumns(C.data(), m, n, D.data(), p, settings, run.X.data(), run.reports.data(), formed);
    return run;
}

std::vector<double> gramFormed(const std::vector<double>& C, uint32_t m, uint32_t n)
{
    std::vector<double> Q(static_cast<size_t>(n) * n);
    formGram(gramOf(C.data(), m, n), Q.data());
    return Q;
}

// The dense route: certifiedSMO on the formed CᵀC and b = C'd.
CertifiedReport denseRoute(const std::vector<double>& C, uint32_t m, uint32_t n, const double* d, double tol,
                           std::vector<double>& x, const double* upper = nullptr)
{
    const std::vector<double> Q = gramFormed(C, m, n);
    std::vector<double> b(n);
    columnProductsOf(C.data(), m, n, d, b.data());
    x.assign(n, -1.0);
    CertifiedReport report;
    const CertifiedSettings settings{tol, 100000000, nullptr, nullptr, nullptr, nullptr, upper};
    certifiedSMO(Q.data(), b.data(), n, settings, x.data(), report);
    return report;
}

// The gap the residual's gradients give x at scale 1: max over x_i > 0 of
// g~_i + e_i minus min of g~_j - e_j.
double residualGap(const std::vector<double>& C, uint32_t m, uint32_t n, const double* d, const double* x)
{
    LeastSquaresData data{gramOf(C.data(), m, n), C.data(), m, n, d, nullptr, nullptr};
    const QSource source = leastSquaresSource(data);
    std::vector<uint32_t> support;
    for (uint32_t k = 0; k < n; ++k)
        if (x[k] != 0.0)
            support.push_back(k);
    std::vector<double> g(n), error(n), scratch(source.gradientScratch);
    source.gradients(source.context, VectorPath::baseline, x, support.data(), static_cast<uint32_t>(support.size()),
                     1.0, g.data(), error.data(), scratch.data());
    double hi = -INFINITY, lo = INFINITY;
    for (uint32_t i = 0; i < n; ++i) {
        if (x[i] > 0.0)
            hi = std::fmax(hi, g[i] + error[i]);
        lo = std::fmin(lo, g[i] - error[i]);
    }
    return hi - lo;
}

long double halfSquaredNorm(const double* d, uint32_t m)
{
    long double sum = 0;
    for (uint32_t t = 0; t < m; ++t)
        sum += static_cast<long double>(d[t]) * d[t] / 2;
    return sum;
}

TEST(LeastSquaresSource, EntriesAreTheGramMatrixsEitherWay)
{
    const uint32_t m = 11, n = 17;
    const std::vector<double> C = drawMatrix(static_cast<size_t>(m) * n, 3);
    const std::vector<double> Q = gramFormed(C, m, n);
    LeastSquaresData computed{gramOf(C.data(), m, n), C.data(), m, n, C.data(), nullptr, nullptr};
    LeastSquaresData formed = computed;
    formed.formed = Q.data();
    const QSource a = leastSquaresSource(computed), b = leastSquaresSource(formed);
    EXPECT_EQ(a.held(a.context, 3), nullptr);
    EXPECT_EQ(b.held(b.context, 3), Q.data() + 3 * n);
    std::vector<double> out(n * n), other(n * n);
    const uint32_t rows[] = {16, 0, 5, 5, 2};
    for (uint32_t c = 0; c < n; ++c) {
        a.column(a.context, c, rows, 5, out.data());
        b.column(b.context, c, rows, 5, other.data());
        for (uint32_t r = 0; r < 5; ++r) {
            ASSERT_TRUE(sameBits(out[r], Q[rows[r] + c * n])) << c << " " << r;
            ASSERT_TRUE(sameBits(other[r], Q[rows[r] + c * n])) << c << " " << r;
        }
    }
    a.diagonal(a.context, out.data());
    b.diagonal(b.context, other.data());
    for (uint32_t i = 0; i < n; ++i)
        ASSERT_TRUE(sameBits(out[i], Q[i * n + i]) && sameBits(other[i], Q[i * n + i])) << i;
    EXPECT_EQ(a.largestEntry(a.context, VectorPath::baseline), b.largestEntry(b.context, VectorPath::baseline));
    const uint32_t indices[] = {4, 1, 9, 0};
    a.block(a.context, indices, 4, out.data());
    b.block(b.context, indices, 4, other.data());
    for (uint32_t s = 0; s < 4; ++s)
        for (uint32_t r = 0; r < 4; ++r)
            ASSERT_TRUE(sameBits(out[r + 4 * s], Q[indices[r] + indices[s] * n]) &&
                        sameBits(other[r + 4 * s], Q[indices[r] + indices[s] * n]));
    // The products are the linear kernel's either way.
    std::vector<double> x(n, 0.0), p(n), q(n), scratch(a.productScratch);
    const uint32_t support[] = {2, 7, 8};
    x[2] = 0.25, x[7] = 0.5, x[8] = 0.25;
    a.products(a.context, VectorPath::baseline, x.data(), support, 3, p.data(), nullptr, scratch.data());
    b.products(b.context, VectorPath::baseline, x.data(), support, 3, q.data(), nullptr, scratch.data());
    for (uint32_t i = 0; i < n; ++i)
        ASSERT_TRUE(sameBits(p[i], q[i])) << i;
}

// g~ within error of scale C'(Cx - d), the bound not far above what
// rounding can do ((m + 2) u |C|'|r| + (c + 1) u |C|'|C|x), the same bits at every
// scale 2^k of C and d (2^-2k of the working scale), and an infinite bound
// where the products overflow.
TEST(LeastSquaresSource, GradientsWithinTheirBoundAtEveryScale)
{
    const uint32_t m = 37, n = 13;
    const std::vector<double> C0 = drawMatrix(static_cast<size_t>(m) * n, 5);
    const std::vector<double> d0 = drawMatrix(m, 6, 0.2);
    std::vector<double> x(n, 0.0);
    std::vector<uint32_t> support;
    Draw draw{9};
    for (uint32_t k = 1; k < n; k += 2) {
        x[k] = unit(draw) + 0x1p-40;
        support.push_back(k);
    }
    x[3] = 0x1p-1000;  // a weight whose products underflow at every scale here
    double first[n];
    double firstObjective = 0.0;
    for (int k : {0, -480, 480, -20}) {
        const std::vector<double> C = scaledBy(C0, k), d = scaledBy(d0, k);
        const double scale = std::ldexp(1.0, -2 * k - 3);
        LeastSquaresData data{gramOf(C.data(), m, n), C.data(), m, n, d.data(), nullptr, nullptr};
        const QSource source = leastSquaresSource(data);
        std::vector<double> g(n), error(n), scratch(source.gradientScratch);
        const double objective = source.gradients(source.context, VectorPath::baseline, x.data(), support.data(),
                                                  static_cast<uint32_t>(support.size()), scale, g.data(),
                                                  error.data(), scratch.data());
        std::vector<long double> ldError;
        long double half;
        const std::vector<long double> exact = gradientLD(C, m, n, x.data(), d.data(), ldError, &half);
        EXPECT_NEAR(objective / half, 1.0, 1e-13) << k;
        for (uint32_t i = 0; i < n; ++i) {
            long double rounding = 0, magnitudeR = 0, magnitudeM = 0;
            for (uint32_t t = 0; t < m; ++t) {
                long double r = -static_cast<long double>(d[t]), M = 0;
                for (uint32_t c : support) {
                    r += static_cast<long double>(C[t + c * m]) * x[c];
                    M += std::fabs(static_cast<long double>(C[t + c * m])) * x[c];
                }
                magnitudeR += std::fabs(C[t + i * m] * r);
                magnitudeM += std::fabs(C[t + i * m] * M);
            }
            rounding = 0x1p-53L * ((m + 2) * magnitudeR + (support.size() + 1) * magnitudeM) * scale;
            const long double off = std::fabs(g[i] - scale * exact[i]);
            EXPECT_LE(off, error[i] + scale * ldError[i]) << "scale 2^" << k << ", row " << i;
            EXPECT_LE(error[i], 1.01L * rounding + 0x1p-1000L) << "scale 2^" << k << ", row " << i;
            EXPECT_GT(error[i], 0.0);
            if (k == 0)
                first[i] = g[i];
            else
                EXPECT_TRUE(sameBits(g[i], first[i])) << "scale 2^" << k << ", row " << i;
        }
        if (k == 0)
            firstObjective = objective;
        else
            EXPECT_EQ(objective, std::ldexp(firstObjective, 2 * k));
        // C interleaved, eight columns a vector (n = 13: a group in part),
        // on every path this processor runs, and without the bounds, either
        // way: the same sums to the bit.
        std::vector<double> interleaved(interleavedCount(m, n));
        interleaveColumns(C.data(), m, n, interleaved.data());
        const VectorPath fastest = defaultSettings().path;
        for (const double* layout : {static_cast<const double*>(nullptr), static_cast<const double*>(interleaved.data())})
            for (VectorPath path : {VectorPath::baseline, fastest})
                for (bool bounded : {true, false}) {
                    data.interleaved = layout;
                    std::vector<double> gi(n), errori(n);
                    const double objectivei = source.gradients(source.context, path, x.data(), support.data(),
                                                               static_cast<uint32_t>(support.size()), scale, gi.data(),
                                                               bounded ? errori.data() : nullptr, scratch.data());
                    const std::string label = std::string(layout ? "interleaved" : "columns") +
                                              (bounded ? "" : ", no bound") + ", scale 2^" + std::to_string(k);
                    EXPECT_TRUE(sameBits(objectivei, objective)) << label;
                    for (uint32_t i = 0; i < n; ++i) {
                        EXPECT_TRUE(sameBits(gi[i], g[i])) << label << ", row " << i;
                        if (bounded) {
                            EXPECT_TRUE(sameBits(errori[i], error[i])) << label << ", row " << i;
                        }
                    }
                }
        data.interleaved = nullptr;
    }
    // Entries near the largest doubles: C'r overflows, and bounds nothing.
    const std::vector<double> C = scaledBy(C0, 1000), d = scaledBy(d0, 1000);
    LeastSquaresData data{gramOf(C.data(), m, n), C.data(), m, n, d.data(), nullptr, nullptr};
    const QSource source = leastSquaresSource(data);
    std::vector<double> g(n), error(n), scratch(source.gradientScratch);
    source.gradients(source.context, VectorPath::baseline, x.data(), support.data(),
                     static_cast<uint32_t>(support.size()), 1.0, g.data(), error.data(), scratch.data());
    for (uint32_t i = 0; i < n; ++i)
        EXPECT_EQ(error[i], INFINITY) << i;
}

// Both routes against the dense route: each converges, f = ½|Cx - d|² -
// ½|d|² agrees within the gaps, the objective reported is ½|Cx - d|², and
// the gap is no smaller than the least violation C'(Cx - d) can have
// (summed in long double). For small n the minimum by supports of the
// formed Q confirms the gap bounds f(x) - f*.
TEST(LeastSquaresOnSimplex, AgreesWithTheDenseRouteAndItsGapHolds)
{
    for (uint64_t seed = 1; seed <= 24; ++seed) {
        const uint32_t m = 3 + seed % 9, n = 2 + seed % 7, p = 3;
        const std::vector<double> C = drawMatrix(static_cast<size_t>(m) * n, seed);
        const std::vector<double> D = drawMatrix(static_cast<size_t>(m) * p, 100 + seed, seed % 2 ? 0.0 : 0.4);
        for (double tol : {1e-9, 0.0}) {
            for (bool formed : {false, true}) {
                const LsqRun run = runLsq(C, m, n, D, tol, formed);
                for (uint32_t j = 0; j < p; ++j) {
                    const double* d = D.data() + j * m;
                    const double* x = run.X.data() + j * n;
                    const CertifiedReport& report = run.reports[j];
                    ASSERT_TRUE(report.converged) << seed << " " << j;
                    double sum = 0.0;
                    for (uint32_t k = 0; k < n; ++k) {
                        EXPECT_GE(x[k], 0.0);
                        sum += x[k];
                    }
                    EXPECT_NEAR(sum, 1.0, 4 * n * 0x1p-53);
                    std::vector<long double> error;
                    long double half;
                    const std::vector<long double> g = gradientLD(C, m, n, x, d, error, &half);
                    EXPECT_LE(leastViolation(g, error, x, nullptr), report.gap) << seed << " " << j;
                    EXPECT_NEAR(report.objective, static_cast<double>(half), 1e-13 * (1 + half)) << seed;
                    std::vector<double> y;
                    const CertifiedReport dense = denseRoute(C, m, n, d, 1e-9, y);
                    ASSERT_TRUE(dense.converged) << seed;
                    const long double f = half - halfSquaredNorm(d, m);
                    EXPECT_LE(std::fabs(f - dense.objective), report.gap + dense.gap + 1e-14L) << seed << " " << j;
                    if (n > 6)
                        continue;
                    long double minimum;
                    std::vector<long double> minimiser;
                    std::vector<double> b(n);
                    columnProductsOf(C.data(), m, n, d, b.data());
                    if (minimumBySupports(gramFormed(C, m, n), b, minimum, minimiser)) {
                        EXPECT_LE(f - minimum, report.gap + 1e-14L) << seed << " " << j;
                    }
                }
            }
        }
    }
}

// One call with many right-hand sides gives each column's answer and
// report as a call with that column alone, to the bit; Q formed for the
// many (n <= 32 p) and computed for the one here, so the two routes agree
// too. A column's tolerance by default is leastSquaresTolerance's.
TEST(LeastSquaresOnSimplex, ManyRightHandSidesAsOneAtATime)
{
    const uint32_t m = 30, n = 40, p = 6;
    const std::vector<double> C = drawMatrix(static_cast<size_t>(m) * n, 21, 0.0);
    const std::vector<double> D = drawMatrix(static_cast<size_t>(m) * p, 22, 0.0);
    ASSERT_TRUE(formsGram(m, n, p));
    ASSERT_FALSE(formsGram(m, n, 1));
    std::vector<double> X(static_cast<size_t>(n) * p);
    std::vector<CertifiedReport> reports(p);
    const LeastSquaresSettings settings{CertifiedSettings{0.0, 100000000, nullptr, nullptr, nullptr, nullptr, nullptr},
                                        true};
    leastSquaresOnSimplex(C.data(), m, n, D.data(), p, settings, X.data(), reports.data());
    for (uint32_t j = 0; j < p; ++j) {
        std::vector<double> x(n);
        CertifiedReport report;
        leastSquaresOnSimplex(C.data(), m, n, D.data() + j * m, 1, settings, x.data(), &report);
        for (uint32_t k = 0; k < n; ++k)
            ASSERT_TRUE(sameBits(x[k], X[j * n + k])) << j << " " << k;
        EXPECT_TRUE(sameBits(report.gap, reports[j].gap) && sameBits(report.objective, reports[j].objective));
        EXPECT_EQ(report.iterations, reports[j].iterations);
        EXPECT_EQ(report.support, reports[j].support);
        EXPECT_TRUE(report.converged);
        const double tol = leastSquaresTolerance(C.data(), m, n, D.data() + j * m, defaultSettings().path);
        EXPECT_LE(report.gap, tol);
        // With that tolerance given, the same run.
        const LeastSquaresSettings given{CertifiedSettings{tol, 100000000, nullptr, nullptr, nullptr, nullptr, nullptr},
                                         false};
        leastSquaresOnSimplex(C.data(), m, n, D.data() + j * m, 1, given, x.data(), &report);
        for (uint32_t k = 0; k < n; ++k)
            ASSERT_TRUE(sameBits(x[k], X[j * n + k])) << j << " " << k;
    }
}

// Each column starts from its own n weights of the start; the answers of
// a run are a start that is already converged (no step). With bounds every
// weight stays within them and f agrees with the dense route's bounded run.
TEST(LeastSquaresOnSimplex, WarmStartsAndUpperBounds)
{
    const uint32_t m = 25, n = 12, p = 4;
    const std::vector<double> C = drawMatrix(static_cast<size_t>(m) * n, 31, 0.0);
    const std::vector<double> D = drawMatrix(static_cast<size_t>(m) * p, 32, 0.1);
    const double tol = 1e-10;
    const LsqRun cold = runLsq(C, m, n, D, tol, true);
    const LsqRun warm = runLsq(C, m, n, D, tol, true, cold.X.data());
    for (uint32_t j = 0; j < p; ++j) {
        EXPECT_TRUE(warm.reports[j].converged);
        EXPECT_EQ(warm.reports[j].iterations, 0u) << j;
        for (uint32_t k = 0; k < n; ++k)
            EXPECT_TRUE(sameBits(warm.X[j * n + k], cold.X[j * n + k])) << j << " " << k;
    }
    // A start of other columns' answers: column j from column (j + 1) mod p.
    std::vector<double> shifted(cold.X.size());
    for (uint32_t j = 0; j < p; ++j)
        for (uint32_t k = 0; k < n; ++k)
            shifted[j * n + k] = cold.X[((j + 1) % p) * n + k];
    const LsqRun moved = runLsq(C, m, n, D, tol, false, shifted.data());
    for (uint32_t j = 0; j < p; ++j) {
        EXPECT_TRUE(moved.reports[j].converged);
        EXPECT_LE(std::fabs(moved.reports[j].objective - cold.reports[j].objective),
                  moved.reports[j].gap + cold.reports[j].gap);
    }
    const std::vector<double> upper(n, 0.15);
    for (bool formed : {false, true}) {
        const LsqRun bounded = runLsq(C, m, n, D, tol, formed, nullptr, upper.data());
        for (uint32_t j = 0; j < p; ++j) {
            const double* x = bounded.X.data() + j * n;
            const CertifiedReport& report = bounded.reports[j];
            ASSERT_TRUE(report.converged) << j;
            uint32_t atBound = 0;
            for (uint32_t k = 0; k < n; ++k) {
                EXPECT_LE(x[k], upper[k]);
                atBound += x[k] == upper[k];
            }
            EXPECT_EQ(report.atUpperBound, atBound);
            std::vector<long double> error;
            long double half;
            const std::vector<long double> g = gradientLD(C, m, n, x, D.data() + j * m, error, &half);
            EXPECT_LE(leastViolation(g, error, x, upper.data()), report.gap);
            std::vector<double> y;
            const CertifiedReport dense = denseRoute(C, m, n, D.data() + j * m, tol, y, upper.data());
            ASSERT_TRUE(dense.converged);
            EXPECT_LE(std::fabs(half - halfSquaredNorm(D.data() + j * m, m) - dense.objective),
                      report.gap + dense.gap + 1e-14L);
        }
    }
}

// Nearly collinear columns (C's condition number near 1e8, C'C's near
// 1e16) and a residual far below d: the answer's true KKT violation, from
// C'(Cx - d) in long double, is within its gap and no larger than the
// dense route's answer's; its f no higher than the dense route's beyond
// the gaps; and its objective, ½|r~|², has the residual's own accuracy,
// where the dense route's f + ½|d|² loses it to cancellation. Prints the
// figures.
TEST(LeastSquaresOnSimplex, IllConditionedColumnsAtLeastAsAccurateAsTheDenseRoute)
{
    const uint32_t m = 60, n = 8;
    for (uint64_t seed = 1; seed <= 4; ++seed) {
        const std::vector<double> base = drawMatrix(m * 3, 40 + seed, 0.0);
        const std::vector<double> noise = drawMatrix(static_cast<size_t>(m) * n, 50 + seed, 0.5);
        std::vector<double> C(static_cast<size_t>(m) * n);
        for (uint32_t k = 0; k < n; ++k)
            for (uint32_t t = 0; t < m; ++t)
                C[t + k * m] = base[t + (k % 3) * m] + 1e-8 * noise[t + k * m];
        // d in the cone of the columns, off the simplex's image by a little.
        std::vector<double> d(m);
        for (uint32_t t = 0; t < m; ++t)
            d[t] = 0.3 * C[t] + 0.5 * C[t + 4 * m] + 0.2 * C[t + 7 * m] + 1e-9 * noise[t + 3 * m];
        const std::vector<double> D = d;
        const double tol = leastSquaresTolerance(C.data(), m, n, d.data(), defaultSettings().path);
        const LsqRun run = runLsq(C, m, n, D, 0.0, true);
        std::vector<double> y;
        const CertifiedReport dense = denseRoute(C, m, n, d.data(), tol, y);
        std::vector<long double> error, denseError;
        long double half, denseHalf;
        const std::vector<long double> g = gradientLD(C, m, n, run.X.data(), d.data(), error, &half);
        const std::vector<long double> h = gradientLD(C, m, n, y.data(), d.data(), denseError, &denseHalf);
        const long double violation = leastViolation(g, error, run.X.data(), nullptr);
        const long double denseViolation = leastViolation(h, denseError, y.data(), nullptr);
        // The residual's check of either answer bounds its true violation.
        const double checked = residualGap(C, m, n, d.data(), run.X.data());
        EXPECT_LE(violation, checked) << seed;
        EXPECT_LE(denseViolation, residualGap(C, m, n, d.data(), y.data())) << seed;
        std::printf("seed %llu: the residual's check of the answer: gap %.3e\n", static_cast<unsigned long long>(seed),
                    checked);
        const long double denseObjectiveError = dense.objective + halfSquaredNorm(d.data(), m) - denseHalf;
        std::printf("seed %llu: tol %.3e; residual route gap %.3e, true violation %.3e, 1/2|r|^2 %.6Le "
                    "(reported %.6e), converged %d; dense route gap %.3e, true violation %.3e, 1/2|r|^2 %.6Le "
                    "(f + 1/2|d|^2 off by %.3Le), converged %d\n",
                    static_cast<unsigned long long>(seed), tol, run.reports[0].gap, static_cast<double>(violation),
                    half, run.reports[0].objective, run.reports[0].converged, dense.gap,
                    static_cast<double>(denseViolation), denseHalf, denseObjectiveError, dense.converged);
        EXPECT_NEAR(run.reports[0].objective, static_cast<double>(half), 1e-6 * half) << seed;
        EXPECT_LE(violation, run.reports[0].gap) << seed;
        EXPECT_LE(violation, std::fmax(static_cast<double>(denseViolation), tol)) << seed;
        EXPECT_LE(half - denseHalf, run.reports[0].gap + dense.gap) << seed;
    }
}

// Degenerate sizes: one weight (x = 1, gap 0); no rows (C'C = 0 and every
// point optimal, the gap rounding's allowance); no right-hand side (nothing written).
TEST(LeastSquaresOnSimplex, DegenerateSizes)
{
    const std::vector<double> C = drawMatrix(5, 61), D = drawMatrix(10, 62);
    for (bool formed : {false, true}) {
        const LsqRun one = runLsq(C, 5, 1, D, 0.0, formed);
        for (uint32_t j = 0; j < 2; ++j) {
            EXPECT_EQ(one.X[j], 1.0);
            EXPECT_EQ(one.reports[j].gap, 0.0);
            EXPECT_TRUE(one.reports[j].converged);
        }
        std::vector<double> X(3 * 2, -1.0);
        std::vector<CertifiedReport> reports(2);
        const LeastSquaresSettings settings{CertifiedSettings{0.0, 1000, nullptr, nullptr, nullptr, nullptr, nullptr},
                                            true};
        leastSquaresColumns(nullptr, 0, 3, nullptr, 2, settings, X.data(), reports.data(), formed);
        for (uint32_t j = 0; j < 2; ++j) {
            EXPECT_TRUE(reports[j].converged);
            EXPECT_LE(reports[j].gap, 0x1p-1000);  // rounding's allowance alone
            double sum = 0.0;
            for (uint32_t k = 0; k < 3; ++k)
                sum += X[j * 3 + k];
            EXPECT_EQ(sum, 1.0);
        }
        std::vector<double> untouched(4, -1.0);
        leastSquaresColumns(C.data(), 5, 1, D.data(), 0, settings, untouched.data(), nullptr, formed);
        EXPECT_EQ(untouched, std::vector<double>(4, -1.0));
    }
}

}  // namespace

TEST(LeastSquaresOnSimplex, LongPoorlyFittedColumnsMeetTheDefaultTolerance)
{
    // m far above 16 n + 128 and targets of both signs that no convex
    // combination fits: the residual's rounding allowance, m terms a row,
    // is counted in the default, which every column then meets.
    const uint32_t m = 3000, n = 5, p = 3;
    const std::vector<double> C = drawMatrix(static_cast<size_t>(m) * n, 71, 0.0);
    const std::vector<double> D = scaledBy(drawMatrix(static_cast<size_t>(m) * p, 72), 4);
    for (bool formed : {false, true}) {
        const LsqRun run = runLsq(C, m, n, D, -1.0, formed);
        for (uint32_t j = 0; j < p; ++j)
            EXPECT_TRUE(run.reports[j].converged) << "column " << j << " gap " << run.reports[j].gap;
    }
}
