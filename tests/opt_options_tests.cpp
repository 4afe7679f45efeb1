// simplexQPopt's options struct, through the built plug-in file as a host
// calls it: each field's bad values and unknown names give their messages
// (nothing written, nothing left behind), a warm start from the answer or
// from a poor point, MaxIterations = 0 as a certificate of the start, and
// what Display prints and has the host show.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "certified_reference.h"
#include "certified/certified_smo.h"
#include "options_struct.h"
#include "plugin_call.h"
#include "solve.h"

namespace {

mxArray* scalar(double value)
{
    return standInCreateDouble(1, 1, &value);
}

mxArray* column(const std::vector<double>& values)
{
    return standInCreateDouble(values.size(), 1, values.data());
}

mxArray* emptyDouble()
{
    return standInCreateDouble(0, 0, nullptr);
}

class OptOptions : public PluginCall {
protected:
    // Solves Q, b with the options (destroyed afterwards), or with none.
    static Outcome solve(int nlhs, const std::vector<double>& Q, const std::vector<double>& b, mxArray* options)
    {
        mxArray* q = standInCreateDouble(b.size(), b.size(), Q.data());
        mxArray* v = column(b);
        std::vector<const mxArray*> args = {q, v};
        if (options)
            args.push_back(options);
        Outcome outcome = call(nlhs, args);
        mxDestroyArray(options);
        mxDestroyArray(q);
        mxDestroyArray(v);
        return outcome;
    }

