// certifiedSMO against independent answers: exact minima by supports for
// small n, its gap summed afresh in long double, and the cases where a
// solver of this kind goes wrong (flat and tied problems, duplicate rows,
// wide scales, indefinite Q, a cap, a tolerance it cannot meet).
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "certified_reference.h"
#include "certified_runs.h"
#include "certified/certified_smo.h"
#include "corpus/corpus.h"
#include "draw.h"
#include "solve.h"
#include "stand_in.h"

namespace {

// The KKT violation of f itself, whose gradient is ((Q + Q')/2) x - b
// whatever Q is, summed in long double; error receives a bound on how far
// those sums can be from the exact value.
long double violationOfF(const std::vector<double>& Q, const std::vector<double>& b, const std::vector<double>& x,
                         long double& error)
{
    const size_t n = b.size();
    const long double unit = std::numeric_limits<long double>::epsilon();
    long double hi = -INFINITY, lo = INFINITY;
    error = 0;
    for (size_t i = 0; i < n; ++i) {
        long double g = 0, magnitude = std::fabs(static_cast<long double>(b[i]));
        for (size_t k = 0; k < n; ++k) {
            const long double q = (static_cast<long double>(Q[i + k * n]) + Q[k + i * n]) * 0.5L;
            g += q * x[k];
            magnitude += std::fabs(q) * x[k];
        }
        g -= b[i];
        error = std::fmax(error, 2 * (2 * n + 4) * unit * magnitude);
        if (x[i] > 0)
            hi = std::fmax(hi, g);
        lo = std::fmin(lo, g);
    }
    return hi - lo;
}

std::vector<double> scaled(std::vector<double> values, int exponent)
{
    for (double& v : values)
        v = std::ldexp(v, exponent);
    return values;
}

TEST(CertifiedSMO, AgreesWithTheMinimumFoundBySupports)
{
    for (uint64_t seed = 1; seed <= 60; ++seed) {
        const uint32_t n = 2 + seed % 7;
        const CorpusProblem p = positiveDefinite(n, 1 + seed % n, seed % 3 == 0 ? 1e-3 : 0.1, seed);
        long double minimum;
        std::vector<long double> minimiser;
        ASSERT_TRUE(minimumBySupports(p.Q, p.b, minimum, minimiser)) << seed;
        for (double tol : {1e-6, 1e-10, defaultTolerance(p.Q.data(), p.b.data(), n)}) {
            const CertifiedRun run = runCertified(p.Q, p.b, tol);
            ASSERT_TRUE(run.report.converged) << seed << " " << tol;
            EXPECT_LE(run.report.gap, tol);
            checkAnswer(p.Q, p.b, run, "supports");
            // For positive semidefinite Q the gap bounds f(x) - f*.
            const long double above = objectiveInLongDouble(p.Q, p.b, run.x) - minimum;
            EXPECT_LE(above, run.report.gap + 1e-15L) << "seed " << seed << ", tol " << tol;
            EXPECT_GE(above, -1e-15L) << "below the minimum: seed " << seed;
        }
    }
}

TEST(CertifiedSMO, ItsGapBoundsTheViolationOnLargerProblems)
{
    for (uint64_t seed = 1; seed <= 6; ++seed) {
        const CorpusProblem kernel = oneClassProblem(40 + 30 * seed, seed);
        const CorpusProblem dense = positiveDefinite(60 + 20 * seed, 5, 1e-6, seed);
        for (const CorpusProblem* p : {&kernel, &dense}) {
            const CertifiedRun run = runWithDefault(p->Q, p->b);
            EXPECT_TRUE(run.report.converged) << p->name << " " << seed;
            EXPECT_GT(run.report.iterations, 0u);
            checkAnswer(p->Q, p->b, run, p->name.c_str());
        }
    }
}

TEST(CertifiedSMO, ExactGradientsAreThoseOfTheDefinedProducts)
{
    // The objective reported is computed from (Qx)_i summed as defined, over
    // ascending k from +0.0.
    const CorpusProblem p = oneClassProblem(50, 11);
    const CertifiedRun run = runCertified(p.Q, p.b, 1e-9);
    double f = 0.0;
    for (uint32_t i = 0; i < p.n; ++i)
        f += (run.x[i] * 0.5) * plainRowProduct(p.Q, run.x, i) - run.x[i] * p.b[i];
    EXPECT_EQ(bitsOf(run.report.objective), bitsOf(f));
}

TEST(CertifiedSMO, FlatTiedAndDuplicateProblems)
{
    // Q = 0: all weight on the first largest b.
    const std::vector<double> b = {0.5, -2, 3, 1, 3};
    CertifiedRun run = runWithDefault(std::vector<double>(25, 0.0), b);
    EXPECT_EQ(run.x, (std::vector<double>{0, 0, 1, 0, 0}));
    EXPECT_TRUE(run.report.converged);
    EXPECT_EQ(run.report.objective, -3.0);

    // Q = I, b constant: the uniform weights, reached exactly enough.
    const uint32_t n = 9;
    std::vector<double> identity(n * n, 0.0);
    for (uint32_t i = 0; i < n; ++i)
        identity[i + i * n] = 1.0;
    run = runWithDefault(identity, std::vector<double>(n, 1.0));
    EXPECT_TRUE(run.report.converged);
    for (double xi : run.x)
        EXPECT_NEAR(xi, 1.0 / n, 1e-12);
    checkAnswer(identity, std::vector<double>(n, 1.0), run, "identity");

    // Duplicate rows and columns (repeated points of a kernel): a_ij = 0
    // along those pairs.
    const CorpusProblem repeated = tiedProblem(30, 4);
    run = runWithDefault(repeated.Q, repeated.b);
    EXPECT_TRUE(run.report.converged);
    checkAnswer(repeated.Q, repeated.b, run, "tied");
    // b = 0 (minimum variance) needs no sum of b.
    run = runWithDefault(repeated.Q, std::vector<double>(30, 0.0));
    EXPECT_TRUE(run.report.converged);
    checkAnswer(repeated.Q, std::vector<double>(30, 0.0), run, "b = 0");
}

TEST(CertifiedSMO, OneCoordinateAndNone)
{
    const CertifiedRun one = runCertified({-7.5}, {2.0}, 0.0);
    EXPECT_EQ(one.x, std::vector<double>{1.0});
    EXPECT_EQ(one.report.gap, 0.0);
    EXPECT_TRUE(one.report.converged);
    EXPECT_EQ(one.report.iterations, 0u);
    EXPECT_EQ(one.report.objective, -7.5 * 0.5 - 2.0);

    CertifiedReport report{-1, -1, 7, false, 7, 7, 7};
    certifiedSMO(nullptr, nullptr, 0, 1e-9, 10, nullptr, report);
    EXPECT_EQ(report.gap, 0.0);
    EXPECT_EQ(report.iterations, 0u);
    EXPECT_TRUE(report.converged);
}

TEST(CertifiedSMO, ScalingByPowersOfTwoScalesNothingButTheNumbers)
{
    // Every operation scales exactly, so x has the same bits; the default
    // tolerance scales with Q and b.
    const CorpusProblem p = oneClassProblem(60, 3);
    const CertifiedRun reference = runWithDefault(p.Q, p.b);
    for (double factor : {0x1p-600, 0x1p-40, 0x1p40, 0x1p600}) {
        std::vector<double> Q = p.Q, b = p.b;
        for (double& q : Q)
            q *= factor;
        for (double& bi : b)
            bi *= factor;
        const CertifiedRun scaled = runWithDefault(Q, b);
        EXPECT_EQ(bitsOf(scaled.x), bitsOf(reference.x)) << factor;
        EXPECT_EQ(scaled.report.gap, reference.report.gap * factor) << factor;
        EXPECT_TRUE(scaled.report.converged) << factor;
    }
}

TEST(CertifiedSMO, BadlyScaledRowsStillConverge)
{
    // D K D with D from 1e-6 to 1e6: curvatures over twenty-four decades.
    const CorpusProblem kernel = oneClassProblem(25, 8);
    std::vector<double> Q = kernel.Q, b(25);
    for (uint32_t c = 0; c < 25; ++c) {
        const double dc = std::pow(10.0, -6.0 + c / 2.0);
        b[c] = dc;
        for (uint32_t r = 0; r < 25; ++r)
            Q[r + c * 25] *= dc * std::pow(10.0, -6.0 + r / 2.0);
    }
    const CertifiedRun run = runWithDefault(Q, b);
    EXPECT_TRUE(run.report.converged);
    checkAnswer(Q, b, run, "badly scaled");
}

TEST(CertifiedSMO, IndefiniteQEndsAtAFirstOrderPoint)
{
    for (uint64_t seed = 1; seed <= 20; ++seed) {
        const CorpusProblem p = indefinite(3 + seed % 20, seed);
        const CertifiedRun run = runWithDefault(p.Q, p.b);
        EXPECT_TRUE(run.report.converged) << seed;
        long double error = 0;
        EXPECT_LE(violationInLongDouble(p.Q, p.b, run.x, error) - error,
                  static_cast<long double>(defaultTolerance(p.Q.data(), p.b.data(), p.n)))
            << seed;
        checkAnswer(p.Q, p.b, run, "indefinite");
    }
    // Concave everywhere: ends at a vertex, a local minimum.
    const std::vector<double> concave = {-1, 0, 0, 0, -1, 0, 0, 0, -1};
    const CertifiedRun vertex = runWithDefault(concave, {0.1, 0.3, 0.2});
    EXPECT_EQ(vertex.x, (std::vector<double>{0, 1, 0}));
    EXPECT_TRUE(vertex.report.converged);
}

TEST(CertifiedSMO, NonSymmetricQIsCertifiedOnlyWhereFIsFirstOrder)
{
    // f's gradient is ((Q + Q')/2) x - b. Here Qx - b meets the first-order
    // conditions at (0, 1), where f = 1, while f's minimiser is (0.5, 0.5).
    const std::vector<double> Q = {2, -2, 2, 2};
    for (double tol : {1e-6, defaultTolerance(Q.data(), std::vector<double>{0, 0}.data(), 2)}) {
        const CertifiedRun run = runCertified(Q, {0, 0}, tol);
        long double error;
        const long double violation = violationOfF(Q, {0, 0}, run.x, error);
        EXPECT_LE(violation - error, static_cast<long double>(run.report.gap)) << tol;
        EXPECT_TRUE(!run.report.converged || violation <= tol) << tol;
    }
    // Random Q, from unsymmetric in the last bit to not symmetric at all:
    // every gap bounds f's violation, and a last-bit asymmetry still
    // converges.
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        CorpusProblem p = seed % 2 ? positiveDefinite(4 + seed % 17, 3, 0.1, seed) : oneClassProblem(30, seed);
        Draw draw{seed};
        const double skew = std::ldexp(1.0, -static_cast<int>(2 * (seed % 27)));
        for (uint32_t c = 0; c < p.n; ++c)
            for (uint32_t r = c + 1; r < p.n; ++r)
                p.Q[r + c * p.n] += skew * (2 * unit(draw) - 1) * std::fabs(p.Q[r + c * p.n]);
        const CertifiedRun run = runWithDefault(p.Q, p.b);
        long double error;
        const long double violation = violationOfF(p.Q, p.b, run.x, error);
        EXPECT_LE(violation - error, static_cast<long double>(run.report.gap)) << "seed " << seed;
        if (skew <= 0x1p-50) {
            EXPECT_TRUE(run.report.converged) << "seed " << seed << ", asymmetry " << skew;
        }
    }
}

