// The side-by-side benchmark's evaluator: the measures every solver is
// judged by, and the run records the two runners exchange.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "answer_metrics.h"
#include "run_records.h"

namespace {

// Q = [2 0 0; 0 1 0; 0 0 4], b = 0: minimiser (2, 4, 1)/7 with g_i = 4/7
// for every i; at a vertex the gradient is that column of Q.
const std::vector<double> diagonalQ{2, 0, 0, 0, 1, 0, 0, 0, 4};
const std::vector<double> zeroB{0, 0, 0};

AnswerMetrics measure(const std::vector<double>& x)
{
    return measureAnswer(diagonalQ.data(), zeroB.data(), 3, x.data());
}

TEST(AnswerMetrics, OptimumHasNoGap)
{
    const AnswerMetrics m = measure({2.0 / 7, 4.0 / 7, 1.0 / 7});
    EXPECT_NEAR(static_cast<double>(m.objective), 2.0 / 7, 1e-16);
    EXPECT_LT(m.kktGap, 1e-15L);
    EXPECT_LT(m.frankWolfeGap, 1e-15L);
    EXPECT_EQ(m.positive, 3u);
    EXPECT_TRUE(onSimplex(m));
}

TEST(AnswerMetrics, GapsAtAVertexAndOnAFace)
{
    // At e_3: g = (0, 0, 4), the active weight's gradient 4 against min 0.
    AnswerMetrics m = measure({0, 0, 1});
    EXPECT_EQ(m.kktGap, 4.0L);
    EXPECT_EQ(m.frankWolfeGap, 4.0L);
    EXPECT_EQ(m.positive, 1u);
    // On the face x_2 = 0, at (2, 0, 1)/3: g = (4/3, 0, 4/3). The unused
    // coordinate's smaller gradient is what the gap measures.
    m = measure({2.0 / 3, 0, 1.0 / 3});
    EXPECT_NEAR(static_cast<double>(m.kktGap), 4.0 / 3, 1e-15);
    EXPECT_NEAR(static_cast<double>(m.frankWolfeGap), 4.0 / 3, 1e-15);
}

TEST(AnswerMetrics, TinyWeightsCountInTheKktGapButHardlyInTheFrankWolfeGap)
{
    // b = (0, 5, 0) makes e_2 the minimiser (g = (0, -4, 0) there). An
    // interior-point answer near it keeps 1e-12 on the others.
    const std::vector<double> b{0, 5, 0}, x{1e-12, 1 - 2e-12, 1e-12};
    const AnswerMetrics m = measureAnswer(diagonalQ.data(), b.data(), 3, x.data());
    EXPECT_NEAR(static_cast<double>(m.kktGap), 4.0, 1e-9);
    EXPECT_LT(m.frankWolfeGap, 1e-11L);
    EXPECT_EQ(m.positive, 3u);
    EXPECT_EQ(m.significant, 1u);
}

TEST(AnswerMetrics, NegativeWeightsAreClippedAndTheRestRenormalised)
{
    // -1e-9 on the first weight: measured as (0, 0.5, 0.5), reported as given.
    const AnswerMetrics m = measure({-1e-9, 0.5, 0.5 + 1e-9});
    EXPECT_EQ(m.mostNegative, -1e-9);
    EXPECT_NEAR(m.sumError, 0.0, 1e-15);
    EXPECT_EQ(m.positive, 2u);
    const AnswerMetrics clipped = measure({0, 0.5, 0.5});
    EXPECT_NEAR(static_cast<double>(m.objective), static_cast<double>(clipped.objective), 1e-9);
    EXPECT_TRUE(onSimplex(m));
}

TEST(AnswerMetrics, AnswersOffTheSimplexAreFlagged)
{
    EXPECT_FALSE(onSimplex(measure({0.5, 0.5, 0.5})));           // not normalised
    EXPECT_FALSE(onSimplex(measure({-0.1, 0.6, 0.5})));          // a real negative weight
    EXPECT_FALSE(onSimplex(measure({NAN, 0.5, 0.5})));           // not finite
    const AnswerMetrics none = measure({0, 0, 0});
    EXPECT_FALSE(onSimplex(none));
    EXPECT_TRUE(std::isnan(none.objective));
}

TEST(AnswerMetrics, LinearTermEntersObjectiveAndGradient)
{
    // Q = 0, b = (1, 3): f = -bᵀx, best at e_2, where the gap is 0; at e_1
    // it is 2 (g = -b).
    const std::vector<double> Q(4, 0.0), b{1, 3};
    const std::vector<double> best{0, 1}, worst{1, 0};
    EXPECT_EQ(measureAnswer(Q.data(), b.data(), 2, best.data()).objective, -3.0L);
    EXPECT_EQ(measureAnswer(Q.data(), b.data(), 2, best.data()).kktGap, 0.0L);
    EXPECT_EQ(measureAnswer(Q.data(), b.data(), 2, worst.data()).kktGap, 2.0L);
}

TEST(RunRecords, WrittenAndReadBackWithTheNoteWhole)
{
    const std::string path = ::testing::TempDir() + "side_by_side_runs.csv";
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "%s\n", runsHeader);
    writeRun(file, {"one-class", 500, "LIBSVM-e1e-6", 0.0123, "solved", ""});
    writeRun(file, {"mixture", 8000, "CVXOPT-tight", -1, "skipped", "over 60 s at n = 4000"});
    std::fclose(file);
    std::vector<RunRecord> runs;
    ASSERT_TRUE(readRuns(path, runs));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].family, "one-class");
    EXPECT_EQ(runs[0].n, 500u);
    EXPECT_DOUBLE_EQ(runs[0].seconds, 0.0123);
    EXPECT_TRUE(hasAnswer(runs[0]));
    EXPECT_EQ(runs[1].note, "over 60 s at n = 4000");
    EXPECT_FALSE(hasAnswer(runs[1]));
    EXPECT_EQ(answerPath("a", runs[0]), "a/one-class-500.LIBSVM-e1e-6.x");
    std::remove(path.c_str());
}

TEST(RunRecords, MalformedLinesAreRejected)
{
    const std::string path = ::testing::TempDir() + "side_by_side_bad_runs.csv";
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "%s\nmixture,500,SMO\n", runsHeader);
    std::fclose(file);
    std::vector<RunRecord> runs;
    EXPECT_FALSE(readRuns(path, runs));
    EXPECT_FALSE(readRuns(path + ".missing", runs));
    std::remove(path.c_str());
}

}  // namespace
