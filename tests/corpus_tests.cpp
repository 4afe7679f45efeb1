// The solvers against the literal transcription, bit for bit.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "corpus/corpus.h"
#include "oracle/literal.h"
#include "simplex_qp.h"
#include "solve.h"

namespace {

bool hasNaN(const std::vector<double>& x)
{
    for (double v : x)
        if (std::isnan(v))
            return true;
    return false;
}

void expectSameBits(Solver solver, Solver oracle, const CorpusProblem& p)
{
    EXPECT_EQ(bitsOf(solve(solver, p.Q, p.b)), bitsOf(solve(oracle, p.Q, p.b))) << p.name;
}

// Zero weights keeping ratio 0 changes only answers that were NaN: where
// the literal multUpdate gives numbers, the mended one gives the same bits.
// Returns whether the mend mattered for this problem.
bool expectMendKeepsFiniteAnswers(const CorpusProblem& p)
{
    const std::vector<double> literal = solve(literal::multUpdate, p.Q, p.b);
    if (hasNaN(literal))
        return true;
    EXPECT_EQ(bitsOf(solve(literal::multUpdateMended, p.Q, p.b)), bitsOf(literal)) << p.name;
    return false;
}

TEST(AgainstLiteral, SMOOnCorpus)
{
    for (const CorpusProblem& p : makeCorpus())
        expectSameBits(SMO, literal::SMO, p);
}

TEST(AgainstLiteral, MultUpdateOnCorpus)
{
    int mended = 0;
    for (const CorpusProblem& p : makeCorpus()) {
        expectSameBits(multUpdate, literal::multUpdateMended, p);
        mended += expectMendKeepsFiniteAnswers(p);
    }
    // Diagonal problems zero weights whose row products are then 0.
    EXPECT_GT(mended, 0);
}

TEST(AgainstLiteral, ManySmallProblems)
{
    for (uint64_t seed = 1000; seed < 1600; ++seed) {
        const uint32_t n = 1 + seed % 12;
        const CorpusProblem p = seed % 3 ? gaussianKernelProblem(n, seed) : psdProblem(n, 1 + seed % 4, seed);
        expectSameBits(SMO, literal::SMO, p);
        expectSameBits(multUpdate, literal::multUpdateMended, p);
        expectMendKeepsFiniteAnswers(p);
    }
}

}  // namespace