TEST(CertifiedSMO, StronglyUnsymmetricQIsSolvedThroughItsSymmetricPart)
{
    // Q = S + A, A antisymmetric and large: f is S's alone, and the answer
    // is S's minimiser, converged at the default tolerance, its gap no
    // lower than f's violation, in pair steps far below the cap.
    for (uint32_t n : {3u, 10u, 50u})
        for (uint64_t seed = 1; seed <= 20; ++seed) {
            const CorpusProblem p = positiveDefinite(n, 1 + seed % n, 0.1, seed);
            std::vector<double> Q = p.Q;
            Draw draw{seed * 977 + n};
            for (uint32_t c = 0; c < n; ++c)
                for (uint32_t r = c + 1; r < n; ++r) {
                    const double a = 20 * (2 * unit(draw) - 1);
                    Q[r + c * n] += a;
                    Q[c + r * n] -= a;
                }
            const CertifiedRun run = runWithDefault(Q, p.b);
            ASSERT_TRUE(run.report.converged) << "n " << n << ", seed " << seed << ", gap " << run.report.gap;
            EXPECT_LT(run.report.iterations, 100000u) << "n " << n << ", seed " << seed;
            long double error;
            const long double violation = violationOfF(Q, p.b, run.x, error);
            EXPECT_LE(violation - error, static_cast<long double>(run.report.gap)) << "n " << n << ", seed " << seed;
            double sum = 0;
            for (double w : run.x) {
                EXPECT_GE(w, 0.0);
                sum += w;
            }
            EXPECT_NEAR(sum, 1.0, (n + 16) * 0x1p-52);
            if (n <= 10) {
                long double minimum;
                std::vector<long double> minimiser;
                ASSERT_TRUE(minimumBySupports(p.Q, p.b, minimum, minimiser));
                const long double above = objectiveInLongDouble(p.Q, p.b, run.x) - minimum;
                EXPECT_LE(above, run.report.gap + 1e-14L) << "n " << n << ", seed " << seed;
            }
        }
}

