// The built simplexLSQ plug-in file, loaded by path and called as a host
// calls it: its counts, each argument's checks and messages (nothing
// written to the caller's arrays), the shapes of X and info, the answers
// against simplexQPopt's problem on C'C and C'd, the warning, Display and
// the caller's floating-point mode.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "certified/certified_smo.h"
#include "draw.h"
#include "float_modes.h"
#include "options_struct.h"
#include "plugin_call.h"
#include "solve.h"

namespace {

// An unmixing problem: D's columns are mixtures of C's columns plus noise.
struct Mixtures {
    size_t m, n, p;
    std::vector<double> C, D;
};

Mixtures mixtures(size_t m, size_t n, size_t p, uint64_t seed)
{
    Draw draw{seed};
    Mixtures problem{m, n, p, std::vector<double>(m * n), std::vector<double>(m * p, 0.0)};
    for (double& c : problem.C)
        c = unit(draw);
    for (size_t j = 0; j < p; ++j) {
        double sum = 0.0;
        std::vector<double> w(n);
        for (double& weight : w)
            sum += weight = unit(draw) < 0.5 ? 0.0 : unit(draw);
        for (size_t i = 0; i < n; ++i)
            for (size_t r = 0; r < m; ++r)
                problem.D[r + j * m] += problem.C[r + i * m] * (sum > 0.0 ? w[i] / sum : 1.0 / n);
        for (size_t r = 0; r < m; ++r)
            problem.D[r + j * m] += 0.05 * (unit(draw) - 0.5);
    }
    return problem;
}

mxArray* scalar(double value)
{
    return standInCreateDouble(1, 1, &value);
}

// ½|Cx - d|², summed plainly.
double halfResidual(const Mixtures& problem, const double* x, size_t j)
{
    double sum = 0.0;
    for (size_t r = 0; r < problem.m; ++r) {
        double row = -problem.D[r + j * problem.m];
        for (size_t i = 0; i < problem.n; ++i)
            row += problem.C[r + i * problem.m] * x[i];
        sum += row * row;
    }
    return 0.5 * sum;
}

class LsqPlugin : public PluginCall {
protected:
    // Solves the problem with a third argument (destroyed afterwards), or none.
    static Outcome solve(int nlhs, const Mixtures& problem, mxArray* third = nullptr)
    {
        mxArray* c = standInCreateDouble(problem.m, problem.n, problem.C.data());
        mxArray* d = standInCreateDouble(problem.m, problem.p, problem.D.data());
        std::vector<const mxArray*> args = {c, d};
        if (third)
            args.push_back(third);
        Outcome outcome = call(nlhs, args);
        if (third)
            mxDestroyArray(third);
        // Only read: the caller's arrays hold what they held.
        EXPECT_EQ(bitsOf(std::vector<double>(mxGetPr(c), mxGetPr(c) + problem.m * problem.n)), bitsOf(problem.C));
        EXPECT_EQ(bitsOf(std::vector<double>(mxGetPr(d), mxGetPr(d) + problem.m * problem.p)), bitsOf(problem.D));
        mxDestroyArray(c);
        mxDestroyArray(d);
        return outcome;
    }

    static std::string messageFor(const mxArray* C, const mxArray* D, const mxArray* third = nullptr)
    {
        std::vector<const mxArray*> args = {C, D};
        if (third)
            args.push_back(third);
        const Outcome outcome = call(1, args);
        EXPECT_TRUE(outcome.raised);
        return outcome.message;
    }