    static double field(const Outcome& outcome, const char* name)
    {
        for (const Field& f : outcome.fields)
            if (f.name == name)
                return f.value;
        ADD_FAILURE() << "no field " << name;
        return NAN;
    }

};

const std::vector<double> smallQ = {2, 0.5, 0.1, 0.5, 1, 0.2, 0.1, 0.2, 3};
const std::vector<double> smallB = {1, 0.8, 0.3};

TEST_F(OptOptions, EveryBadOptionGivesItsMessage)
{
    const char* known = "; the known fields are Tolerance, MaxIterations, Display, InitialPoint, UpperBound and CacheSize";
    struct Case {
        mxArray* options;
        std::string message;
    };
    const Case cases[] = {
        {mxCreateStructMatrix(1, 2, 0, nullptr), "options must be a 1-by-1 struct; got a 1-by-2 struct array"},
        {optionsOf({{"Tol", scalar(1e-9)}}), std::string("options has an unknown field 'Tol'") + known},
        {optionsOf({{"Display", standInCreateString("iter")}, {"tolerance", scalar(1e-9)}}),
         std::string("options has an unknown field 'tolerance'") + known},
        {optionsOf({{"TolFun", nullptr}}), std::string("options has an unknown field 'TolFun'") + known},
        {optionsOf({{"Tolerance", standInCreateDouble(1, 2, nullptr)}}),
         "options.Tolerance must be a real numeric scalar; got a 1-by-2 double matrix"},
        {optionsOf({{"Tolerance", scalar(-1e-9)}}),
         "options.Tolerance must be a non-negative number; got a negative number"},
        {optionsOf({{"Tolerance", scalar(NAN)}}), "options.Tolerance must be a non-negative number; got NaN"},
        {optionsOf({{"MaxIterations", scalar(2.5)}}), "options.MaxIterations must be a whole number >= 0; got 2.5"},
        {optionsOf({{"MaxIterations", scalar(-1)}}), "options.MaxIterations must be a whole number >= 0; got -1"},
        {optionsOf({{"MaxIterations", scalar(NAN)}}), "options.MaxIterations must be a whole number >= 0; got NaN"},
        {optionsOf({{"MaxIterations", scalar(-INFINITY)}}),
         "options.MaxIterations must be a whole number >= 0; got -Inf"},
        {optionsOf({{"MaxIterations", standInCreateString("ten")}}),
         "options.MaxIterations must be a whole number >= 0; got a 1-by-3 char array"},
        {optionsOf({{"Display", standInCreateString("Iter")}}),
         "options.Display must be 'off', 'final' or 'iter'; got 'Iter'"},
        {optionsOf({{"Display", standInCreateString("")}}), "options.Display must be 'off', 'final' or 'iter'; got ''"},
        {optionsOf({{"Display", standInCreateString("abcdefghijklmnopqrstuvwxyz0123456789")}}),
         "options.Display must be 'off', 'final' or 'iter'; got 'abcdefghijklmnopqrstuvwxyz01...'"},
        // Compared over its whole length, not up to a NUL.
        {optionsOf({{"Display", charRow(std::string("iter\0zzz", 8))}}),
         "options.Display must be 'off', 'final' or 'iter'; got 'iter' followed by a NUL character"},
        {optionsOf({{"Display", charRow(std::string("off\0", 4))}}),
         "options.Display must be 'off', 'final' or 'iter'; got 'off' followed by a NUL character"},
        {optionsOf({{"Display", charRow(std::string("final\0", 6) + std::string(40, 'z'))}}),
         "options.Display must be 'off', 'final' or 'iter'; got 'final...' followed by a NUL character"},
        {optionsOf({{"Display", scalar(1)}}),
         "options.Display must be 'off', 'final' or 'iter'; got a 1-by-1 double matrix"},
        {optionsOf({{"InitialPoint", column({0.5, 0.5})}}),
         "options.InitialPoint must be a real, full, double vector of 3 elements; got a 2-by-1 double matrix"},
        {optionsOf({{"InitialPoint", standInCreateArray(standInSingle, 3, 1, false, false, 0)}}),
         "options.InitialPoint must be a real, full, double vector of 3 elements; got a 3-by-1 single matrix"},
        {optionsOf({{"InitialPoint", column({0.5, NAN, 0.5})}}),
         "options.InitialPoint must be finite; got NaN at InitialPoint(2)"},
        {optionsOf({{"InitialPoint", column({0.6, 0.5, -0.1})}}),
         "options.InitialPoint must be >= 0; got -0.1 at InitialPoint(3)"},
        {optionsOf({{"InitialPoint", column({0.5, 0.5, 0.5})}}),
         "options.InitialPoint must sum to 1; got sum(InitialPoint) - 1 = 0.5"},
        // Past the rounding allowance of (3 + 16) eps, though not by much.
        {optionsOf({{"InitialPoint", column({0.25, 0.25, 0.5 + 0x1p-30})}}),
         "options.InitialPoint must sum to 1; got sum(InitialPoint) - 1 = 9.31323e-10"},
        {optionsOf({{"InitialPoint", column({1e308, 1e308, -1e-300})}}),
         "options.InitialPoint must sum to 1; got sum(InitialPoint) - 1 = Inf"},
        {optionsOf({{"UpperBound", column({0.5, 0.5})}}),
         "options.UpperBound must be a real, full, double scalar or vector of 3 elements; got a 2-by-1 double matrix"},
        {optionsOf({{"UpperBound", standInCreateString("one")}}),
         "options.UpperBound must be a real, full, double scalar or vector of 3 elements; got a 1-by-3 char array"},
        {optionsOf({{"UpperBound", standInCreateArray(standInSingle, 1, 1, false, false, 0)}}),
         "options.UpperBound must be a real, full, double scalar or vector of 3 elements; got a 1-by-1 single matrix"},
        {optionsOf({{"UpperBound", column({0.5, NAN, 0.5})}}), "options.UpperBound must not be NaN; got NaN at UpperBound(2)"},
        {optionsOf({{"UpperBound", column({0.5, 0.5, -0.25})}}),
         "options.UpperBound must be >= 0; got -0.25 at UpperBound(3)"},
        {optionsOf({{"UpperBound", scalar(-INFINITY)}}), "options.UpperBound must be >= 0; got -Inf at UpperBound(1)"},
        {optionsOf({{"UpperBound", column({0.5, 0.25, 0.125})}}),
         "options.UpperBound must sum to at least 1, or no x is feasible; got sum(UpperBound) = 0.875"},
        {optionsOf({{"UpperBound", scalar(0.25)}}),
         "options.UpperBound times n must be at least 1, or no x is feasible; got n * UpperBound = 0.75"},
        // The bounds' values are checked before the start's, which must lie within them.
        {optionsOf({{"InitialPoint", column({0.5, 0.5, NAN})}, {"UpperBound", column({NAN, 1, 1})}}),
         "options.UpperBound must not be NaN; got NaN at UpperBound(1)"},
        {optionsOf({{"InitialPoint", column({0.25, 0.5, 0.25})}, {"UpperBound", scalar(0.4)}}),
         "options.InitialPoint must be <= options.UpperBound; got 0.5 at InitialPoint(2), above its bound 0.4"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = solve(2, smallQ, smallB, c.options);
        EXPECT_TRUE(outcome.raised) << c.message;
        EXPECT_EQ(outcome.message, c.message);
    }
}

TEST_F(OptOptions, ShapesAreCheckedBeforeValuesAndPointsAfterQ)
{
    const std::vector<double> badQ = {2, NAN, 0.1, 0.5, 1, 0.2, 0.1, 0.2, 3};
    EXPECT_EQ(solve(1, badQ, smallB, optionsOf({{"Display", standInCreateString("loud")}})).message,
              "options.Display must be 'off', 'final' or 'iter'; got 'loud'");
    EXPECT_EQ(solve(1, badQ, smallB, optionsOf({{"InitialPoint", column({NAN, 0, 0})}})).message,
              "Q must be finite; got NaN at Q(2,1)");
    EXPECT_EQ(solve(1, smallQ, {1, INFINITY, 0}, optionsOf({{"InitialPoint", column({NAN, 0, 0})}})).message,
              "b must be finite; got Inf at b(2)");
    // A third argument that is not a struct is tol, as it always was.
    EXPECT_EQ(solve(1, smallQ, smallB, standInCreateString("iter")).message,
              "tol must be a real numeric scalar; got a 1-by-4 char array");
}

TEST_F(OptOptions, EmptyFieldsAndNumericTolKeepTheirMeaning)
{
    const CorpusProblem p = oneClassProblem(60, 3);
    const Outcome plain = solve(2, p.Q, p.b, nullptr);
    const Outcome allEmpty = solve(2, p.Q, p.b,
                                   optionsOf({{"Tolerance", emptyDouble()}, {"MaxIterations", emptyDouble()},
                                              {"Display", emptyDouble()}, {"InitialPoint", emptyDouble()}}));
    const Outcome noFields = solve(2, p.Q, p.b, optionsOf({}));
    ASSERT_FALSE(plain.raised || allEmpty.raised || noFields.raised) << allEmpty.message << noFields.message;
    EXPECT_EQ(bitsOf(allEmpty.x), bitsOf(plain.x));
    EXPECT_EQ(bitsOf(noFields.x), bitsOf(plain.x));

    const Outcome byTol = solve(2, p.Q, p.b, scalar(1e-7));
    const Outcome byField = solve(2, p.Q, p.b, optionsOf({{"Tolerance", scalar(1e-7)}}));
    EXPECT_EQ(bitsOf(byField.x), bitsOf(byTol.x));
    EXPECT_EQ(field(byField, "iterations"), field(byTol, "iterations"));
}

TEST_F(OptOptions, BoundsThatCannotBindGiveTheUnboundedBits)
{
    const CorpusProblem p = oneClassProblem(80, 21);
    const Outcome plain = solve(2, p.Q, p.b, nullptr);
    ASSERT_FALSE(plain.raised) << plain.message;
    std::vector<double> mixed(p.n, 1.0);
    mixed[3] = INFINITY;
    mixed[40] = 2.5;
    for (mxArray* bound : {scalar(INFINITY), scalar(1.0), scalar(3.0), column(mixed), emptyDouble()}) {
        const Outcome bounded = solve(2, p.Q, p.b, optionsOf({{"UpperBound", bound}}));
        ASSERT_FALSE(bounded.raised) << bounded.message;
        EXPECT_EQ(bitsOf(bounded.x), bitsOf(plain.x));
        for (const char* name : {"gap", "objective", "iterations", "support"})
            EXPECT_EQ(bitsOf(field(bounded, name)), bitsOf(field(plain, name))) << name;
        EXPECT_EQ(field(bounded, "atUpperBound"), 0.0);
    }
}

TEST_F(OptOptions, ABoundGivesCertifiedSMOsBitsWithinIt)
{
    const CorpusProblem p = oneClassProblem(80, 22);
    const std::vector<double> upper(p.n, 1.0 / (0.6 * p.n));
    std::vector<double> x(p.n);
    CertifiedReport report{};
    certifiedSMO(p.Q.data(), p.b.data(), p.n,
                 CertifiedSettings{defaultTolerance(p.Q.data(), p.b.data(), p.n), 10000000, nullptr, nullptr,
                                   nullptr, nullptr, upper.data()},
                 x.data(), report);
    ASSERT_TRUE(report.converged);
    ASSERT_GT(report.atUpperBound, 0u);
    // A scalar, a column and a row of the same bounds.
    for (mxArray* bound : {scalar(upper[0]), column(upper), standInCreateDouble(1, p.n, upper.data())}) {
        const Outcome outcome = solve(2, p.Q, p.b, optionsOf({{"UpperBound", bound}}));
        ASSERT_FALSE(outcome.raised) << outcome.message;
        EXPECT_EQ(bitsOf(outcome.x), bitsOf(x));
        EXPECT_EQ(field(outcome, "atUpperBound"), report.atUpperBound);
        EXPECT_EQ(bitsOf(field(outcome, "gap")), bitsOf(report.gap));
    }
    // A start a rounding above its bound is brought down to it.
    std::vector<double> start(p.n, 0.0);
    for (uint32_t i = 0; i < 48; ++i)
        start[i] = upper[i];
    start[0] = upper[0] * (1 + 0x1p-50);
    const Outcome warm = solve(2, p.Q, p.b, optionsOf({{"UpperBound", scalar(upper[0])}, {"InitialPoint", column(start)}}));
    ASSERT_FALSE(warm.raised) << warm.message;
    EXPECT_EQ(field(warm, "converged"), 1.0);
    for (double weight : warm.x)
        EXPECT_LE(weight, upper[0]);
}

TEST_F(OptOptions, WarmStartFromTheAnswerTakesNoStepAndKeepsItsBits)
{
    for (const CorpusProblem& p : {oneClassProblem(200, 4), mixtureProblem(150, 5)}) {
        const Outcome cold = solve(2, p.Q, p.b, nullptr);
        ASSERT_FALSE(cold.raised) << cold.message;
        ASSERT_EQ(field(cold, "converged"), 1.0) << p.name;
        const Outcome warm = solve(2, p.Q, p.b, optionsOf({{"InitialPoint", column(cold.x)}}));
        ASSERT_FALSE(warm.raised) << warm.message;
        EXPECT_EQ(field(warm, "iterations"), 0.0) << p.name;
        EXPECT_EQ(bitsOf(warm.x), bitsOf(cold.x)) << p.name;
        EXPECT_EQ(bitsOf(field(warm, "gap")), bitsOf(field(cold, "gap"))) << p.name;
        EXPECT_EQ(field(warm, "support"), field(cold, "support")) << p.name;
    }
}

TEST_F(OptOptions, WarmStartFromPoorPointsConvergesBelowTheirObjective)
{
    const CorpusProblem p = mixtureProblem(120, 6);
    const size_t n = p.b.size();
    std::vector<std::vector<double>> starts;
    starts.push_back(std::vector<double>(n, 1.0 / n));  // sums to 1 only within rounding
    std::vector<double> vertex(n, 0.0);
    vertex[n - 1] = 1.0;
    starts.push_back(vertex);
    std::vector<double> twoWeights(n, -1e-17);  // entries a hair below 0 are projected to 0
    twoWeights[3] = 0.5;
    twoWeights[90] = 0.5;
    starts.push_back(twoWeights);
    for (const std::vector<double>& start : starts) {
        const Outcome warm = solve(2, p.Q, p.b, optionsOf({{"InitialPoint", column(start)}}));
        ASSERT_FALSE(warm.raised) << warm.message;
        EXPECT_EQ(field(warm, "converged"), 1.0);
        std::vector<double> projected = start;
        for (double& v : projected)
            v = v > 0.0 ? v : 0.0;
        // It moved (by pair steps, or by the polish, which a start gets at
        // its first check and whose Newton steps are not pair steps).
        EXPECT_NE(bitsOf(warm.x), bitsOf(projected));
        EXPECT_LE(objectiveInLongDouble(p.Q, p.b, warm.x), objectiveInLongDouble(p.Q, p.b, projected));
        long double error = 0;
        EXPECT_LE(violationInLongDouble(p.Q, p.b, warm.x, error), field(warm, "gap") + error);
    }
}

TEST_F(OptOptions, MaxIterationsCapsTheStepsAndZeroCertifiesTheStart)
{
    const CorpusProblem p = mixtureProblem(120, 7);
    const size_t n = p.b.size();
    std::vector<double> start(n, -1e-17);
    start[0] = 0.25;
    start[50] = 0.75;
    const Outcome certified = solve(2, p.Q, p.b, optionsOf({{"MaxIterations", scalar(0)},
                                                            {"InitialPoint", column(start)}}));
    ASSERT_FALSE(certified.raised) << certified.message;
    std::vector<double> projected(n, 0.0);
    projected[0] = 0.25;
    projected[50] = 0.75;
    EXPECT_EQ(bitsOf(certified.x), bitsOf(projected));  // +0.0 where the entries were a hair below
    EXPECT_EQ(field(certified, "iterations"), 0.0);
    EXPECT_EQ(field(certified, "support"), 2.0);
    EXPECT_EQ(field(certified, "converged"), 0.0);
    const double objective = static_cast<double>(objectiveInLongDouble(p.Q, p.b, projected));
    EXPECT_NEAR(field(certified, "objective"), objective, 1e-14 * std::fabs(objective));
    long double error = 0;
    const long double violation = violationInLongDouble(p.Q, p.b, projected, error);
    EXPECT_LE(violation, field(certified, "gap") + error);
    EXPECT_GE(violation * 1.001L + error, field(certified, "gap") * 0.999L);  // a bound, not a guess

    // A cap of a few steps, with and without a start.
    for (mxArray* x0 : {static_cast<mxArray*>(nullptr), column(start)}) {
        const Outcome capped = solve(2, p.Q, p.b, optionsOf({{"MaxIterations", scalar(5)}, {"InitialPoint", x0}}));
        ASSERT_FALSE(capped.raised) << capped.message;
        EXPECT_LE(field(capped, "iterations"), 5.0);
        // Cold, five pair steps leave the gap far above tol; from a start,
        // the polish (whose Newton steps the cap does not count) may finish.
        if (x0 == nullptr) {
            EXPECT_EQ(field(capped, "converged"), 0.0);
        }
    }
}

TEST_F(OptOptions, DisplayPrintsThePromisedLinesAndHasThemShown)
{
    const CorpusProblem p = mixtureProblem(150, 8);
    standInClearPrinted();
    const Outcome quiet = solve(2, p.Q, p.b, optionsOf({{"Display", standInCreateString("off")}}));
    EXPECT_STREQ(standInPrinted(), "");
    EXPECT_EQ(standInEvaluationCount(), 0u);

    const Outcome last = solve(2, p.Q, p.b, optionsOf({{"Display", standInCreateString("final")}}));
    EXPECT_EQ(bitsOf(last.x), bitsOf(quiet.x));  // showing changes nothing
    std::vector<std::string> lines = printedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("simplexQPopt: converged, gap ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(" after " + std::to_string(static_cast<uint64_t>(field(last, "iterations"))) +
                            " pair steps; objective "),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[0].find(", support " + std::to_string(static_cast<int>(field(last, "support")))),
              std::string::npos)
        << lines[0];
    EXPECT_EQ(standInEvaluationCount(), 1u);
    EXPECT_NE(std::string(standInLastEvaluated()).find("drawnow"), std::string::npos);
    EXPECT_NE(std::string(standInLastEvaluated()).find("fflush(stdout)"), std::string::npos);

    // 'iter': a heading, a line per exact check with the steps so far (the
    // last one the run's total) and what the run did, then the end.
    standInClearPrinted();
    const Outcome iter = solve(2, p.Q, p.b, optionsOf({{"Display", standInCreateString("iter")}}));
    EXPECT_EQ(bitsOf(iter.x), bitsOf(quiet.x));
    lines = printedLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "simplexQPopt: n = 150, tol = " + lines[0].substr(29));
    EXPECT_EQ(lines[1].find("steps"), 6u);
    uint64_t steps = 0;
    for (size_t k = 2; k + 1 < lines.size(); ++k) {
        std::istringstream line(lines[k]);
        uint64_t stepsSoFar = 0;
        double gap = 0, objective = 0;
        unsigned support = 0;
        std::string phase;
        line >> stepsSoFar >> gap >> objective >> support;
        std::getline(line, phase);
        // A polish line follows the check it improved, at the same steps.
        if (phase == "  polish")
            EXPECT_EQ(stepsSoFar, steps) << lines[k];
        else
            EXPECT_EQ(phase, "  pair steps") << lines[k];
        EXPECT_GE(stepsSoFar, steps) << lines[k];
        EXPECT_GE(support, 1u);
        steps = stepsSoFar;
    }
    EXPECT_EQ(static_cast<double>(steps), field(iter, "iterations"));
    EXPECT_EQ(lines.back().rfind("simplexQPopt: converged, gap ", 0), 0u) << lines.back();
    EXPECT_EQ(standInEvaluationCount(), lines.size());  // every line shown as it is printed

    // From a start, the first check is the start's; unconverged, the end
    // says so, with the pair steps up to the point it answers with (at
    // tolerance 0: the polish from the start alone converges at the
    // default, and its point may stay the one of least gap).
    standInClearPrinted();
    std::vector<double> start(150, 0.0);
    start[10] = 1.0;
    const Outcome capped =
        solve(2, p.Q, p.b,
              optionsOf({{"Display", standInCreateString("iter")}, {"InitialPoint", column(start)},
                         {"MaxIterations", scalar(3)}, {"Tolerance", scalar(0)}}));
    lines = printedLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2].substr(0, 11), "          0");
    EXPECT_EQ(lines[2].substr(lines[2].size() - 7), "  start");
    EXPECT_NE(lines[2].find("        1  start"), std::string::npos) << lines[2];
    EXPECT_EQ(lines.back().rfind("simplexQPopt: not converged, gap ", 0), 0u) << lines.back();
    EXPECT_LE(field(capped, "iterations"), 3.0);
    EXPECT_NE(lines.back().find(" after " + std::to_string(static_cast<uint64_t>(field(capped, "iterations"))) +
                                " pair steps"),
              std::string::npos)
        << lines.back();
}

}  // namespace