TEST(CertifiedSMO, EveryAnswerIsOnTheSimplexAndAcceptedBackAsAStart)
{
    // Q = S + A, A antisymmetric, n = 10 (by columns): pair steps on Q
    // itself cycle until the cap, each step's rounding moving sum(x), which
    // ended 3.5e-11 from 1 after 10^7 steps, outside what a start may be
    // off by. Solved through its symmetric part, and, with no room for
    // that (optional scratch refused), on Q itself to the cap.
    const std::vector<double> Q = {
        4.16818574239427, -0.03876643882896147, 3.7727293354249305, -1.6237634472982208, -1.9949781768623462, 4.866704741498669, -7.133959136512876, 9.60532389698641, 1.7325371093602477, 2.305651811354352,
        3.783643906248553, 1.2821002882148833, -0.11884535519828887, -1.1837373472620136, 6.591033679507058, -0.8716684993907791, 6.701880184806683, 3.7931964021017635, 3.029858411115054, -0.3984197692872016,
        -2.808600665929287, 1.9452683288002959, 1.6493702020174283, -7.956959135922599, 5.955148579079063, -3.0282923565696365, -9.531827117496292, -1.5076522424413277, -0.8928005139016832, -4.788741398646351,
        -1.5431855969564239, -0.5068936146665699, 7.078759305086923, 0.7587166678860419, -4.369971925805596, 0.12346947582009093, 1.14167511716765, -7.6633323070488695, 4.446506270129349, -0.7923712564085221,
        4.930664671152485, -5.105481880643088, -5.317261456054299, 3.1784318439259254, 0.6437043263140091, -2.000681001397071, 2.0843539396950495, -3.072899441505123, 0.858422225952725, 5.243912534244398,
        -7.1608216967375675, -2.5442168381616455, -2.337587057192195, 1.627893153741386, 0.6779249127188347, 4.770757346376675, -1.1551590715523474, -0.6834740736881262, 0.39778328400797314, -6.820491431070231,
        10.552212518098951, -6.151607306800983, 7.728674267238816, -2.100061507222237, -1.065596028166126, 3.9603884066466577, 1.634953837066869, 1.5241371698845674, 5.963580093266128, -3.227465186202707,
        -9.020058526414468, -3.6598375816056645, 1.2834095314548897, 7.485002076915669, 3.2555390416734924, 1.0195704004367823, -1.0610273770819854, 0.1354905655268003, -6.049939522558496, 1.6474440928617566,
        -2.7747152932433785, -1.7802364222589695, 4.5020017584181105, -4.669866195957992, -0.8717245397561983, -6.475021476924949, -9.163210072635056, 5.60777627486582, 2.500978967860805, 2.139886995949989,
        -4.947583886391925, 0.1318336410521539, 6.524963747666362, 1.4753678011323714, -5.998009009830614, 4.067624571012594, 0.601290460741339, -2.0390779215773494, 0.7615423409130626, 1.23248794596851};
    const std::vector<double> b = {-0.3031327426433563, 0.6610565185546875, -0.008114634081721306, -0.3177083730697632, 0.1786208599805832, 0.3990940451622009, -1.7405102252960205, -1.4382987022399902, -0.11065821349620819, -0.5439820885658264};
    for (bool room : {true, false}) {
        const CertifiedRun run = room ? runCertified(Q, b, defaultTolerance(Q.data(), b.data(), 10), 10000000)
                                      : runCertified(Q, b, defaultTolerance(Q.data(), b.data(), 10), 1000000,
                                                     refusing());
        EXPECT_EQ(run.report.converged, room);
        double sum = 0;
        for (double w : run.x) {
            EXPECT_GE(w, 0.0);
            sum += w;
        }
        // What InitialPoint accepts: (n + 16) eps.
        EXPECT_LE(std::fabs(sum - 1), (10 + 16) * 0x1p-52) << (room ? "symmetric part" : "Q itself");
        long double error;
        EXPECT_LE(violationOfF(Q, b, run.x, error) - error, static_cast<long double>(run.report.gap));
    }
}

