// certifiedSMO's polish: the support's factor as members join and leave,
// the active-set steps from a wrong support, and whole runs where pair
// steps alone crawl (singular and ill-conditioned supports, realizable
// mixtures), are indefinite, or have no scratch for the factor; and runs
// whose tolerance rounding makes unreachable, which must end promptly.
#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "certified/certified_parts.h"
#include "certified/polish.h"
#include "certified/support_factor.h"
#include "sources/dense_source.h"
#include "certified_reference.h"
#include "certified_runs.h"
#include "draw.h"
#include "solve.h"
#include "stand_in.h"
#include "common/vector_path.h"

namespace {

// The factor's rows from a stored Q.
bool appendDense(const double* Q, uint32_t n, const uint32_t* members, uint32_t count, SupportFactor& f)
{
    const DenseMatrix matrix{Q, n};
    return appendRows(denseSource(matrix, false), members, count, f);
}

// Q(members r, members c) + shift [r == c], rebuilt from a factor: L Lᵀ.
double productEntry(const SupportFactor& f, uint32_t r, uint32_t c)
{
    double sum = 0.0;
    const uint32_t last = r < c ? r : c;
    for (uint32_t k = 0; k <= last; ++k)
        sum += f.lower[rowStart(r) + k] * f.lower[rowStart(c) + k];
    return sum;
}

struct Factor {
    std::vector<double> block, interleaved;
    SupportFactor f;
    Factor(uint32_t capacity, double shift, VectorPath path = defaultSettings().path)
        : block(rowStart(capacity)), interleaved(8 * static_cast<size_t>(capacity))
    {
        f = SupportFactor{0, capacity, 0.0, shift, block.data(), interleaved.data(), path};
    }
};

void expectFactorOf(const Factor& factor, const std::vector<double>& Q, uint32_t n,
                    const std::vector<uint32_t>& members, const char* label)
{
    ASSERT_EQ(factor.f.size, members.size()) << label;
    for (uint32_t r = 0; r < members.size(); ++r)
        for (uint32_t c = 0; c <= r; ++c) {
            const double entry = Q[members[r] + static_cast<size_t>(members[c]) * n] + (r == c ? factor.f.shift : 0.0);
            EXPECT_NEAR(productEntry(factor.f, r, c), entry, 1e-12) << label << " at " << r << ", " << c;
        }
}

TEST(SupportFactor, RowsGiveTheSameBitsHoweverTheyJoinOnEveryPath)
{
    // Members in no order; all at once (groups of eight and a shorter
    // last one), one at a time, in uneven groups, and on the baseline
    // path: every entry is the same to the last bit, and L Lᵀ is the block.
    const uint32_t n = 40;
    const CorpusProblem p = positiveDefinite(n, 30, 0.05, 3);
    std::vector<uint32_t> members;
    for (uint32_t k = 0; k < 29; ++k)
        members.push_back((k * 17 + 5) % n);
    const uint32_t m = static_cast<uint32_t>(members.size());
    Factor together(m, 0.0), single(m, 0.0), mixed(m, 0.0), baseline(m, 0.0, VectorPath::baseline);
    ASSERT_TRUE(appendDense(p.Q.data(), n, members.data(), m, together.f));
    ASSERT_TRUE(appendDense(p.Q.data(), n, members.data(), m, baseline.f));
    for (uint32_t r = 0; r < m; ++r)
        ASSERT_TRUE(appendDense(p.Q.data(), n, members.data(), 1, single.f));
    for (uint32_t count : {3u, 9u, 1u, 16u})
        ASSERT_TRUE(appendDense(p.Q.data(), n, members.data(), count, mixed.f));
    EXPECT_EQ(bitsOf(together.block), bitsOf(single.block));
    EXPECT_EQ(bitsOf(together.block), bitsOf(mixed.block));
    EXPECT_EQ(bitsOf(together.block), bitsOf(baseline.block));
    expectFactorOf(together, p.Q, n, members, "together");
}

TEST(SupportFactor, RemovingARowLeavesTheFactorOfTheRestAndSolvesStayRight)
{
    const uint32_t n = 30;
    const CorpusProblem p = positiveDefinite(n, 12, 0.1, 8);
    std::vector<uint32_t> members;
    for (uint32_t k = 0; k < n; k += 2)
        members.push_back(k);
    Factor factor(static_cast<uint32_t>(members.size()), 1e-3);
    ASSERT_TRUE(appendDense(p.Q.data(), n, members.data(), static_cast<uint32_t>(members.size()), factor.f));
    std::vector<double> spare(members.size());
    // The last row, the first, one in the middle.
    for (uint32_t r : {14u, 0u, 6u, 6u}) {
        removeRow(factor.f, r, spare.data());
        members.erase(members.begin() + r);
        expectFactorOf(factor, p.Q, n, members, "after a removal");
    }
    // And one that joins after removals lands on the same factor.
    members.push_back(5);
    ASSERT_TRUE(appendDense(p.Q.data(), n, members.data(), 1, factor.f));
    expectFactorOf(factor, p.Q, n, members, "after a join");

    const uint32_t m = static_cast<uint32_t>(members.size());
    std::vector<double> u(m), v(m), rhs(m);
    for (uint32_t r = 0; r < m; ++r)
        rhs[r] = u[r] = v[r] = std::sin(1.0 + r);
    solveWithFactor(factor.f, u.data(), v.data());
    EXPECT_EQ(bitsOf(u), bitsOf(v));
    for (uint32_t r = 0; r < m; ++r) {
        double back = factor.f.shift * v[r];
        for (uint32_t c = 0; c < m; ++c)
            back += p.Q[members[r] + static_cast<size_t>(members[c]) * n] * v[c];
        EXPECT_NEAR(back, rhs[r], 1e-10) << r;
    }
}

TEST(SupportFactor, SolvesGiveTheBitsOfOneRowAtATime)
{
    // The forward solve takes four rows at a time, the backward two: at
    // every size up to 11 (every remainder of both), the bits of the solve
    // done one row at a time, each sum in ascending (forward) or descending
    // (backward) order from the row's own entry.
    const uint32_t n = 11;
    const CorpusProblem p = positiveDefinite(n, n, 0.1, 5);
    std::vector<uint32_t> members;
    for (uint32_t m = 1; m <= n; ++m) {
        members.push_back(m - 1);
        Factor factor(m, 0.0);
        ASSERT_TRUE(appendDense(p.Q.data(), n, members.data(), m, factor.f));
        std::vector<double> u(m), v(m);
        for (uint32_t r = 0; r < m; ++r) {
            u[r] = std::sin(1.0 + r);
            v[r] = 1.0;
        }
        std::vector<double> oneU = u, oneV = v;
        const double* L = factor.f.lower;
        for (uint32_t i = 0; i < m; ++i) {
            double su = 0.0, sv = 0.0;
            for (uint32_t k = 0; k < i; ++k) {
                su = su + L[rowStart(i) + k] * oneU[k];
                sv = sv + L[rowStart(i) + k] * oneV[k];
            }
            oneU[i] = (oneU[i] - su) / L[rowStart(i) + i];
            oneV[i] = (oneV[i] - sv) / L[rowStart(i) + i];
        }
        for (uint32_t i = m; i-- > 0;) {
            oneU[i] = oneU[i] / L[rowStart(i) + i];
            oneV[i] = oneV[i] / L[rowStart(i) + i];
            for (uint32_t k = 0; k < i; ++k) {
                oneU[k] = oneU[k] - L[rowStart(i) + k] * oneU[i];
                oneV[k] = oneV[k] - L[rowStart(i) + k] * oneV[i];
            }
        }
        solveWithFactor(factor.f, u.data(), v.data());
        EXPECT_EQ(bitsOf(u), bitsOf(oneU)) << m;
        EXPECT_EQ(bitsOf(v), bitsOf(oneV)) << m;
    }
}

TEST(SupportFactor, ASingularOrIndefiniteBlockIsRefusedUnlessShifted)
{
    // Two equal columns: the second pivot is exactly 0 without a shift.
    // Q = -I: the first pivot is negative whatever the shift is.
    const std::vector<double> equal = {1, 1, 1, 1};
    const std::vector<uint32_t> both = {0, 1};
    Factor plain(2, 0.0), shifted(2, 1e-9);
    EXPECT_FALSE(appendDense(equal.data(), 2, both.data(), 2, plain.f));
    EXPECT_TRUE(appendDense(equal.data(), 2, both.data(), 2, shifted.f));
    const std::vector<double> negative = {-1, 0, 0, -1};
    Factor indefinite(2, 1e-9);
    EXPECT_FALSE(appendDense(negative.data(), 2, both.data(), 2, indefinite.f));
    EXPECT_EQ(indefinite.f.size, 0u);
}

// polishSupport from a given x, as certifiedSMO calls it after a check.
struct Polished {
    PolishOutcome outcome;
    ExactCheck before, after;
    std::vector<double> x;
};

Polished polishFrom(const std::vector<double>& Q, const std::vector<double>& b, std::vector<double> x,
                    const SolverSettings& settings, double target = 0.0)
{
    const uint32_t n = static_cast<uint32_t>(b.size());
    std::vector<double> gradient(n), products(n), magnitudes(n), weights(n);
    std::vector<uint32_t> columns(n);
    const CheckScratch scratch{gradient.data(), columns.data(), products.data(), magnitudes.data(), weights.data(),
                               false, nullptr, nullptr};
    const DenseMatrix matrix{Q.data(), n};
    const QSource q = denseSource(matrix, false);
    Polished p;
    p.before = checkExactly(q, b.data(), x.data(), 1.0, scratch, settings.path);
    p.after = p.before;
    const size_t blocks = standInLiveBlocks();
    p.outcome = polishSupport(q, b.data(), target, settings, x.data(), p.after, scratch);
    EXPECT_EQ(standInLiveBlocks(), blocks);
    p.x = x;
    // What it hands back is x's own check.
    ExactCheck again = checkExactly(q, b.data(), x.data(), 1.0, scratch, settings.path);
    EXPECT_EQ(bitsOf(again.gap), bitsOf(p.after.gap));
    return p;
}

// Optional scratch that gives blocksLeft blocks and refuses the rest.
int blocksLeft = 0;

void* takeWhileLeft(size_t bytes)
{
    return blocksLeft-- > 0 ? std::malloc(bytes) : nullptr;
}

SolverSettings givingBlocks(int blocks)
{
    blocksLeft = blocks;
    SolverSettings settings = defaultSettings();
    settings.optional = OptionalScratch{takeWhileLeft, std::free};
    return settings;
}

TEST(Polish, DropsAndAddsUntilTheSupportIsTheAnswers)
{
    // f = |x|²/2 - bᵀx (plus a constant on the simplex from the ones): the
    // minimum is b's projection, (1/3, 1/3, 1/3) on coordinates 4..6. From
    // x spread over 0..4, four members must leave and two join.
    const uint32_t n = 8;
    std::vector<double> Q(n * n, 0.1);
    for (uint32_t i = 0; i < n; ++i)
        Q[i + i * n] = 1.1;
    const std::vector<double> b = {0, 0, 0, 0, 1, 1, 1, 0};
    const Polished p = polishFrom(Q, b, {0.2, 0.2, 0.2, 0.2, 0.2, 0, 0, 0}, defaultSettings());
    EXPECT_TRUE(p.outcome.lowered);
    EXPECT_GE(p.outcome.steps, 3u);
    EXPECT_LE(p.after.gap, 1e-14);
    for (uint32_t i = 0; i < n; ++i)
        EXPECT_NEAR(p.x[i], i >= 4 && i <= 6 ? 1.0 / 3 : 0.0, 1e-15) << i;
}

TEST(Polish, LeavesXAsItWasWithoutScratchOrAFactor)
{
    const CorpusProblem kernel = oneClassProblem(40, 2);
    std::vector<double> x(40, 0.0);
    x[3] = 0.25, x[17] = 0.5, x[30] = 0.25;
    const Polished refused = polishFrom(kernel.Q, kernel.b, x, refusing());
    EXPECT_FALSE(refused.outcome.lowered);
    EXPECT_EQ(refused.outcome.steps, 0u);
    EXPECT_EQ(bitsOf(refused.x), bitsOf(x));

    // Negative definite on the support: no factor, nothing changes.
    const std::vector<double> negative = {-1, 0.2, 0.2, -1};
    const Polished concave = polishFrom(negative, {0.3, 0.1}, {0.5, 0.5}, defaultSettings());
    EXPECT_FALSE(concave.outcome.lowered);
    EXPECT_EQ(bitsOf(concave.x), bitsOf(std::vector<double>{0.5, 0.5}));
}

TEST(Polish, RunsAgreeWithTheMinimumFoundBySupports)
{
    int polished = 0;
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        const uint32_t n = 6 + seed % 7;
        const CorpusProblem p = positiveDefinite(n, 2 + seed % (n - 2), seed % 2 ? 1e-6 : 1e-2, 100 + seed);
        long double minimum;
        std::vector<long double> minimiser;
        ASSERT_TRUE(minimumBySupports(p.Q, p.b, minimum, minimiser)) << seed;
        const CertifiedRun run = runWithDefault(p.Q, p.b);
        ASSERT_TRUE(run.report.converged) << seed;
        checkAnswer(p.Q, p.b, run, "supports");
        const long double above = objectiveInLongDouble(p.Q, p.b, run.x) - minimum;
        EXPECT_LE(above, run.report.gap + 1e-15L) << seed;
        EXPECT_GE(above, -1e-15L) << seed;
        polished += run.report.polishSteps > 0;
    }
    EXPECT_GE(polished, 20) << "the polish hardly ran: these runs test pair steps only";
}

