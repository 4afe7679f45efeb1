// The built simplexQPopt plug-in file, loaded by path and called as a host
// calls it: its counts, checks and messages, the info struct, the warning,
// and the same bits as certifiedSMO called directly.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "certified_reference.h"
#include "certified/certified_smo.h"
#include "corpus/corpus.h"
#include "float_modes.h"
#include "plugin_call.h"
#include "solve.h"

namespace {

class CertifiedPlugin : public PluginCall {
protected:
    static Outcome solveWith(int nlhs, const std::vector<double>& Q, const std::vector<double>& b,
                             const mxArray* tol = nullptr)
    {
        const size_t n = b.size();
        mxArray* q = standInCreateDouble(n, n, Q.data());
        mxArray* v = standInCreateDouble(n, 1, b.data());
        std::vector<const mxArray*> args = {q, v};
        if (tol)
            args.push_back(tol);
        Outcome outcome = call(nlhs, args);
        mxDestroyArray(q);
        mxDestroyArray(v);
        return outcome;
    }

    static Outcome solveWith(int nlhs, const std::vector<double>& Q, const std::vector<double>& b, double tol)
    {
        mxArray* t = standInCreateDouble(1, 1, &tol);
        Outcome outcome = solveWith(nlhs, Q, b, t);
        mxDestroyArray(t);
        return outcome;
    }