TEST(CertifiedSMO, ZeroAndSubnormalDataMeetTheDefaultTolerance)
{
    // All zero: every point is a minimiser.
    CertifiedRun run = runWithDefault(std::vector<double>(9, 0.0), std::vector<double>(3, 0.0));
    EXPECT_TRUE(run.report.converged) << run.report.gap;
    EXPECT_EQ(run.report.objective, 0.0);
    // An exact minimiser at a subnormal scale: x = (1, 0), g = (1, 1) 1e-310.
    const std::vector<double> Q = {2e-310, 1e-310, 1e-310, 2e-310};
    run = runWithDefault(Q, {1e-310, 0});
    EXPECT_TRUE(run.report.converged) << run.report.gap << " above " << run.tol;
    EXPECT_EQ(run.x, (std::vector<double>{1, 0}));
    // Random problems with every entry subnormal or near it.
    for (uint64_t seed = 1; seed <= 5; ++seed) {
        const CorpusProblem p = positiveDefinite(12, 4, 0.1, seed);
        for (int exponent : {-1000, -1030, -1060}) {
            run = runWithDefault(scaled(p.Q, exponent), scaled(p.b, exponent));
            EXPECT_TRUE(run.report.converged) << "seed " << seed << ", 2^" << exponent;
            checkAnswer(scaled(p.Q, exponent), scaled(p.b, exponent), run, "subnormal");
        }
    }
    // Near-duplicate columns at scales where the polish, which computes in
    // the data's units, works among subnormals: its points' gaps carry a
    // few units of 2^-1074 per weight, which the default tolerance allows.
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        CorpusProblem p = positiveDefinite(4 + seed % 12, 3, 1e-3, seed);
        Draw draw{seed};
        for (uint32_t r = 0; r < p.n; ++r)
            p.Q[r + p.n] = p.Q[1 + r * p.n] = p.Q[r] + 1e-12 * (2 * unit(draw) - 1);
        p.Q[1 + p.n] = p.Q[0] + 1e-12;
        for (int exponent : {-1040, -1060}) {
            run = runWithDefault(scaled(p.Q, exponent), scaled(p.b, exponent));
            EXPECT_TRUE(run.report.converged) << "near-duplicate, seed " << seed << ", 2^" << exponent << ": gap "
                                              << run.report.gap << " above " << run.tol;
        }
    }
}