    static const Field& field(const Outcome& outcome, const char* name)
    {
        for (const Field& f : outcome.fields)
            if (f.name == name)
                return f;
        ADD_FAILURE() << "no field " << name;
        return outcome.fields.at(0);
    }
};

const Mixtures small = mixtures(6, 4, 3, 1);

TEST_F(LsqPlugin, ReportsItsInterfaceVersionAndChecksItsCounts)
{
    expectInterfaceVersion();
    mxArray* c = standInCreateDouble(small.m, small.n, small.C.data());
    EXPECT_EQ(call(1, {c}).message, "Takes 2-3 input arguments");
    EXPECT_EQ(call(1, {c, c, c, c}).message, "Takes 2-3 input arguments");
    EXPECT_EQ(call(3, {c, c}).message, "Outputs one or two results");
    mxDestroyArray(c);
    const Outcome unassigned = solve(0, small);
    EXPECT_FALSE(unassigned.raised) << unassigned.message;
    EXPECT_EQ(unassigned.rows, small.n);
    EXPECT_EQ(unassigned.columns, small.p);
}

TEST_F(LsqPlugin, ChecksEachArgumentsClassRealnessSparsityAndSize)
{
    mxArray* c = standInCreateDouble(small.m, small.n, small.C.data());
    mxArray* d = standInCreateDouble(small.m, small.p, small.D.data());
    struct Bad {
        mxArray* array;
        bool asC;
        const char* message;
    };
    const size_t cube[] = {6, 4, 2};
    const Bad bad[] = {
        {standInCreateArray(standInSingle, 6, 4, false, false, 0), true,
         "C must be a real, full, double m-by-n matrix; got a 6-by-4 single matrix"},
        {standInCreateArray(standInDouble, 6, 4, true, false, 0), true,
         "C must be a real, full, double m-by-n matrix; got a 6-by-4 complex double matrix"},
        {standInCreateArray(standInDouble, 6, 4, false, true, 3), true,
         "C must be a real, full, double m-by-n matrix; got a 6-by-4 sparse double matrix"},
        {standInCreateNumericArray(standInDouble, 3, cube, false), true,
         "C must be a real, full, double m-by-n matrix; got a 6-by-4-by-2 double array"},
        {standInCreateArray(standInLogical, 6, 3, false, false, 0), false,
         "D must be a real, full, double m-by-p matrix; got a 6-by-3 logical array"},
        {standInCreateArray(standInDouble, 6, 3, true, false, 0), false,
         "D must be a real, full, double m-by-p matrix; got a 6-by-3 complex double matrix"},
        {standInCreateArray(standInDouble, 6, 3, false, true, 2), false,
         "D must be a real, full, double m-by-p matrix; got a 6-by-3 sparse double matrix"},
        {standInCreateDouble(5, 3, nullptr), false, "D must have as many rows as C (6); got a 5-by-3 double matrix"},
    };
    for (const Bad& b : bad) {
        EXPECT_EQ(b.asC ? messageFor(b.array, d) : messageFor(c, b.array), b.message);
        mxDestroyArray(b.array);
    }
    // Sizes are checked without reading the data. (The 64-bit MATLAB
    // hosts' int dimensions cannot tell such a size: only the start of the
    // message is the same everywhere.)
    if (sizeof(size_t) == 8) {
        mxArray* tall = standInCreateHollow(standInDouble, size_t{3000000000ull}, 1);
        EXPECT_EQ(messageFor(tall, d).rfind("C must be at most 2147483647-by-2147483647; got a ", 0), 0u);
        mxDestroyArray(tall);
    }
    mxDestroyArray(c);
    mxDestroyArray(d);
}

TEST_F(LsqPlugin, ChecksValuesAfterShapesAndNamesTheFirstNonFinite)
{
    Mixtures nanC = small;
    nanC.C[1 + 2 * small.m] = NAN;
    EXPECT_EQ(solve(1, nanC).message, "C must be finite; got NaN at C(2,3)");
    Mixtures infD = small;
    infD.D[4 + 1 * small.m] = -INFINITY;
    infD.D[5 + 2 * small.m] = INFINITY;
    EXPECT_EQ(solve(1, infD).message, "D must be finite; got -Inf at D(5,2)");
    // A bad tol or options struct is reported before C's values are read.
    EXPECT_EQ(solve(1, nanC, scalar(-1.0)).message, "tol must be a non-negative number; got a negative number");
    EXPECT_EQ(solve(1, nanC, optionsOf({{"Tol", scalar(1e-9)}})).message,
              "options has an unknown field 'Tol'; the known fields are Tolerance, MaxIterations, Display, "
              "InitialPoint, UpperBound and CacheSize");
    EXPECT_EQ(solve(1, small, optionsOf({{"Display", scalar(1)}})).message,
              "options.Display must be 'off', 'final' or 'iter'; got a 1-by-1 double matrix");
}

TEST_F(LsqPlugin, InitialPointIsOnePerColumnOrSharedAndNamedByColumn)
{
    EXPECT_EQ(solve(1, small, optionsOf({{"InitialPoint", standInCreateDouble(1, 4, nullptr)}})).message,
              "options.InitialPoint must be a real, full, double 4-by-3 or 4-by-1 matrix; got a 1-by-4 double matrix");
    EXPECT_EQ(solve(1, small, optionsOf({{"InitialPoint", standInCreateDouble(4, 2, nullptr)}})).message,
              "options.InitialPoint must be a real, full, double 4-by-3 or 4-by-1 matrix; got a 4-by-2 double matrix");
    std::vector<double> starts = {1, 0, 0, 0, 0.5, 0.5, 0, 0, 0.25, 0.25, 0.75, -0.25};
    const auto startsOf = [](const std::vector<double>& values, size_t columns) {
        return optionsOf({{"InitialPoint", standInCreateDouble(4, columns, values.data())}});
    };
    EXPECT_EQ(solve(1, small, startsOf(starts, 3)).message, "options.InitialPoint must be >= 0; got -0.25 at InitialPoint(4,3)");
    starts[11] = 0.25;
    EXPECT_EQ(solve(1, small, startsOf(starts, 3)).message,
              "options.InitialPoint's columns must each sum to 1; got sum(InitialPoint(:,3)) - 1 = 0.5");
    EXPECT_EQ(solve(1, small, startsOf({0.5, 0.5, 0.5, 0}, 1)).message,
              "options.InitialPoint must sum to 1; got sum(InitialPoint) - 1 = 0.5");
    // The answer as every column's start: no step, the same bits; one
    // column shared by all starts each from it.
    const Outcome cold = solve(2, small);
    ASSERT_FALSE(cold.raised) << cold.message;
    const Outcome warm = solve(2, small, startsOf(cold.x, 3));
    ASSERT_FALSE(warm.raised) << warm.message;
    EXPECT_EQ(bitsOf(warm.x), bitsOf(cold.x));
    EXPECT_EQ(field(warm, "iterations").values, std::vector<double>(3, 0.0));
    const Outcome certify = solve(2, small, optionsOf({{"InitialPoint", standInCreateDouble(4, 1, starts.data() + 4)},
                                                       {"MaxIterations", scalar(0)}}));
    ASSERT_FALSE(certify.raised) << certify.message;
    for (size_t j = 0; j < 3; ++j)
        EXPECT_EQ(bitsOf(std::vector<double>(certify.x.begin() + 4 * j, certify.x.begin() + 4 * j + 4)),
                  bitsOf(std::vector<double>{0.5, 0.5, 0, 0}));
}

TEST_F(LsqPlugin, XIsNByPAndInfoHoldsOneByPRows)
{
    const Outcome outcome = solve(2, small);
    ASSERT_FALSE(outcome.raised) << outcome.message;
    EXPECT_EQ(outcome.rows, 4u);
    EXPECT_EQ(outcome.columns, 3u);
    ASSERT_TRUE(outcome.second);
    EXPECT_EQ(outcome.secondRows, 1u);
    EXPECT_EQ(outcome.secondColumns, 1u);
    const char* names[] = {"objective", "gap", "iterations", "converged", "support", "atUpperBound"};
    ASSERT_EQ(outcome.fields.size(), 6u);
    for (size_t f = 0; f < 6; ++f) {
        EXPECT_EQ(outcome.fields[f].name, names[f]);
        EXPECT_EQ(outcome.fields[f].className, "double");
        EXPECT_EQ(outcome.fields[f].rows, 1u);
        EXPECT_EQ(outcome.fields[f].columns, 3u);
    }
    for (size_t j = 0; j < 3; ++j) {
        const double* x = outcome.x.data() + 4 * j;
        double sum = 0.0;
        size_t support = 0;
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_GE(x[i], 0.0);
            sum += x[i];
            support += x[i] > 0.0;
        }
        EXPECT_NEAR(sum, 1.0, 4e-16);
        EXPECT_EQ(field(outcome, "support").values[j], static_cast<double>(support));
        EXPECT_EQ(field(outcome, "converged").values[j], 1.0);
        EXPECT_NEAR(field(outcome, "objective").values[j], halfResidual(small, x, j), 1e-14);
    }
    // Bounds shared by every column.
    const Outcome bounded = solve(2, small, optionsOf({{"UpperBound", scalar(0.3)}}));
    ASSERT_FALSE(bounded.raised) << bounded.message;
    for (double weight : bounded.x)
        EXPECT_LE(weight, 0.3);
    EXPECT_GT(field(bounded, "atUpperBound").values[0], 0.0);
}