// A Gaussian kernel of width on n points in the unit square.
std::vector<double> gaussianKernel(uint32_t n, double width, uint64_t seed, std::vector<double>* points = nullptr)
{
    Draw draw{seed};
    std::vector<double> px(n), py(n), Q(static_cast<size_t>(n) * n);
    for (uint32_t i = 0; i < n; ++i) {
        px[i] = unit(draw);
        py[i] = unit(draw);
    }
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r < n; ++r) {
            const double dx = px[r] - px[c], dy = py[r] - py[c];
            Q[r + static_cast<size_t>(c) * n] = std::exp(-(dx * dx + dy * dy) / (2 * width * width));
        }
    if (points)
        *points = px;
    return Q;
}

std::vector<double> rowMeans(const std::vector<double>& Q, uint32_t n)
{
    std::vector<double> b(n, 0.0);
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r < n; ++r)
            b[r] += Q[r + static_cast<size_t>(c) * n] / n;
    return b;
}

// b = Q w: the gradient vanishes at w, every weight of w a coordinate of
// the answer.
std::vector<double> realizable(const std::vector<double>& Q, uint32_t n, uint32_t every, uint64_t seed)
{
    Draw draw{seed};
    std::vector<double> w(n, 0.0), b(n, 0.0);
    double total = 0.0;
    for (uint32_t i = 0; i < n; i += every)
        total += w[i] = 0.5 + unit(draw);
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r < n; ++r)
            b[r] += Q[r + static_cast<size_t>(c) * n] * (w[c] / total);
    return b;
}

