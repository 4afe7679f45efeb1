// certifiedSMO on Q described by points rather than stored: the Gaussian
// of points must give the answers of the stored matrix of its values to
// the last bit (every operation of its source gives each entry that
// matrix's bits, its products that matrix's sums); the linear kernel, whose
// products are V(V'x), a certified answer of the same problem. Whatever the
// cache holds, the answer is the same.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "certified/certified_smo.h"
#include "certified_reference.h"
#include "draw.h"
#include "solve.h"
#include "stand_in.h"
#include "common/problem.h"
#include "sources/dense_source.h"
#include "sources/vector_kernel.h"

namespace {

struct Answer {
    std::vector<double> x;
    CertifiedReport report;
};

// Points in clusters, so that answers have several weights.
std::vector<double> clusteredPoints(uint32_t n, uint32_t d, uint64_t seed)
{
    Draw draw{seed};
    std::vector<double> P(static_cast<size_t>(n) * d);
    for (uint32_t i = 0; i < n; ++i) {
        const double centre = (i % 3) * 0.5;
        for (uint32_t t = 0; t < d; ++t)
            P[i + static_cast<size_t>(t) * n] = centre + 0.3 * (unit(draw) - 0.5);
    }
    return P;
}

std::vector<double> formed(const VectorKernel& k)
{
    std::vector<double> Q(static_cast<size_t>(k.n) * k.n);
    for (uint32_t j = 0; j < k.n; ++j)
        kernelColumn(k, j, nullptr, k.n, Q.data() + at(0, j, k.n));
    return Q;
}

Answer solve(const QSource& q, const std::vector<double>& b, CertifiedSettings settings)
{
    Answer a{std::vector<double>(q.n, -1.0), CertifiedReport{}};
    const size_t blocks = standInLiveBlocks();
    certifiedSMO(q, b.data(), settings, a.x.data(), a.report);
    EXPECT_EQ(standInLiveBlocks(), blocks) << "scratch left behind";
    return a;
}

void expectSameAnswer(const Answer& got, const Answer& want, const char* label)
{
    EXPECT_EQ(bitsOf(got.x), bitsOf(want.x)) << label;
    EXPECT_EQ(bitsOf(got.report.gap), bitsOf(want.report.gap)) << label;
    EXPECT_EQ(bitsOf(got.report.objective), bitsOf(want.report.objective)) << label;
    EXPECT_EQ(got.report.iterations, want.report.iterations) << label;
    EXPECT_EQ(got.report.polishSteps, want.report.polishSteps) << label;
}

TEST(DescribedQ, GaussianOfPointsGivesTheStoredMatrixsAnswersToTheBit)
{
    // Cold, within bounds, from a start, with the smallest cache, on every
    // path: each the stored matrix's answer.
    const uint32_t n = 300, d = 4;
    const std::vector<double> P = clusteredPoints(n, d, 11);
    const VectorKernel kernel = gaussianOfPoints(P.data(), n, d, 0.2);
    const std::vector<double> Q = formed(kernel);
    const DenseMatrix stored{Q.data(), n};
    const QSource described = kernelSource(kernel), dense = denseSource(stored, false);
    Draw draw{5};
    std::vector<double> b(n), start(n, 1.0 / n), upper(n, 1.0 / 40);
    for (double& v : b)
        v = 0.05 * unit(draw);
    for (VectorPath path : {VectorPath::baseline, defaultSettings().path}) {
        SolverSettings solver = defaultSettings();
        solver.path = path;
        const double tol = defaultToleranceAtScale(1.0, b.data(), n, path);
        CertifiedSettings cold{tol, 10000000, nullptr, nullptr, nullptr, &solver, nullptr};
        const Answer want = solve(dense, b, cold);
        EXPECT_TRUE(want.report.converged);
        expectSameAnswer(solve(described, b, cold), want, "cold");
        CertifiedSettings tiny = cold;
        tiny.cacheBytes = 1.0;  // two columns, whatever n is
        expectSameAnswer(solve(described, b, tiny), want, "cache of two columns");
        CertifiedSettings bounded = cold;
        bounded.upper = upper.data();
        const Answer wantBounded = solve(dense, b, bounded);
        EXPECT_TRUE(wantBounded.report.converged);
        EXPECT_GT(wantBounded.report.atUpperBound, 0u);
        expectSameAnswer(solve(described, b, bounded), wantBounded, "bounded");
        CertifiedSettings warm = cold;
        warm.start = start.data();
        expectSameAnswer(solve(described, b, warm), solve(dense, b, warm), "warm");
    }
}

TEST(DescribedQ, LinearKernelAnswersAreCertifiedForTheirOwnMatrix)
{
    // Points and a Gram matrix of the same vectors, against an exact check
    // of the stored matrix of the same values and its optimum.
    const uint32_t n = 12, d = 3;
    const std::vector<double> P = clusteredPoints(n, d, 3);
    std::vector<double> C(static_cast<size_t>(d) * n);  // the points as columns
    for (uint32_t i = 0; i < n; ++i)
        for (uint32_t t = 0; t < d; ++t)
            C[t + static_cast<size_t>(i) * d] = P[i + static_cast<size_t>(t) * n];
    const VectorKernel ofPoints = linearOfPoints(P.data(), n, d), gram = gramOf(C.data(), d, n);
    const std::vector<double> Q = formed(ofPoints);
    EXPECT_EQ(bitsOf(Q), bitsOf(formed(gram)));
    Draw draw{8};
    std::vector<double> b(n);
    for (double& v : b)
        v = unit(draw);
    long double minimum;
    std::vector<long double> minimiser;
    ASSERT_TRUE(minimumBySupports(Q, b, minimum, minimiser));
    const double tol = defaultToleranceAtScale(kernelLargestEntry(ofPoints), b.data(), n, defaultSettings().path);
    for (const VectorKernel* kernel : {&ofPoints, &gram}) {
        const Answer a = solve(kernelSource(*kernel), b, CertifiedSettings{tol, 10000000, nullptr, nullptr, nullptr,
                                                                           nullptr, nullptr});
        ASSERT_TRUE(a.report.converged);
        long double error = 0;
        const long double violation = violationInLongDouble(Q, b, a.x, error);
        EXPECT_LE(static_cast<double>(violation - error), a.report.gap);
        const long double f = objectiveInLongDouble(Q, b, a.x);
        EXPECT_NEAR(static_cast<double>(f), a.report.objective, 1e-15);
        EXPECT_LE(static_cast<double>(f - minimum), a.report.gap + 1e-16);
    }
}

TEST(DescribedQ, ManyPointsInLinearTimeAndMemory)
{
    // A million points on a line, Q = p p': far past any stored Q, in O(n)
    // scratch. The answer is the point nearest b's direction.
    const uint32_t n = 1000000;
    std::vector<double> P(n);
    for (uint32_t i = 0; i < n; ++i)
        P[i] = 1.0 + (i % 1000) * 0.001;
    std::vector<double> b(n);
    for (uint32_t i = 0; i < n; ++i)
        b[i] = P[i] * 1.5;
    const VectorKernel kernel = linearOfPoints(P.data(), n, 1);
    const double tol = defaultToleranceAtScale(kernelLargestEntry(kernel), b.data(), n, defaultSettings().path);
    const Answer a = solve(kernelSource(kernel), b, CertifiedSettings{tol, 100000000, nullptr, nullptr, nullptr,
                                                                      nullptr, nullptr});
    EXPECT_TRUE(a.report.converged);
    // f(x) = (p'x)^2/2 - 1.5 p'x is least at p'x = 1.5, which the points
    // from 1 to 1.999 reach.
    double px = 0.0;
    for (uint32_t i = 0; i < n; ++i)
        px += P[i] * a.x[i];
    EXPECT_NEAR(px, 1.5, 1e-9);
}

}  // namespace
