// certifiedSMO with upper bounds on the weights, against independent
// answers: the least objective over every split into weights at 0, at the
// bound and free, for small n; the gap summed afresh in long double over
// the weights below their bounds; the one feasible point of bounds that sum
// to 1; larger bounded problems (one-class at several ν, capped positive
// definite) through pair steps, shrinking and the polish; a warm start.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "certified_reference.h"
#include "certified_runs.h"
#include "certified/certified_smo.h"
#include "common/vector_path.h"
#include "corpus/corpus.h"
#include "draw.h"
#include "solve.h"
#include "stand_in.h"

namespace {

struct BoundedRun {
    std::vector<double> x;
    CertifiedReport report;
};

BoundedRun runBounded(const CorpusProblem& p, const std::vector<double>& upper, double tol,
                      const double* start = nullptr, const SolverSettings* solver = nullptr)
{
    const size_t blocks = standInLiveBlocks();
    BoundedRun run{std::vector<double>(p.n, -1.0), CertifiedReport{}};
    const CertifiedSettings settings{tol, generousCap, start, nullptr, nullptr, solver, upper.data()};
    certifiedSMO(p.Q.data(), p.b.data(), p.n, settings, run.x.data(), run.report);
    EXPECT_EQ(standInLiveBlocks(), blocks) << "scratch left behind";
    return run;
}

// What every bounded answer must be: 0 <= x <= u exactly, sum x = 1 as far
// as rounding lets it be, the reported gap no smaller than the violation
// over the weights below their bounds summed in long double, the reported
// objective that of x, the bound count right.
void checkBoundedAnswer(const CorpusProblem& p, const std::vector<double>& upper, const BoundedRun& run,
                        const char* label)
{
    long double sum = 0;
    uint32_t atBound = 0;
    for (uint32_t i = 0; i < p.n; ++i) {
        EXPECT_GE(run.x[i], 0.0) << label << " at " << i;
        EXPECT_LE(run.x[i], upper[i]) << label << " at " << i;
        sum += run.x[i];
        atBound += run.x[i] == upper[i];
    }
    EXPECT_NEAR(static_cast<double>(sum), 1.0, 1e-12) << label;
    EXPECT_EQ(run.report.atUpperBound, atBound) << label;
    long double error = 0;
    const long double violation = violationInLongDouble(p.Q, p.b, run.x, error, upper);
    EXPECT_LE(violation - error, static_cast<long double>(run.report.gap)) << label;
    EXPECT_NEAR(static_cast<double>(objectiveInLongDouble(p.Q, p.b, run.x)), run.report.objective, 1e-13) << label;
}

// Bounds for the small problems, by seed: drawn in [0.05, 0.55) with some
// +Inf; all finite and summing to just above 1; one of them 0.
std::vector<double> drawBounds(uint32_t n, uint64_t seed)
{
    Draw draw{seed * 7919};
    std::vector<double> upper(n);
    for (double& u : upper)
        u = unit(draw) < 0.25 ? INFINITY : 0.05 + 0.5 * unit(draw);
    double finiteSum = 0;
    bool unbounded = false;
    for (double u : upper) {
        finiteSum += std::isfinite(u) ? u : 0.0;
        unbounded = unbounded || !std::isfinite(u);
    }
    if (seed % 3 == 1 || (!unbounded && finiteSum < 1)) {
        // All finite, summing to 1 + 2^-30: a thin feasible set.
        double total = 0;
        for (double& u : upper) {
            u = std::isfinite(u) ? u : 0.3;
            total += u;
        }
        for (double& u : upper)
            u = u / total * (1 + 0x1p-30);
    }
    if (seed % 3 == 2)
        upper[seed % n] = 0.0;
    return upper;
}

TEST(CertifiedBounds, AgreesWithTheMinimumOverEverySplit)
{
    int compared = 0, binding = 0;
    for (uint64_t seed = 1; seed <= 60; ++seed) {
        const uint32_t n = 2 + seed % 6;
        const CorpusProblem p = positiveDefinite(n, 1 + seed % n, seed % 4 == 0 ? 1e-3 : 0.1, seed);
        const std::vector<double> upper = drawBounds(n, seed);
        long double minimum;
        if (!minimumWithinBounds(p.Q, p.b, upper, minimum))
            continue;  // a 0 bound can leave the rest short of 1
        const BoundedRun run = runBounded(p, upper, defaultTolerance(p.Q.data(), p.b.data(), n));
        ASSERT_TRUE(run.report.converged) << seed << " gap " << run.report.gap;
        checkBoundedAnswer(p, upper, run, "small");
        const long double f = objectiveInLongDouble(p.Q, p.b, run.x);
        EXPECT_LE(f - minimum, run.report.gap + 1e-14L) << seed;
        EXPECT_GE(f - minimum, -1e-12L) << seed;
        ++compared;
        binding += run.report.atUpperBound > 0;
    }
    EXPECT_GE(compared, 50);
    EXPECT_GE(binding, 30);
}

TEST(CertifiedBounds, BoundsSummingToOneLeaveTheirOnePoint)
{
    const CorpusProblem p = positiveDefinite(4, 2, 0.1, 5);
    // 1 exactly, and 1 less an ulp: the one point rounding allows.
    for (const std::vector<double>& upper : {std::vector<double>{0.25, 0.5, 0.125, 0.125},
                                             std::vector<double>{0.25, 0.5, 0.125, 0.125 - 0x1p-55}}) {
        const BoundedRun run = runBounded(p, upper, 0.0);
        EXPECT_TRUE(run.report.converged);
        EXPECT_EQ(run.report.gap, 0.0);
        EXPECT_EQ(run.report.iterations, 0u);
        EXPECT_EQ(bitsOf(run.x), bitsOf(upper));
        EXPECT_EQ(run.report.atUpperBound, 4u);
    }
}

TEST(CertifiedBounds, LargerProblemsConvergeWithinTheirBounds)
{
    uint64_t polished = 0;
    for (double nu : {0.01, 0.1, 0.5}) {
        const CorpusProblem p = oneClassProblem(300, 3);
        const std::vector<double> upper(p.n, 1.0 / (nu * p.n));
        const BoundedRun run = runBounded(p, upper, defaultTolerance(p.Q.data(), p.b.data(), p.n));
        ASSERT_TRUE(run.report.converged) << nu;
        checkBoundedAnswer(p, upper, run, "one-class");
        if (nu > 0.01) {
            EXPECT_GT(run.report.atUpperBound, 0u) << nu;
        }
        polished += run.report.polishSteps;
        // Started from its own answer, the run certifies it at once.
        const BoundedRun again = runBounded(p, upper, run.report.gap, run.x.data());
        EXPECT_TRUE(again.report.converged);
        EXPECT_EQ(again.report.iterations, 0u);
        EXPECT_EQ(bitsOf(again.x), bitsOf(run.x));
    }
    EXPECT_GT(polished, 0u) << "the polish never ran with bounds";
    for (double cap : {0.02, 0.05}) {
        CorpusProblem p = positiveDefinite(250, 6, 0.05, 9);
        const std::vector<double> upper(p.n, cap);
        const BoundedRun run = runBounded(p, upper, defaultTolerance(p.Q.data(), p.b.data(), p.n));
        ASSERT_TRUE(run.report.converged) << cap;
        checkBoundedAnswer(p, upper, run, "capped");
        // A warm start from the uniform point: no higher objective, converged.
        const std::vector<double> uniform(p.n, 1.0 / p.n);
        const BoundedRun warm = runBounded(p, upper, run.report.gap * 4, uniform.data());
        EXPECT_TRUE(warm.report.converged) << cap;
        checkBoundedAnswer(p, upper, warm, "capped, warm");
        EXPECT_LE(warm.report.objective, run.report.objective + run.report.gap * 4);
    }
}

TEST(CertifiedBounds, EveryVectorPathGivesTheSameBits)
{
    if (defaultSettings().path == VectorPath::baseline)
        GTEST_SKIP() << "this processor runs the baseline path only";
    SolverSettings baseline = defaultSettings(), widest = defaultSettings();
    baseline.path = VectorPath::baseline;
    const CorpusProblem p = oneClassProblem(300, 8);
    const std::vector<double> upper(p.n, 1.0 / (0.2 * p.n));
    const double tol = defaultTolerance(p.Q.data(), p.b.data(), p.n);
    const BoundedRun one = runBounded(p, upper, tol, nullptr, &baseline);
    const BoundedRun other = runBounded(p, upper, tol, nullptr, &widest);
    EXPECT_GT(one.report.polishSteps, 0u);
    EXPECT_EQ(bitsOf(one.x), bitsOf(other.x));
    EXPECT_EQ(bitsOf(one.report.gap), bitsOf(other.report.gap));
}

}  // namespace
