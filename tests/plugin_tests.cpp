// The built plug-in file, loaded by path and called as a host calls it.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corpus/corpus.h"
#include "float_modes.h"
#include "oracle/literal.h"
#include "plugin_call.h"
#include "solve.h"

namespace {

class Plugin : public PluginCall {
protected:
    static bool holds(const mxArray* array, const std::vector<double>& values)
    {
        return values.empty() || std::memcmp(standInRealData(array), values.data(), values.size() * sizeof(double)) == 0;
    }

    static Outcome solveWith(const std::vector<double>& Q, const std::vector<double>& b, const double* method)
    {
        const size_t n = b.size();
        mxArray* q = standInCreateDouble(n, n, Q.data());
        mxArray* v = standInCreateDouble(n, 1, b.data());
        mxArray* m = method ? standInCreateDouble(1, 1, method) : nullptr;
        std::vector<const mxArray*> args = {q, v};
        if (m)
            args.push_back(m);
        Outcome outcome = call(1, args);
        EXPECT_TRUE(holds(q, Q)) << "Q was written";
        EXPECT_TRUE(holds(v, b)) << "b was written";
        mxDestroyArray(q);
        mxDestroyArray(v);
        mxDestroyArray(m);
        return outcome;
    }

    static Outcome solveWith(const std::vector<double>& Q, const std::vector<double>& b, double method)
    {
        return solveWith(Q, b, &method);
    }
};

const std::vector<double> twoIdentity = {2, 0, 0, 2};
const std::vector<double> someB = {1, 1.5};

TEST_F(Plugin, ReportsItsInterfaceVersion)
{
    expectInterfaceVersion();
}

TEST_F(Plugin, CountsAreCheckedArgumentsFirst)
{
    mxArray* a = standInCreateDouble(2, 2, twoIdentity.data());
    const std::string arguments = "Takes 2-3 input arguments";
    EXPECT_EQ(call(1, {a}).message, arguments);
    EXPECT_EQ(call(1, {a, a, a, a}).message, arguments);
    EXPECT_EQ(call(1, {}).message, arguments);
    EXPECT_EQ(call(0, {a}).message, arguments);  // both wrong: arguments first
    EXPECT_EQ(call(0, {a, a}).message, "Outputs one result");  // result not assigned
    EXPECT_EQ(call(2, {a, a}).message, "Outputs one result");
    mxDestroyArray(a);
}

TEST_F(Plugin, MethodCodes)
{
    const Outcome smo = solveWith(twoIdentity, someB, nullptr);
    ASSERT_FALSE(smo.raised);
    EXPECT_EQ(smo.rows, 1u);
    EXPECT_EQ(smo.columns, 2u);
    EXPECT_EQ(smo.x, solve(literal::SMO, twoIdentity, someB));

    const std::vector<double> Q = {4, 1, 1, 3};  // SMO and multUpdate differ here
    const std::vector<double> b = {1, 2};
    const std::vector<double> bySMO = solve(literal::SMO, Q, b);
    const std::vector<double> byMult = solve(literal::multUpdate, Q, b);
    ASSERT_NE(bitsOf(bySMO), bitsOf(byMult));
    // Truncated toward zero; only the low 32 bits of the 64-bit integer count.
    for (double code : {2.0, 2.9, 4294967298.0, -4294967294.0})
        EXPECT_EQ(bitsOf(solveWith(Q, b, code).x), bitsOf(bySMO)) << code;
    for (double code : {3.0, 3.2, 3.999})
        EXPECT_EQ(bitsOf(solveWith(Q, b, code).x), bitsOf(byMult)) << code;
    // Codes without a solver answer with zeros; not-a-number and values
    // beyond the 64-bit range give code 0.
    for (double code : {0.0, 0.5, 4.0, -1.0, -2.0, double(NAN), 1e300, -1e300, double(INFINITY), 9223372036854775808.0}) {
        const Outcome zeros = solveWith(Q, b, code);
        EXPECT_FALSE(zeros.raised) << code;
        EXPECT_EQ(zeros.x, (std::vector<double>{0, 0})) << code;
    }
    for (double code : {1.0, 1.5, 4294967297.0})
        EXPECT_EQ(solveWith(Q, b, code).message, "Sorry -- standard QP not implemented in MEX yet.") << code;
}

TEST_F(Plugin, EmptyProblemGivesAnEmptyRow)
{
    for (double method : {2.0, 3.0}) {
        const Outcome empty = solveWith({}, {}, method);
        ASSERT_FALSE(empty.raised);
        EXPECT_EQ(empty.rows, 1u);
        EXPECT_EQ(empty.columns, 0u);
    }
}

// The same problem at an ordinary scale, where a rounding direction shows,
// and scaled down by powers of two until products underflow (flush to
// zero shows) and Q's entries are subnormal (denormals-are-zero shows).
// b stays normal: the argument checks, which run in the caller's mode,
// would find a sum of subnormal entries zero under denormals-are-zero.
std::vector<CorpusProblem> problemsThatShowTheMode()
{
    std::vector<CorpusProblem> problems;
    for (int exponent : {0, -1000, -1030}) {
        CorpusProblem p = gaussianKernelProblem(12, 31);
        for (double& q : p.Q)
            q = std::ldexp(q, exponent);
        for (double& v : p.b)
            v = std::ldexp(v, exponent < -1000 ? -1000 : exponent);
        p.name = "scaled by 2^" + std::to_string(exponent);
        problems.push_back(p);
    }
    return problems;
}

TEST_F(Plugin, TheCallersFloatingPointModeChangesNoBitAndComesBack)
{
    const ControlWords standard = readControlWords();
    for (const CorpusProblem& p : problemsThatShowTheMode())
        for (double method : {2.0, 3.0}) {
            const std::vector<double> expected = solveWith(p.Q, p.b, method).x;
            for (const FloatMode& mode : hostFloatModes()) {
                writeControlWords(mode.words);
                const Outcome outcome = solveWith(p.Q, p.b, method);
                const ControlWords after = readControlWords();
                writeControlWords(standard);
                EXPECT_TRUE(after == mode.words) << mode.name << " not restored";
                EXPECT_EQ(bitsOf(outcome.x), bitsOf(expected)) << p.name << ", method " << method << ", " << mode.name;
            }
        }
    // An error raised once the standard mode is set leaves the caller's.
    for (const FloatMode& mode : hostFloatModes()) {
        writeControlWords(mode.words);
        const Outcome outcome = solveWith(twoIdentity, someB, 1.0);
        const ControlWords after = readControlWords();
        writeControlWords(standard);
        EXPECT_TRUE(outcome.raised);
        EXPECT_TRUE(after == mode.words) << mode.name << " not restored after the error";
    }
}

TEST_F(Plugin, TheCallersFloatingPointModeComesBackWhenTheHostRunsOutOfMemory)
{
    if (hostFloatModes().empty())
        GTEST_SKIP() << "no floating-point mode to try on this processor";
    const CorpusProblem p = gaussianKernelProblem(12, 31);
    for (double method : {2.0, 3.0})
        EXPECT_GT(expectTheModeBackWhenMemoryRunsOut([&] { return solveWith(p.Q, p.b, method); }), 0u)
            << "method " << method;
}

TEST_F(Plugin, SameBitsAsTheLiteralSolversOnCorpus)
{
    const double smo = 2, mult = 3;
    for (const CorpusProblem& p : makeCorpus()) {
        EXPECT_EQ(bitsOf(solveWith(p.Q, p.b, &smo).x), bitsOf(solve(literal::SMO, p.Q, p.b))) << p.name;
        EXPECT_EQ(bitsOf(solveWith(p.Q, p.b, &mult).x), bitsOf(solve(literal::multUpdateMended, p.Q, p.b))) << p.name;
    }
}

}  // namespace