TEST_F(LsqPlugin, EmptySizes)
{
    // No right-hand side: X is n-by-0, info's rows empty; n = 0: X is 0-by-p.
    const Outcome none = solve(2, mixtures(6, 4, 0, 2));
    ASSERT_FALSE(none.raised) << none.message;
    EXPECT_EQ(none.rows, 4u);
    EXPECT_EQ(none.columns, 0u);
    EXPECT_EQ(field(none, "gap").columns, 0u);
    Mixtures noWeights{6, 0, 2, {}, small.D};
    noWeights.D.resize(12);
    const Outcome empty = solve(2, noWeights);
    ASSERT_FALSE(empty.raised) << empty.message;
    EXPECT_EQ(empty.rows, 0u);
    EXPECT_EQ(empty.columns, 2u);
    EXPECT_EQ(field(empty, "converged").values, std::vector<double>(2, 1.0));
    const Outcome nothing = solve(1, Mixtures{0, 0, 0, {}, {}});
    ASSERT_FALSE(nothing.raised) << nothing.message;
    EXPECT_EQ(nothing.x.size(), 0u);
}

// Each column of X against simplexQPopt's problem on Q = C'C, b = C'd,
// solved by certifiedSMO: the objectives agree within the two gaps (the
// least-squares core computes its gap from the residual, so the bits may
// differ from the dense route's), and a column solved alone gives the
// batch's bits.
TEST_F(LsqPlugin, AnswersSimplexQPoptsProblemOnTheGram)
{
    const Mixtures problem = mixtures(40, 12, 5, 3);
    const Outcome outcome = solve(2, problem, scalar(1e-12));
    ASSERT_FALSE(outcome.raised) << outcome.message;
    const size_t m = problem.m, n = problem.n;
    std::vector<double> Q(n * n), b(n), x(n);
    for (size_t c = 0; c < n; ++c)
        for (size_t r = 0; r < n; ++r) {
            double sum = 0.0;
            for (size_t k = 0; k < m; ++k)
                sum += problem.C[k + r * m] * problem.C[k + c * m];
            Q[r + c * n] = sum;
        }
    for (size_t j = 0; j < problem.p; ++j) {
        for (size_t i = 0; i < n; ++i) {
            double sum = 0.0;
            for (size_t k = 0; k < m; ++k)
                sum += problem.C[k + i * m] * problem.D[k + j * m];
            b[i] = sum;
        }
        CertifiedReport report;
        certifiedSMO(Q.data(), b.data(), static_cast<uint32_t>(n), 1e-12, 10000000, x.data(), report);
        ASSERT_TRUE(report.converged);
        const double gaps = report.gap + field(outcome, "gap").values[j];
        EXPECT_NEAR(field(outcome, "objective").values[j], halfResidual(problem, x.data(), j), gaps + 1e-13) << j;
        EXPECT_LE(field(outcome, "gap").values[j], 1e-12);

        Mixtures alone{m, n, 1, problem.C, std::vector<double>(problem.D.begin() + j * m, problem.D.begin() + (j + 1) * m)};
        const Outcome single = solve(1, alone, scalar(1e-12));
        ASSERT_FALSE(single.raised) << single.message;
        EXPECT_EQ(bitsOf(single.x), bitsOf(std::vector<double>(outcome.x.begin() + j * n, outcome.x.begin() + (j + 1) * n)));
    }
}