TEST(Polish, IllConditionedAndSingularSupportsConverge)
{
    // Wide kernels with b their row means (every point's weight 1/n solves
    // them, and Q is numerically singular), realizable mixtures, duplicate
    // points, and Q = A Aᵀ of rank 4 with n above it.
    struct Case {
        const char* name;
        std::vector<double> Q, b;
    };
    std::vector<Case> cases;
    for (double width : {0.5, 1.0}) {
        std::vector<double> Q = gaussianKernel(150, width, 21);
        cases.push_back({"wide kernel", Q, rowMeans(Q, 150)});
    }
    {
        std::vector<double> Q = gaussianKernel(200, 0.1, 22);
        cases.push_back({"realizable mixture", Q, realizable(Q, 200, 3, 5)});
    }
    {
        // Points 0..59 twice over: every column has a duplicate.
        const std::vector<double> half = gaussianKernel(60, 0.2, 23);
        std::vector<double> Q(120 * 120);
        for (uint32_t c = 0; c < 120; ++c)
            for (uint32_t r = 0; r < 120; ++r)
                Q[r + c * 120] = half[r % 60 + (c % 60) * 60];
        cases.push_back({"duplicate columns", Q, realizable(Q, 120, 2, 6)});
    }
    {
        const CorpusProblem low = positiveDefinite(50, 4, 0.0, 24);
        cases.push_back({"rank 4", low.Q, low.b});
        cases.push_back({"rank 4, realizable", low.Q, realizable(low.Q, 50, 1, 7)});
    }
    for (const Case& c : cases) {
        const CertifiedRun run = runWithDefault(c.Q, c.b);
        EXPECT_TRUE(run.report.converged) << c.name << ": gap " << run.report.gap << " above " << run.tol;
        EXPECT_GT(run.report.polishSteps, 0u) << c.name;
        checkAnswer(c.Q, c.b, run, c.name);
    }
}

