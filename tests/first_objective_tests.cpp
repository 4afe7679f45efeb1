// multUpdate's first tolerance test, decided from row products where the
// column products, which define the first objective, cannot change it.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "corpus/corpus.h"
#include "mult_update/first_objective.h"
#include "common/solver_settings.h"
#include "common/problem.h"
#include "common/products.h"
#include "common/vector_loops.h"

namespace {

struct Objectives {
    double byRows, byColumns;
    PreviousObjective first;
};

Objectives objectivesAtStart(const CorpusProblem& p)
{
    const uint32_t n = p.n;
    std::vector<double> x(n), products(n);
    startingPoint(p.b.data(), n, x.data());
    Objectives o;
    columnProducts(p.Q.data(), x.data(), n, products.data());
    o.byColumns = objective(p.b.data(), x.data(), products.data(), n);
    std::vector<uint32_t> all(n);
    for (uint32_t k = 0; k < n; ++k)
        all[k] = k;
    rowProductsOver(VectorPath::baseline, p.Q.data(), x.data(), n, all.data(), n, products.data());
    o.byRows = objective(p.b.data(), x.data(), products.data(), n);
    o.first = firstObjective(o.byRows, p.b.data(), x.data(), n,
                             largestMagnitudeOf(VectorPath::baseline, p.Q.data(), p.Q.size()), VectorPath::baseline);
    return o;
}

TEST(FirstObjective, RowsAndColumnsDifferByLessThanTheUncertainty)
{
    // Unsymmetric matrices of mixed signs, where the two really differ.
    int differing = 0;
    for (uint64_t seed = 1; seed <= 60; ++seed) {
        CorpusProblem p = psdProblem(2 + seed % 50, 3, seed);
        for (uint32_t c = 0; c < p.n; ++c)
            for (uint32_t r = 0; r < c; ++r)
                p.Q[r + static_cast<size_t>(c) * p.n] *= 1 + std::ldexp(1.0, -30 - static_cast<int>(r % 20));
        const Objectives o = objectivesAtStart(p);
        EXPECT_EQ(o.first.value, o.byRows);
        EXPECT_LE(std::fabs(o.byRows - o.byColumns), o.first.uncertainty) << p.name;
        EXPECT_LT(o.first.uncertainty, 1e-9) << p.name;
        differing += o.byRows != o.byColumns;
    }
    EXPECT_GT(differing, 10);
}

TEST(FirstObjective, NotFiniteMeansNoShortcut)
{
    CorpusProblem p = gaussianKernelProblem(5, 3);
    p.Q[7] = HUGE_VAL;
    EXPECT_EQ(objectivesAtStart(p).first.uncertainty, HUGE_VAL);
}

TEST(FirstObjective, OpenCasesAreDecidedByTheColumnProducts)
{
    const CorpusProblem p = psdProblem(12, 4, 8);
    const double defined = objectivesAtStart(p).byColumns;
    const uint32_t n = p.n;
    const HostScratch host = defaultSettings().host;
    // Previous values that are off, with an uncertainty that admits it, and
    // would give the wrong answer: only the defined value gives the right one.
    const PreviousObjective low{defined - 6e-6, 1e-5}, high{defined + 6e-6, 1e-5};
    EXPECT_FALSE(changedBeyondTolerance(defined + 0.5e-5, low, p.Q.data(), p.b.data(), n, host));
    EXPECT_TRUE(changedBeyondTolerance(defined + 1.2e-5, high, p.Q.data(), p.b.data(), n, host));
    EXPECT_FALSE(changedBeyondTolerance(NAN, low, p.Q.data(), p.b.data(), n, host));
    // Exact previous values: the plain test, strict.
    EXPECT_FALSE(changedBeyondTolerance(1e-5, PreviousObjective{0.0, 0.0}, p.Q.data(), p.b.data(), n, host));
    EXPECT_TRUE(changedBeyondTolerance(-2e-5, PreviousObjective{0.0, 0.0}, p.Q.data(), p.b.data(), n, host));
}

}  // namespace