TEST_F(LsqPlugin, WarnsOnceNamingTheColumnsThatDidNotConverge)
{
    const Mixtures problem = mixtures(30, 10, 4, 4);
    size_t warnings = standInWarningCount();
    EXPECT_FALSE(solve(1, problem).raised);
    EXPECT_EQ(standInWarningCount(), warnings) << standInLastWarningText();
    const Outcome two = solve(2, problem, scalar(0.0));
    ASSERT_FALSE(two.raised) << two.message;
    EXPECT_EQ(standInWarningCount(), warnings);
    for (int nlhs : {0, 1}) {
        const Outcome one = solve(nlhs, problem, scalar(0.0));
        ASSERT_FALSE(one.raised) << one.message;
        EXPECT_EQ(standInWarningCount(), ++warnings);
        EXPECT_STREQ(standInLastWarningId(), "simplexLSQ:notConverged");
        const std::string text = standInLastWarningText();
        size_t unconverged = 0, first = 0;
        for (size_t j = 4; j-- > 0;)
            if (field(two, "converged").values[j] == 0.0) {
                ++unconverged;
                first = j + 1;
            }
        ASSERT_GT(unconverged, 0u);
        EXPECT_EQ(text.rfind("not converged in " + std::to_string(unconverged) + " of 4 columns: the first, column " +
                                 std::to_string(first) + ", has gap ",
                             0),
                  0u)
            << text;
        EXPECT_NE(text.find(" above tol 0; its x is the checked point of least gap"), std::string::npos) << text;
        EXPECT_EQ(bitsOf(one.x), bitsOf(two.x));
    }
}