// Q less sigma everywhere: on the simplex f changes by the constant
// sigma / 2, so the answer is Q's, although Q - sigma 11ᵀ is indefinite
// (its blocks on most supports are refused by the factor).
std::vector<double> lessOnes(std::vector<double> Q, double sigma)
{
    for (double& q : Q)
        q -= sigma;
    return Q;
}

TEST(Polish, AKernelLessSigmaOnesConvergesAsItsPositiveDefiniteTwin)
{
    // Kernels of three widths over 100 points, b = Bw for w positive on
    // every point: B converges in a few hundred pair steps with the
    // polish; B - sigma 11ᵀ, whose polish was refused, ran pair steps to
    // the cap (millions of them, as B's do when its polish is refused).
    // Converged, with the polish, in about as many steps as B.
    const uint64_t cap = 200000;
    for (double width : {0.2, 0.5, 1.0}) {
        const std::vector<double> B = gaussianKernel(100, width, 41);
        const std::vector<double> b = realizable(B, 100, 1, 12);
        const CertifiedRun twin = runCertified(B, b, defaultTolerance(B.data(), b.data(), 100), cap);
        ASSERT_TRUE(twin.report.converged) << width;
        for (double sigma : {0.1, 0.5, 2.0, 10.0}) {
            const std::vector<double> Q = lessOnes(B, sigma);
            const CertifiedRun run = runCertified(Q, b, defaultTolerance(Q.data(), b.data(), 100), cap);
            EXPECT_TRUE(run.report.converged) << "width " << width << ", sigma " << sigma << ": gap "
                                              << run.report.gap << " above " << run.tol << " after "
                                              << run.report.iterations << " steps";
            EXPECT_GT(run.report.polishSteps, 0u) << width << ", " << sigma;
            EXPECT_LE(run.report.iterations + run.report.polishSteps,
                      4 * (twin.report.iterations + twin.report.polishSteps))
                << width << ", " << sigma;
            checkAnswer(Q, b, run, "kernel less sigma 11'");
        }
    }
    // Small n against the minimum found by trying every support: within the
    // gap, which bounds the violation (checkAnswer).
    for (uint64_t seed = 1; seed <= 6; ++seed) {
        const std::vector<double> B = gaussianKernel(9, 0.3 + 0.1 * seed, 50 + seed);
        const std::vector<double> Q = lessOnes(B, seed % 2 ? 0.5 : 3.0);
        const std::vector<double> b = realizable(B, 9, 1 + seed % 3, seed);
        long double minimum;
        std::vector<long double> minimiser;
        ASSERT_TRUE(minimumBySupports(Q, b, minimum, minimiser)) << seed;
        const CertifiedRun run = runCertified(Q, b, defaultTolerance(Q.data(), b.data(), 9), cap);
        EXPECT_TRUE(run.report.converged) << seed;
        checkAnswer(Q, b, run, "small kernel less sigma 11'");
        const long double above = objectiveInLongDouble(Q, b, run.x) - minimum;
        EXPECT_LE(above, run.report.gap + 1e-15L) << seed;
        EXPECT_GE(above, -1e-15L) << seed;
    }
}

