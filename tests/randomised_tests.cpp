// The solvers against the literal transcription, bit for bit, on thousands
// of problems of every kind (problem_kinds.h). Larger sweeps belong to the
// benchmark, which checks the bits of every problem it times.
#include <vector>

#include <gtest/gtest.h>

#include "oracle/literal.h"
#include "problem_kinds.h"
#include "simplex_qp.h"
#include "solve.h"

namespace {

// Both solvers on one problem; false (after reporting) on the first
// difference.
bool sameAsLiteral(const CorpusProblem& p)
{
    const auto smo = bitsOf(solve(SMO, p.Q, p.b));
    EXPECT_EQ(smo, bitsOf(solve(literal::SMO, p.Q, p.b))) << "SMO, " << p.name;
    const auto multiplicative = bitsOf(solve(multUpdate, p.Q, p.b));
    EXPECT_EQ(multiplicative, bitsOf(solve(literal::multUpdateMended, p.Q, p.b))) << "multUpdate, " << p.name;
    return !::testing::Test::HasFailure();
}

void sweep(uint32_t smallest, uint32_t largest, uint64_t firstSeed, uint32_t problemsPerKind)
{
    uint32_t kindCount;
    const ProblemKind* kinds = problemKinds(kindCount);
    for (uint32_t k = 0; k < kindCount; ++k)
        for (uint32_t j = 0; j < problemsPerKind; ++j) {
            const uint64_t seed = firstSeed + j * kindCount + k;
            const uint32_t n = smallest + static_cast<uint32_t>(seed * 7919 % (largest - smallest + 1));
            if (!sameAsLiteral(kinds[k].make(n, seed)))
                return;  // One problem's report is enough to go on.
        }
}

TEST(AgainstLiteralEveryKind, SmallProblems)
{
    sweep(1, 24, 1, 200);  // 2400 problems
}

TEST(AgainstLiteralEveryKind, MediumProblems)
{
    sweep(25, 120, 100000, 12);
}

TEST(AgainstLiteralEveryKind, LargerProblems)
{
    sweep(150, 240, 200000, 1);
}

}  // namespace