TEST_F(LsqPlugin, DisplaysEachColumnAndKeepsTheBits)
{
    const Outcome quiet = solve(2, small);
    ASSERT_FALSE(quiet.raised);
    standInClearPrinted();
    EXPECT_FALSE(solve(1, small, optionsOf({{"Display", nullptr}})).raised);
    EXPECT_STREQ(standInPrinted(), "");

    const auto text = [](const char* display) { return optionsOf({{"Display", charRow(display)}}); };
    standInClearPrinted();
    const Outcome final = solve(1, small, text("final"));
    std::vector<std::string> lines = printedLines();
    ASSERT_EQ(lines.size(), 3u);
    for (size_t j = 0; j < 3; ++j)
        EXPECT_EQ(lines[j].rfind("simplexLSQ: column " + std::to_string(j + 1) + " of 3, converged, gap ", 0), 0u)
            << lines[j];
    EXPECT_EQ(bitsOf(final.x), bitsOf(quiet.x));

    standInClearPrinted();
    const Outcome iter = solve(1, small, text("iter"));
    lines = printedLines();
    EXPECT_EQ(bitsOf(iter.x), bitsOf(quiet.x));
    size_t headings = 0, ends = 0;
    for (const std::string& line : lines) {
        headings += line.rfind("simplexLSQ: column ", 0) == 0 && line.find(", n = 4, tol = ") != std::string::npos;
        ends += line.rfind("simplexLSQ: column ", 0) == 0 && line.find(", converged, gap ") != std::string::npos;
    }
    EXPECT_EQ(headings, 3u);
    EXPECT_EQ(ends, 3u);
    EXPECT_GE(lines.size(), 12u);  // per column: the heading, the columns' titles, checks, the end
    standInClearPrinted();
    solve(1, mixtures(6, 4, 1, 5), text("final"));
    lines = printedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("simplexLSQ: converged, gap ", 0), 0u) << lines[0];
}

TEST_F(LsqPlugin, TheCallersFloatingPointModeChangesNoBitAndComesBack)
{
    const ControlWords standard = readControlWords();
    const Mixtures problem = mixtures(20, 8, 3, 6);
    const Outcome expected = solve(2, problem);
    ASSERT_FALSE(expected.raised) << expected.message;
    for (const FloatMode& mode : hostFloatModes()) {
        writeControlWords(mode.words);
        const Outcome outcome = solve(2, problem);
        solve(1, problem, scalar(0.0));  // the warning, in the caller's mode
        const ControlWords after = readControlWords();
        writeControlWords(standard);
        EXPECT_TRUE(after == mode.words) << mode.name << " not restored";
        EXPECT_EQ(bitsOf(outcome.x), bitsOf(expected.x)) << mode.name;
        for (size_t f = 0; f < outcome.fields.size(); ++f)
            EXPECT_EQ(bitsOf(outcome.fields[f].values), bitsOf(expected.fields[f].values))
                << mode.name << ", " << outcome.fields[f].name;
    }
    if (!hostFloatModes().empty()) {
        EXPECT_GT(expectTheModeBackWhenMemoryRunsOut([&] { return solve(1, problem, scalar(1e-9)); }), 0u);
    }
}

}  // namespace