TEST(Polish, TakesRhoOnesWhereTheSupportsBlockIsRefused)
{
    // From the pair steps' kind of point (every weight positive, far from
    // the answer), B - 0.5 11ᵀ polishes as B does; -I + 0.2 11ᵀ, concave on
    // the simplex, is refused at every rho and left as it was.
    const std::vector<double> B = gaussianKernel(60, 0.5, 43);
    const std::vector<double> b = realizable(B, 60, 1, 13);
    const std::vector<double> start(60, 1.0 / 60);
    const Polished twin = polishFrom(B, b, start, defaultSettings());
    const Polished shifted = polishFrom(lessOnes(B, 0.5), b, start, defaultSettings());
    EXPECT_TRUE(twin.outcome.lowered);
    EXPECT_TRUE(shifted.outcome.lowered);
    EXPECT_LE(shifted.after.gap, 1e-13);
    EXPECT_LE(shifted.outcome.steps, 2 * twin.outcome.steps + 4);
    std::vector<double> concave(9, 0.2);
    for (uint32_t i = 0; i < 3; ++i)
        concave[i + 3 * i] = -0.8;
    const Polished refused = polishFrom(concave, {0.3, 0.1, 0.2}, {0.2, 0.5, 0.3}, defaultSettings());
    EXPECT_FALSE(refused.outcome.lowered);
    EXPECT_EQ(bitsOf(refused.x), bitsOf(std::vector<double>{0.2, 0.5, 0.3}));
}