// Q = B B' for an n-by-rank B of entries in [-1, 1], its columns scaled by
// 10^(spread (2u - 1)): low rank, and for spread > 0 ill-conditioned on
// every support larger than the rank. b in [-1, 1], or Q times a random
// point (a fit whose target is a mixture of the columns).
CorpusProblem lowRankFit(uint32_t n, uint32_t rank, double spread, bool mixture, uint64_t seed)
{
    Draw draw{seed * 7919 + n};
    std::vector<double> B(static_cast<size_t>(n) * rank);
    for (uint32_t c = 0; c < rank; ++c) {
        const double scale = std::pow(10.0, spread * (2 * unit(draw) - 1));
        for (uint32_t r = 0; r < n; ++r)
            B[r + c * n] = scale * (2 * unit(draw) - 1);
    }
    CorpusProblem p;
    p.n = n;
    p.Q.assign(static_cast<size_t>(n) * n, 0.0);
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = c; r < n; ++r) {
            double sum = 0;
            for (uint32_t k = 0; k < rank; ++k)
                sum += B[r + k * n] * B[c + k * n];
            p.Q[r + c * n] = p.Q[c + r * n] = sum;
        }
    p.b.resize(n);
    std::vector<double> point(n);
    for (uint32_t i = 0; i < n; ++i) {
        p.b[i] = 2 * unit(draw) - 1;
        point[i] = unit(draw);
    }
    if (mixture)
        for (uint32_t i = 0; i < n; ++i) {
            double sum = 0;
            for (uint32_t k = 0; k < n; ++k)
                sum += p.Q[i + k * n] * point[k];
            p.b[i] = sum;
        }
    return p;
}

