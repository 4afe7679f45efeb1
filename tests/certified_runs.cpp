#include "certified_runs.h"

#include <cmath>

#include <gtest/gtest.h>

#include "certified_reference.h"
#include "draw.h"
#include "solve.h"
#include "stand_in.h"

CertifiedRun runCertified(const std::vector<double>& Q, const std::vector<double>& b, double tol, uint64_t cap)
{
    return runCertified(Q, b, tol, cap, defaultSettings());
}

CertifiedRun runCertified(const std::vector<double>& Q, const std::vector<double>& b, double tol, uint64_t cap,
                          const SolverSettings& settings)
{
    const uint32_t n = static_cast<uint32_t>(b.size());
    const std::vector<double> Qbefore = Q, bBefore = b;
    const size_t blocks = standInLiveBlocks();
    CertifiedRun run{std::vector<double>(n, -12345.0), CertifiedReport{-1.0, -1.0, 0, false, 0, 0, 0}, tol};
    certifiedSMO(Q.data(), b.data(), n, tol, cap, run.x.data(), run.report, settings);
    EXPECT_EQ(standInLiveBlocks(), blocks) << "scratch left behind";
    EXPECT_EQ(bitsOf(Q), bitsOf(Qbefore)) << "Q was written";
    EXPECT_EQ(bitsOf(b), bitsOf(bBefore)) << "b was written";
    return run;
}

CertifiedRun runWithDefault(const std::vector<double>& Q, const std::vector<double>& b)
{
    return runCertified(Q, b, defaultTolerance(Q.data(), b.data(), static_cast<uint32_t>(b.size())));
}

// x on the simplex (as far as rounding lets a sum of n weights be 1), the
// reported objective that of x, and the reported gap no smaller than the
// violation summed afresh in long double. Returns that violation.
long double checkAnswer(const std::vector<double>& Q, const std::vector<double>& b, const CertifiedRun& run,
                        const char* label)
{
    const size_t n = b.size();
    long double sum = 0;
    for (double xi : run.x) {
        EXPECT_GE(xi, 0.0) << label;
        sum += xi;
    }
    EXPECT_NEAR(static_cast<double>(sum), 1.0, 1e-12) << label;
    long double error = 0;
    const long double violation = violationInLongDouble(Q, b, run.x, error);
    EXPECT_LE(violation - error, static_cast<long double>(run.report.gap)) << label;
    const long double f = objectiveInLongDouble(Q, b, run.x);
    long double scale = 0;
    for (size_t i = 0; i < n * n; ++i)
        scale = std::fmax(scale, std::fabs(static_cast<long double>(Q[i])));
    for (double bi : b)
        scale = std::fmax(scale, std::fabs(static_cast<long double>(bi)));
    EXPECT_NEAR(static_cast<double>(f), run.report.objective, 1e-13 * static_cast<double>(scale) + 1e-300) << label;
    EXPECT_EQ(run.report.converged, run.report.gap <= run.tol) << label;
    return violation;
}

// A A' + delta I for an n-by-rank A of both signs: positive definite.
CorpusProblem positiveDefinite(uint32_t n, uint32_t rank, double delta, uint64_t seed)
{
    Draw draw{seed};
    std::vector<double> A(static_cast<size_t>(n) * rank);
    for (double& a : A)
        a = 2 * unit(draw) - 1;
    CorpusProblem p{"positive definite", n, std::vector<double>(static_cast<size_t>(n) * n), std::vector<double>(n)};
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r <= c; ++r) {
            double sum = r == c ? delta : 0.0;
            for (uint32_t l = 0; l < rank; ++l)
                sum += A[r + static_cast<size_t>(l) * n] * A[c + static_cast<size_t>(l) * n];
            p.Q[r + static_cast<size_t>(c) * n] = sum;
            p.Q[c + static_cast<size_t>(r) * n] = sum;
        }
    for (double& bi : p.b)
        bi = 2 * unit(draw) - 1;
    return p;
}

// A symmetric matrix of both signs: indefinite for n > 1 almost surely.
CorpusProblem indefinite(uint32_t n, uint64_t seed)
{
    Draw draw{seed};
    CorpusProblem p{"indefinite", n, std::vector<double>(static_cast<size_t>(n) * n), std::vector<double>(n)};
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r <= c; ++r) {
            const double v = 2 * unit(draw) - 1;
            p.Q[r + static_cast<size_t>(c) * n] = v;
            p.Q[c + static_cast<size_t>(r) * n] = v;
        }
    for (double& bi : p.b)
        bi = unit(draw);
    return p;
}

namespace {

void* refuse(size_t)
{
    return nullptr;
}

void neverGiven(void*)
{
    ADD_FAILURE() << "a refused block was given back";
}

}  // namespace

SolverSettings refusing()
{
    SolverSettings settings = defaultSettings();
    settings.optional = OptionalScratch{refuse, neverGiven};
    return settings;
}