TEST(Polish, TakesALargerBlockWhenTheSupportOutgrowsItsOwn)
{
    // Every weight positive at the answer (a kernel with a ridge, b = Qw
    // for w > 0 everywhere), from one vertex: the first block has room for
    // 17 rows. The polish takes larger ones and reaches the answer in one
    // go; with the larger block refused, it stops at the 17 rows (its
    // blocks given back either way: polishFrom counts them).
    const uint32_t n = 120;
    std::vector<double> Q = gaussianKernel(n, 0.3, 61);
    for (uint32_t i = 0; i < n; ++i)
        Q[i + static_cast<size_t>(i) * n] += 0.01;
    const std::vector<double> b = realizable(Q, n, 1, 14);
    std::vector<double> vertex(n, 0.0);
    vertex[7] = 1.0;
    const Polished grown = polishFrom(Q, b, vertex, givingBlocks(8));
    EXPECT_TRUE(grown.outcome.lowered);
    EXPECT_LE(grown.after.gap, 1e-13);
    uint32_t support = 0;
    for (double xi : grown.x)
        support += xi > 0.0;
    EXPECT_EQ(support, n);
    const Polished kept = polishFrom(Q, b, vertex, givingBlocks(1));
    EXPECT_TRUE(kept.outcome.lowered);
    support = 0;
    for (double xi : kept.x)
        support += xi > 0.0;
    EXPECT_LE(support, 17u);
    EXPECT_GT(kept.after.gap, 1e3 * grown.after.gap);
}

TEST(Polish, IndefiniteQNeverClaimsAGapItDoesNotHave)
{
    // Indefinite Q, and a convex Q with a concave part on some coordinates:
    // whatever the polish tries, the gap reported bounds the violation and
    // converged means that gap is within tol.
    for (uint64_t seed = 1; seed <= 30; ++seed) {
        CorpusProblem p = indefinite(10 + seed % 30, 300 + seed);
        if (seed % 2 == 0) {
            p = positiveDefinite(10 + seed % 30, 6, 1e-3, 300 + seed);
            for (uint32_t i = 0; i < p.n; i += 3)
                p.Q[i + static_cast<size_t>(i) * p.n] -= 2.0;
        }
        for (double tol : {defaultTolerance(p.Q.data(), p.b.data(), p.n), 1e-9}) {
            const CertifiedRun run = runCertified(p.Q, p.b, tol);
            const long double violation = checkAnswer(p.Q, p.b, run, "indefinite");
            if (run.report.converged) {
                EXPECT_LE(violation, static_cast<long double>(tol) * (1 + 1e-12L)) << seed;
            }
        }
    }
}