    static std::string messageFor(const std::vector<double>& Q, const std::vector<double>& b, const mxArray* tol)
    {
        const Outcome outcome = solveWith(1, Q, b, tol);
        EXPECT_TRUE(outcome.raised);
        return outcome.message;
    }
};

const std::vector<double> smallQ = {2, 0.5, 0.1, 0.5, 1, 0.2, 0.1, 0.2, 3};
const std::vector<double> smallB = {1, 0.8, 0.3};

TEST_F(CertifiedPlugin, ReportsItsInterfaceVersion)
{
    expectInterfaceVersion();
}

TEST_F(CertifiedPlugin, CountsAreCheckedArgumentsFirst)
{
    mxArray* a = standInCreateDouble(3, 3, smallQ.data());
    EXPECT_EQ(call(1, {a}).message, "Takes 2-3 input arguments");
    EXPECT_EQ(call(1, {a, a, a, a}).message, "Takes 2-3 input arguments");
    EXPECT_EQ(call(3, {a}).message, "Takes 2-3 input arguments");
    EXPECT_EQ(call(3, {a, a}).message, "Outputs one or two results");
    mxDestroyArray(a);
    // No result asked for: the host still takes the first (as ans).
    const Outcome unassigned = solveWith(0, smallQ, smallB);
    EXPECT_FALSE(unassigned.raised);
    EXPECT_EQ(unassigned.columns, 3u);
}

TEST_F(CertifiedPlugin, ChecksQAndBAsSimplexQPDoesAndTolByItself)
{
    mxArray* single = standInCreateArray(standInSingle, 3, 3, false, false, 0);
    EXPECT_EQ(call(1, {single, single}).message,
              "Q must be a real, full, double n-by-n matrix; got a 3-by-3 single matrix");
    mxDestroyArray(single);
    mxArray* q = standInCreateDouble(3, 3, smallQ.data());
    mxArray* shortB = standInCreateDouble(2, 1, smallB.data());
    EXPECT_EQ(call(1, {q, shortB}).message, "b must be a real, full, double vector of 3 elements; got a 2-by-1 double matrix");
    mxDestroyArray(shortB);
    mxDestroyArray(q);

    mxArray* pair = standInCreateDouble(1, 2, nullptr);
    mxArray* logical = standInCreateArray(standInLogical, 1, 1, false, false, 0);
    EXPECT_EQ(messageFor(smallQ, smallB, pair), "tol must be a real numeric scalar; got a 1-by-2 double matrix");
    EXPECT_EQ(messageFor(smallQ, smallB, logical), "tol must be a real numeric scalar; got a 1-by-1 logical array");
    mxDestroyArray(pair);
    mxDestroyArray(logical);
    for (double bad : {-1e-300, -1.0}) {
        const Outcome outcome = solveWith(1, smallQ, smallB, bad);
        EXPECT_EQ(outcome.message, "tol must be a non-negative number; got a negative number");
    }
    EXPECT_EQ(solveWith(1, smallQ, smallB, NAN).message, "tol must be a non-negative number; got NaN");
    EXPECT_EQ(solveWith(1, smallQ, smallB, -INFINITY).message, "tol must be a non-negative number; got -Inf");
    // A bad tol is reported before the values of Q are read.
    std::vector<double> nanQ = smallQ;
    nanQ[1] = NAN;
    EXPECT_EQ(solveWith(1, nanQ, smallB, -1.0).message, "tol must be a non-negative number; got a negative number");
    EXPECT_EQ(solveWith(1, nanQ, smallB, 1e-9).message, "Q must be finite; got NaN at Q(2,1)");
    EXPECT_EQ(solveWith(1, smallQ, {1, INFINITY, 0}, 1e-9).message, "b must be finite; got Inf at b(2)");
}

TEST_F(CertifiedPlugin, AnyFiniteBWillDo)
{
    // simplexQP rejects b with a zero sum; this solver does not divide by it.
    for (const std::vector<double>& b : {std::vector<double>{1, -1, 0}, std::vector<double>{0, 0, 0}}) {
        const Outcome outcome = solveWith(2, smallQ, b);
        ASSERT_FALSE(outcome.raised) << outcome.message;
        EXPECT_EQ(outcome.fields.at(3).value, 1.0);
    }
    EXPECT_FALSE(solveWith(1, smallQ, smallB, INFINITY).raised);
    EXPECT_FALSE(solveWith(1, smallQ, smallB, 0.0).raised);
}

TEST_F(CertifiedPlugin, GivesCertifiedSMOsBitsAndInfo)
{
    const CorpusProblem p = oneClassProblem(60, 21);
    for (bool withTol : {false, true}) {
        const double tol = withTol ? 1e-9 : defaultTolerance(p.Q.data(), p.b.data(), p.n);
        std::vector<double> x(p.n);
        CertifiedReport report;
        certifiedSMO(p.Q.data(), p.b.data(), p.n, tol, 10000000, x.data(), report);
        ASSERT_TRUE(report.converged);

        const Outcome outcome = withTol ? solveWith(2, p.Q, p.b, tol) : solveWith(2, p.Q, p.b);
        ASSERT_FALSE(outcome.raised) << outcome.message;
        EXPECT_EQ(outcome.rows, 1u);
        EXPECT_EQ(bitsOf(outcome.x), bitsOf(x));
        ASSERT_TRUE(outcome.second);
        EXPECT_EQ(outcome.secondRows, 1u);
        EXPECT_EQ(outcome.secondColumns, 1u);
        ASSERT_EQ(outcome.fields.size(), 6u);
        const char* names[] = {"objective", "gap", "iterations", "converged", "support", "atUpperBound"};
        const char* classes[] = {"double", "double", "double", "logical", "double", "double"};
        size_t support = 0;
        for (double weight : x)
            support += weight > 0.0;
        ASSERT_EQ(report.support, support);
        const double values[] = {report.objective, report.gap, static_cast<double>(report.iterations), 1.0,
                                 static_cast<double>(support), 0.0};
        for (size_t f = 0; f < 6; ++f) {
            EXPECT_EQ(outcome.fields[f].name, names[f]);
            EXPECT_EQ(outcome.fields[f].className, classes[f]) << names[f];
            EXPECT_EQ(bitsOf(outcome.fields[f].value), bitsOf(values[f])) << names[f];
        }
        // One output: the same x.
        EXPECT_EQ(bitsOf((withTol ? solveWith(1, p.Q, p.b, tol) : solveWith(1, p.Q, p.b)).x), bitsOf(x));
    }
}

TEST_F(CertifiedPlugin, WarnsOfARunAboveTolOnlyWithOneOutput)
{
    const CorpusProblem p = oneClassProblem(30, 22);
    size_t warnings = standInWarningCount();
    EXPECT_FALSE(solveWith(1, p.Q, p.b).raised);  // converges: no warning
    EXPECT_EQ(standInWarningCount(), warnings);

    const Outcome twoOutputs = solveWith(2, p.Q, p.b, 0.0);
    ASSERT_FALSE(twoOutputs.raised);
    EXPECT_EQ(twoOutputs.fields.at(3).value, 0.0);  // not converged
    EXPECT_EQ(standInWarningCount(), warnings);

    for (int nlhs : {0, 1}) {
        const Outcome oneOutput = solveWith(nlhs, p.Q, p.b, 0.0);
        ASSERT_FALSE(oneOutput.raised);
        EXPECT_EQ(standInWarningCount(), ++warnings);
        EXPECT_STREQ(standInLastWarningId(), "simplexQPopt:notConverged");
        const std::string text = standInLastWarningText();
        EXPECT_EQ(text.rfind("not converged: gap ", 0), 0u) << text;
        EXPECT_NE(text.find(" is above tol 0; x is the checked point of least gap, reached after "),
                  std::string::npos)
            << text;
        EXPECT_EQ(bitsOf(oneOutput.x), bitsOf(twoOutputs.x));
    }
}

TEST_F(CertifiedPlugin, TheCallersFloatingPointModeChangesNoBitAndComesBack)
{
    const ControlWords standard = readControlWords();
    // An ordinary scale, where a rounding direction shows; products that
    // underflow (flush to zero shows, and the rounding bound, which counts
    // subnormal results, would be untrue); subnormal entries of Q
    // (denormals-are-zero shows).
    for (int exponent : {0, -1000, -1030}) {
        CorpusProblem p = oneClassProblem(40, 23);
        for (double& q : p.Q)
            q = std::ldexp(q, exponent);
        for (double& v : p.b)
            v = std::ldexp(v, exponent);
        const Outcome expected = solveWith(2, p.Q, p.b);
        ASSERT_FALSE(expected.raised) << expected.message;
        for (const FloatMode& mode : hostFloatModes()) {
            writeControlWords(mode.words);
            const Outcome outcome = solveWith(2, p.Q, p.b);
            const ControlWords after = readControlWords();
            writeControlWords(standard);
            EXPECT_TRUE(after == mode.words) << mode.name << " not restored";
            EXPECT_EQ(bitsOf(outcome.x), bitsOf(expected.x)) << "2^" << exponent << ", " << mode.name;
            ASSERT_EQ(outcome.fields.size(), expected.fields.size());
            for (size_t f = 0; f < outcome.fields.size(); ++f)
                EXPECT_EQ(bitsOf(outcome.fields[f].value), bitsOf(expected.fields[f].value))
                    << "2^" << exponent << ", " << mode.name << ", " << outcome.fields[f].name;
        }
    }
    // The warning, raised on the way out, is given in the caller's mode.
    const CorpusProblem p = oneClassProblem(30, 22);
    for (const FloatMode& mode : hostFloatModes()) {
        const size_t warnings = standInWarningCount();
        writeControlWords(mode.words);
        solveWith(1, p.Q, p.b, 0.0);
        const ControlWords after = readControlWords();
        writeControlWords(standard);
        EXPECT_EQ(standInWarningCount(), warnings + 1);
        EXPECT_TRUE(after == mode.words) << mode.name << " not restored after the warning";
    }
}

TEST_F(CertifiedPlugin, TheCallersFloatingPointModeComesBackWhenTheHostRunsOutOfMemory)
{
    if (hostFloatModes().empty())
        GTEST_SKIP() << "no floating-point mode to try on this processor";
    // One result: the info struct, made in the caller's mode, would leave
    // its values behind in the stand-in host, which releases only stored
    // results after an error.
    const CorpusProblem p = oneClassProblem(40, 23);
    EXPECT_GT(expectTheModeBackWhenMemoryRunsOut([&] { return solveWith(1, p.Q, p.b); }), 0u);
}

TEST_F(CertifiedPlugin, ConvergedOnlyWhereTrueAndReachableAtEveryScale)
{
    // Not symmetric: Qx - b is first-order at (0, 1), where f = 1, but f's
    // minimiser is (0.5, 0.5), where f = 0.5.
    const Outcome skew = solveWith(2, {2, -2, 2, 2}, {0, 0});
    ASSERT_FALSE(skew.raised) << skew.message;
    const bool atMinimiser = std::fabs(skew.x.at(0) - 0.5) < 1e-9;
    EXPECT_TRUE(skew.fields.at(3).value == 0.0 || atMinimiser) << "x = (" << skew.x[0] << ", " << skew.x[1] << ")";
    // All zero, and an exact minimiser at a subnormal scale: the default
    // tolerance is met, without a warning.
    const size_t warnings = standInWarningCount();
    for (const std::vector<double>& Q : {std::vector<double>(9, 0.0), std::vector<double>{2e-310, 1e-310, 1e-310, 2e-310}}) {
        const std::vector<double> b = Q.size() == 9 ? std::vector<double>(3, 0.0) : std::vector<double>{1e-310, 0};
        const Outcome outcome = solveWith(1, Q, b);
        ASSERT_FALSE(outcome.raised) << outcome.message;
    }
    EXPECT_EQ(standInWarningCount(), warnings) << standInLastWarningText();
}

TEST_F(CertifiedPlugin, EmptyProblemGivesAnEmptyRow)
{
    const Outcome empty = solveWith(2, {}, {});
    ASSERT_FALSE(empty.raised);
    EXPECT_EQ(empty.rows, 1u);
    EXPECT_EQ(empty.columns, 0u);
    EXPECT_EQ(empty.fields.at(3).value, 1.0);
}

}  // namespace