TEST(CertifiedSMO, SmallLowRankFitsMeetTheDefaultTolerance)
{
    // Thousands of small fits of low rank, some ill-conditioned: runs used
    // to end a hair above the default tolerance (the gap fell, but by less
    // than half, where f no longer moves) or far above it (rounds too short
    // for steps that zig-zag, a polish that waited for a gap they did not
    // reach), where a warm restart from their point converged.
    int unconverged = 0;
    for (uint64_t seed = 1; seed <= 6000; ++seed) {
        const uint32_t n = 5 + seed % 20, rank = 1 + (seed / 20) % 6;
        const double spread = seed % 3 == 0 ? 1.0 : 0.0;
        const CorpusProblem p = lowRankFit(n, rank, spread, seed % 5 == 0, seed);
        const CertifiedRun run = runWithDefault(p.Q, p.b);
        if (!run.report.converged) {
            ++unconverged;
            ADD_FAILURE() << "seed " << seed << ", n " << n << ", rank " << rank << ": gap " << run.report.gap
                          << " above " << run.tol << " after " << run.report.iterations << " steps";
        }
        if (seed % 50 == 0)
            checkAnswer(p.Q, p.b, run, "low rank");
    }
    EXPECT_EQ(unconverged, 0);
}

TEST(CertifiedSMO, EntriesFarAboveTheDiagonalAndBKeepTheProductsFinite)
{
    // The diagonal, b and the start's column (coordinate 2) near 1e-300,
    // and Q(0,1) = Q(1,0) = -big: the run goes from e_2 to the edge from
    // e_0 to e_1, whose minimum, near (0.5, 0.5, 0), has products of Q and
    // x near big / 2, finite; so must the gap and objective be.
    for (double big : {1e10, 1e200, 1.7e308}) {
        const std::vector<double> Q = {2e-300, -big, 0, -big, 2e-300, 0, 0, 0, 1e-300};
        const std::vector<double> b = {3e-300, 3e-300, 3.5e-300};
        // A tol below e_2's gap (the default, relative to big, is far above it).
        const CertifiedRun run = runCertified(Q, b, 1e-305);
        EXPECT_TRUE(std::isfinite(run.report.gap)) << big;
        EXPECT_TRUE(std::isfinite(run.report.objective)) << big;
        // Where the tiny entries still show at big's scale, the steps reach the edge.
        if (big < 1e100) {
            EXPECT_LT(run.report.objective, -big / 8) << big;
        }
        checkAnswer(Q, b, run, "wide span");
    }
}

TEST(CertifiedSMO, EveryScaleOfTwoGivesTheSameAnswer)
{
    // Q and b times 2^k: x the same to the last bit, the gap and objective
    // times 2^k exactly where that is a normal number (above it by at most
    // a unit of the last place where it is subnormal). Each tolerance is a
    // power of two, the same in the data's units at every k.
    const int exponents[] = {-1000, -600, -100, 0, 100, 600, 1000};
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        CorpusProblem p = seed % 3 == 0   ? oneClassProblem(40, seed)
                          : seed % 3 == 1 ? positiveDefinite(8 + seed, 3, 1e-3, seed)
                                          : indefinite(5 + seed, seed);
        if (seed % 3 == 2)  // a zero diagonal: every pair's curvature is tau's
            for (uint32_t k = 0; k < p.n; ++k)
                p.Q[k + k * p.n] = 0.0;
        const CertifiedRun reference = runCertified(p.Q, p.b, 0x1p-36);
        for (int k : exponents) {
            const CertifiedRun run = runCertified(scaled(p.Q, k), scaled(p.b, k), std::ldexp(0x1p-36, k));
            EXPECT_EQ(bitsOf(run.x), bitsOf(reference.x)) << "seed " << seed << ", 2^" << k;
            EXPECT_EQ(run.report.converged, reference.report.converged) << "seed " << seed << ", 2^" << k;
            EXPECT_EQ(run.report.iterations, reference.report.iterations) << "seed " << seed << ", 2^" << k;
            for (const double* value : {&run.report.gap, &run.report.objective}) {
                const double original = value == &run.report.gap ? reference.report.gap : reference.report.objective;
                const double expected = std::ldexp(original, k);
                if (std::fabs(expected) >= 0x1p-1022 || expected == 0.0)
                    EXPECT_EQ(*value, expected) << "seed " << seed << ", 2^" << k;
                else
                    EXPECT_NEAR(*value, expected, 0x1p-1073) << "seed " << seed << ", 2^" << k;
            }
        }
    }
}