TEST(Polish, WithoutScratchPairStepsStillConvergeWithBitsOfTheirOwn)
{
    // The refused block leaves pair steps alone: converged, no polish step,
    // the same bits run after run; the polished run's answer differs in its
    // bits (it is another point within the tolerance).
    for (uint64_t seed = 1; seed <= 3; ++seed) {
        const CorpusProblem p = oneClassProblem(150, seed);
        const double tol = defaultTolerance(p.Q.data(), p.b.data(), p.n);
        const CertifiedRun alone = runCertified(p.Q, p.b, tol, generousCap, refusing());
        const CertifiedRun again = runCertified(p.Q, p.b, tol, generousCap, refusing());
        EXPECT_TRUE(alone.report.converged) << seed;
        EXPECT_EQ(alone.report.polishSteps, 0u);
        EXPECT_EQ(bitsOf(alone.x), bitsOf(again.x));
        checkAnswer(p.Q, p.b, alone, "refused");
        const CertifiedRun polished = runCertified(p.Q, p.b, tol);
        EXPECT_TRUE(polished.report.converged);
        EXPECT_GT(polished.report.polishSteps, 0u);
        EXPECT_LT(polished.report.iterations, alone.report.iterations) << seed;
    }
}

TEST(Polish, EveryVectorPathGivesTheSameBits)
{
    if (defaultSettings().path == VectorPath::baseline)
        GTEST_SKIP() << "this processor runs the baseline path only";
    SolverSettings baseline = defaultSettings(), widest = defaultSettings();
    baseline.path = VectorPath::baseline;
    // A kernel, and the same less 0.5 11ᵀ (whose factor takes rho 11ᵀ).
    const std::vector<double> B = gaussianKernel(180, 0.1, 31);
    const std::vector<double> b = realizable(B, 180, 4, 9);
    for (const std::vector<double>& Q : {B, lessOnes(B, 0.5)}) {
        const double tol = defaultTolerance(Q.data(), b.data(), 180);
        const CertifiedRun one = runCertified(Q, b, tol, generousCap, baseline);
        const CertifiedRun other = runCertified(Q, b, tol, generousCap, widest);
        EXPECT_GT(one.report.polishSteps, 0u);
        EXPECT_EQ(bitsOf(one.x), bitsOf(other.x));
        EXPECT_EQ(bitsOf(one.report.gap), bitsOf(other.report.gap));
        EXPECT_EQ(one.report.polishSteps, other.report.polishSteps);
    }
}

TEST(Rounds, AToleranceRoundingMakesUnreachableEndsPromptly)
{
    // One-class problems of 500 points at tol 0 and 1e-15: the last round
    // aims below what rounding lets the steps reach. It must end after
    // about as many steps as the rounds before it took (here: at most four
    // times the default tolerance's whole run, plus 2n), with the point of
    // least gap, whether or not the polish runs. Seed 5 stepped until the
    // cap before rounds had a budget.
    const uint64_t cap = 2000000;
    for (uint64_t seed : {1, 3, 5, 8}) {
        const CorpusProblem p = oneClassProblem(500, seed);
        for (const SolverSettings& settings : {defaultSettings(), refusing()}) {
            const CertifiedRun atDefault =
                runCertified(p.Q, p.b, defaultTolerance(p.Q.data(), p.b.data(), p.n), cap, settings);
            ASSERT_TRUE(atDefault.report.converged);
            for (double tol : {0.0, 1e-15}) {
                const CertifiedRun run = runCertified(p.Q, p.b, tol, cap, settings);
                EXPECT_FALSE(run.report.converged);
                EXPECT_LE(run.report.iterations, 4 * atDefault.report.iterations + 2 * p.n)
                    << "seed " << seed << ", tol " << tol;
                EXPECT_LE(run.report.gap, atDefault.report.gap) << seed;
                checkAnswer(p.Q, p.b, run, "unreachable");
            }
        }
    }
}

}  // namespace