TEST(CertifiedSMO, TheCapEndsTheRunUnconverged)
{
    const CorpusProblem p = oneClassProblem(80, 5);
    const CertifiedRun full = runCertified(p.Q, p.b, 1e-12);
    ASSERT_GT(full.report.iterations, 5u);
    const CertifiedRun capped = runCertified(p.Q, p.b, 1e-12, 5);
    EXPECT_EQ(capped.report.iterations, 5u);
    EXPECT_FALSE(capped.report.converged);
    EXPECT_GT(capped.report.gap, 1e-12);
    checkAnswer(p.Q, p.b, capped, "capped");
    const CertifiedRun none = runCertified(p.Q, p.b, 1e-12, 0);
    EXPECT_EQ(none.report.iterations, 0u);
    EXPECT_FALSE(none.report.converged);
}

TEST(CertifiedSMO, ALongerRunEndsNoWorseThanAShorterOne)
{
    // On a mixture fit the steps reach 1e-6 soon but the default tolerance
    // only after very many steps, if at all. Given several times the steps
    // that reached 1e-6, the run at the default tolerance must end at least
    // as close, not at a point polished for the whole run on a face that
    // coordinates shrunk away early would have left.
    for (uint64_t seed = 1; seed <= 3; ++seed) {
        const CorpusProblem p = mixtureProblem(300, seed);
        const CertifiedRun loose = runCertified(p.Q, p.b, 1e-6);
        ASSERT_TRUE(loose.report.converged);
        const double tol = defaultTolerance(p.Q.data(), p.b.data(), p.n);
        const CertifiedRun tight = runCertified(p.Q, p.b, tol, 4 * loose.report.iterations);
        EXPECT_LE(tight.report.gap, loose.report.gap) << "seed " << seed;
        checkAnswer(p.Q, p.b, tight, "mixture");
    }
}

TEST(CertifiedSMO, ATolerancePastRoundingEndsUnconverged)
{
    // tol = 0 cannot be certified: the run still ends, soon, with a sound
    // answer and its gap.
    for (uint64_t seed = 1; seed <= 4; ++seed) {
        const CorpusProblem p = seed % 2 ? oneClassProblem(50, seed) : positiveDefinite(50, 5, 0.1, seed);
        const CertifiedRun run = runCertified(p.Q, p.b, 0.0);
        EXPECT_FALSE(run.report.converged);
        EXPECT_LT(run.report.iterations, 1000000u);
        EXPECT_LE(run.report.gap, defaultTolerance(p.Q.data(), p.b.data(), p.n));
        checkAnswer(p.Q, p.b, run, "tol 0");
    }
}

TEST(CertifiedSMO, HugeEntriesLeaveAnHonestGap)
{
    // The start is a minimiser, but at this scale rounding could hide a
    // violation of up to about 1e293, and the gap says so.
    const std::vector<double> Q = {1e308, -1e308, -1e308, 1e308};
    const CertifiedRun run = runCertified(Q, {1e308, -1e308}, 1e-6);
    EXPECT_FALSE(run.report.converged);
    EXPECT_GT(run.report.gap, 1e290);
    EXPECT_EQ(run.x, (std::vector<double>{1, 0}));
}

TEST(CertifiedSMO, DefaultToleranceFollowsTheLargestEntry)
{
    const std::vector<double> Q = {2, -8, -8, 1};
    EXPECT_EQ(defaultTolerance(Q.data(), std::vector<double>{1, 0.5}.data(), 2), 8 * (16 * 2 + 128) * 0x1p-53);
    EXPECT_EQ(defaultTolerance(Q.data(), std::vector<double>{1, -32}.data(), 2), 32 * (16 * 2 + 128) * 0x1p-53);
}

}  // namespace

// The progress call sees every exact check: steps that never go back, and
// for a converged run a last check that is the answer. From the answer
// itself, the one check is the start's, before any step.
TEST(CertifiedSMO, ProgressTellsEachCheckAndEndsAtTheAnswer)
{
    struct Seen {
        std::vector<CertifiedProgress> records;
        static void note(void* context, const CertifiedProgress& progress)
        {
            static_cast<Seen*>(context)->records.push_back(progress);
        }
    };
    const CorpusProblem p = mixtureProblem(150, 21);
    const double tol = defaultTolerance(p.Q.data(), p.b.data(), p.n);
    Seen cold;
    std::vector<double> x(p.n);
    CertifiedReport report;
    certifiedSMO(p.Q.data(), p.b.data(), p.n, CertifiedSettings{tol, generousCap, nullptr, Seen::note, &cold, nullptr, nullptr}, x.data(),
                 report);
    ASSERT_TRUE(report.converged);
    ASSERT_FALSE(cold.records.empty());
    // Pair steps, and the polish where it lowered the gap of the check just
    // before it (at the same count of pair steps).
    uint64_t steps = 0;
    size_t polished = 0;
    for (size_t r = 0; r < cold.records.size(); ++r) {
        const CertifiedProgress& record = cold.records[r];
        EXPECT_GE(record.iterations, steps);
        steps = record.iterations;
        if (record.phase == CertifiedPhase::polish) {
            ++polished;
            ASSERT_GT(r, 0u);
            EXPECT_EQ(cold.records[r - 1].phase, CertifiedPhase::pairSteps);
            EXPECT_EQ(cold.records[r - 1].iterations, record.iterations);
            EXPECT_LT(record.gap, cold.records[r - 1].gap);
        } else {
            EXPECT_EQ(record.phase, CertifiedPhase::pairSteps);
        }
    }
    EXPECT_GT(polished, 0u) << "the polish did not run: its phase is not tested";
    const CertifiedProgress& last = cold.records.back();
    EXPECT_EQ(last.iterations, report.iterations);
    EXPECT_EQ(bitsOf(last.gap), bitsOf(report.gap));
    EXPECT_EQ(bitsOf(last.objective), bitsOf(report.objective));
    size_t support = 0;
    for (double weight : x)
        support += weight > 0.0;
    EXPECT_EQ(last.support, support);
    EXPECT_EQ(report.support, support);

    // From the answer, in place: x is both the start and the result.
    Seen warm;
    const std::vector<double> answer = x;
    certifiedSMO(p.Q.data(), p.b.data(), p.n, CertifiedSettings{tol, generousCap, x.data(), Seen::note, &warm, nullptr, nullptr},
                 x.data(), report);
    ASSERT_EQ(warm.records.size(), 1u);
    EXPECT_EQ(warm.records[0].phase, CertifiedPhase::start);
    EXPECT_EQ(warm.records[0].iterations, 0u);
    EXPECT_EQ(report.iterations, 0u);
    EXPECT_EQ(bitsOf(x), bitsOf(answer));
}

// However few the steps and however unreachable tol, a run from a start
// answers with a point of no higher objective than the start's, as the
// run itself computes it (MaxIterations = 0 gives the start's own).
TEST(CertifiedSMO, AWarmStartNeverEndsAboveItsStart)
{
    for (uint64_t seed = 30; seed < 34; ++seed) {
        const CorpusProblem p = seed % 2 ? mixtureProblem(100, seed) : oneClassProblem(100, seed);
        std::vector<double> start(p.n, 0.0);
        const uint32_t first = seed % 3, count = (p.n - first + 2) / 3;
        for (uint32_t k = first; k < p.n; k += 3)
            start[k] = 1.0 / count;
        std::vector<double> x(p.n);
        CertifiedReport atStart, report;
        certifiedSMO(p.Q.data(), p.b.data(), p.n, CertifiedSettings{0.0, 0, start.data(), nullptr, nullptr, nullptr, nullptr},
                     x.data(), atStart);
        EXPECT_EQ(bitsOf(x), bitsOf(start));
        for (uint64_t cap : {1u, 10u, 1000u, 100000u}) {
            certifiedSMO(p.Q.data(), p.b.data(), p.n, CertifiedSettings{0.0, cap, start.data(), nullptr, nullptr, nullptr, nullptr},
                         x.data(), report);
            EXPECT_LE(report.objective, atStart.objective) << p.name << " cap " << cap;
            EXPECT_LE(report.gap, atStart.gap) << p.name << " cap " << cap;
            EXPECT_LE(report.iterations, cap);
        }
    }
}
