// The built simplexQPopt plug-in with Q described by points and a kernel
// (a struct K): what it accepts, each message, and that its answers are
// those of the stored matrix of the kernel's values (the Gaussian) or of
// certifiedSMO on the points' source (the linear kernel), to the last bit,
// whatever the cache holds; past the 65536 weights of a stored Q.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "certified/certified_smo.h"
#include "draw.h"
#include "options_struct.h"
#include "plugin_call.h"
#include "solve.h"
#include "sources/vector_kernel.h"

namespace {

// Points in three clusters, a point per row (column-major n-by-d).
std::vector<double> clusteredPoints(size_t n, size_t d, uint64_t seed)
{
    Draw draw{seed};
    std::vector<double> P(n * d);
    for (size_t i = 0; i < n; ++i)
        for (size_t t = 0; t < d; ++t)
            P[i + t * n] = (i % 3) * 0.5 + 0.3 * (unit(draw) - 0.5);
    return P;
}

mxArray* scalar(double value)
{
    return standInCreateDouble(1, 1, &value);
}

// K with these points and kernel, and a width where width > 0.
mxArray* describedQ(const std::vector<double>& P, size_t n, size_t d, const std::string& kernel, double width = 0.0)
{
    std::vector<std::pair<const char*, mxArray*>> fields = {{"Points", standInCreateDouble(n, d, P.data())},
                                                            {"Kernel", charRow(kernel)}};
    if (width > 0.0)
        fields.push_back({"Width", scalar(width)});
    return optionsOf(fields);
}

class DescribedQPlugin : public PluginCall {
protected:
    // The call with first argument Q (owned by the caller), b of n entries,
    // and options when given (taken over and destroyed).
    static Outcome solveWith(int nlhs, const mxArray* Q, const std::vector<double>& b, mxArray* options = nullptr)
    {
        mxArray* v = standInCreateDouble(b.size(), 1, b.data());
        std::vector<const mxArray*> args = {Q, v};
        if (options)
            args.push_back(options);
        Outcome outcome = call(nlhs, args);
        mxDestroyArray(v);
        if (options)
            mxDestroyArray(options);
        return outcome;
    }

    static std::string messageFor(mxArray* K, size_t n, mxArray* options = nullptr)
    {
        const Outcome outcome = solveWith(1, K, std::vector<double>(n, 0.0), options);
        mxDestroyArray(K);
        EXPECT_TRUE(outcome.raised);
        return outcome.message;
    }

    static void expectSameBits(const Outcome& got, const Outcome& want, const std::string& label)
    {
        ASSERT_FALSE(got.raised) << label << ": " << got.message;
        ASSERT_FALSE(want.raised) << label << ": " << want.message;
        EXPECT_EQ(bitsOf(got.x), bitsOf(want.x)) << label;
        ASSERT_EQ(got.fields.size(), want.fields.size()) << label;
        for (size_t f = 0; f < got.fields.size(); ++f)
            EXPECT_EQ(bitsOf(got.fields[f].value), bitsOf(want.fields[f].value)) << label << ", " << got.fields[f].name;
    }
};

const std::string theFields = "; a struct K has the fields Points (n-by-d, a point per row), Kernel ('gaussian' or "
                              "'linear') and Width (for 'gaussian')";

TEST_F(DescribedQPlugin, EachFieldIsCheckedAndNamedBeforeAnythingIsCreated)
{
    const std::vector<double> P = clusteredPoints(4, 2, 1);
    const char* pointsAndKernel[] = {"Points", "Kernel"};
    EXPECT_EQ(messageFor(mxCreateStructMatrix(1, 2, 2, pointsAndKernel), 4), "K must be a 1-by-1 struct; got a 1-by-2 struct array");
    EXPECT_EQ(messageFor(optionsOf({{"Points", standInCreateDouble(4, 2, P.data())}, {"Kernal", charRow("linear")}}), 4),
              "K has an unknown field 'Kernal'" + theFields);
    EXPECT_EQ(messageFor(optionsOf({{"Kernel", charRow("linear")}}), 4), "K.Points is missing" + theFields);
    EXPECT_EQ(messageFor(optionsOf({{"Points", standInCreateDouble(4, 2, P.data())}}), 4), "K.Kernel is missing" + theFields);
    EXPECT_EQ(messageFor(describedQ(P, 4, 2, "rbf"), 4), "K.Kernel must be 'gaussian' or 'linear'; got 'rbf'");
    EXPECT_EQ(messageFor(describedQ(P, 4, 2, "Gaussian", 1.0), 4), "K.Kernel must be 'gaussian' or 'linear'; got 'Gaussian'");
    EXPECT_EQ(messageFor(describedQ(P, 4, 2, std::string("linear\0x", 8)), 4),
              "K.Kernel must be 'gaussian' or 'linear'; got 'linear' followed by a NUL character");
    EXPECT_EQ(messageFor(optionsOf({{"Points", standInCreateDouble(4, 2, P.data())}, {"Kernel", scalar(1)}}), 4),
              "K.Kernel must be 'gaussian' or 'linear'; got a 1-by-1 double matrix");
    EXPECT_EQ(messageFor(describedQ(P, 4, 2, "gaussian"), 4),
              "K.Width is missing: the 'gaussian' kernel needs it" + theFields);
    EXPECT_EQ(messageFor(describedQ(P, 4, 2, "linear", 1.0), 4),
              "K.Width is given, but the 'linear' kernel takes none" + theFields);
    // 2 w^2 must be a finite double > 0: it overflows above about 1e154
    // and underflows to 0 below about 1e-162.
    const std::string widthMessage = "K.Width must be finite and > 0, with 2*Width^2 a finite double > 0; got ";
    const std::pair<double, const char*> widths[] = {{-1.0, "-1"}, {NAN, "NaN"}, {INFINITY, "Inf"},
                                                     {1e160, "1e+160"}, {1e-170, "1e-170"}};
    for (const auto& width : widths) {
        mxArray* K = optionsOf({{"Points", standInCreateDouble(4, 2, P.data())}, {"Kernel", charRow("gaussian")},
                                {"Width", scalar(width.first)}});
        EXPECT_EQ(messageFor(K, 4), widthMessage + width.second);
    }
    mxArray* single = standInCreateArray(standInSingle, 4, 2, false, false, 0);
    EXPECT_EQ(messageFor(optionsOf({{"Points", single}, {"Kernel", charRow("linear")}}), 4),
              "K.Points must be a real, full, double n-by-d matrix (a point per row); got a 4-by-2 single matrix");
    mxArray* complex = standInCreateArray(standInDouble, 4, 2, true, false, 0);
    EXPECT_EQ(messageFor(optionsOf({{"Points", complex}, {"Kernel", charRow("linear")}}), 4),
              "K.Points must be a real, full, double n-by-d matrix (a point per row); got a 4-by-2 complex double matrix");
    // b's length is the number of points; its shape is checked before the
    // points' values, and the options before them too.
    std::vector<double> bad = P;
    bad[1] = NAN;
    EXPECT_EQ(messageFor(describedQ(bad, 4, 2, "linear"), 3),
              "b must be a real, full, double vector of 4 elements; got a 3-by-1 double matrix");
    EXPECT_EQ(messageFor(describedQ(bad, 4, 2, "linear"), 4, optionsOf({{"CacheSize", scalar(0)}})),
              "options.CacheSize must be a finite number of megabytes > 0; got 0");
    EXPECT_EQ(messageFor(describedQ(bad, 4, 2, "linear"), 4), "K.Points must be finite; got NaN at K.Points(2,1)");
    const std::vector<double> huge(8, 1e160);
    EXPECT_EQ(messageFor(describedQ(huge, 4, 2, "linear"), 4),
              "K.Points are too large for the 'linear' kernel: the largest p_i'p_i overflows to Inf; scale the points "
              "down");
    // Far points are not too large for the Gaussian: their entries are 0.
    mxArray* farApart = describedQ(huge, 4, 2, "gaussian", 1.0);
    const Outcome far = solveWith(1, farApart, std::vector<double>(4, 0.0));
    mxDestroyArray(farApart);
    EXPECT_FALSE(far.raised) << far.message;
}

TEST_F(DescribedQPlugin, CacheSizeIsAPositiveNumberOfMegabytes)
{
    const std::vector<double> Q = {2, 0.5, 0.5, 1};
    mxArray* q = standInCreateDouble(2, 2, Q.data());
    const std::string expected = "options.CacheSize must be a finite number of megabytes > 0; got ";
    const std::pair<double, const char*> sizes[] = {{0.0, "0"}, {-3.0, "-3"}, {NAN, "NaN"}, {INFINITY, "Inf"}};
    for (const auto& size : sizes)
        EXPECT_EQ(solveWith(1, q, {1, 0}, optionsOf({{"CacheSize", scalar(size.first)}})).message, expected + size.second);
    EXPECT_EQ(solveWith(1, q, {1, 0}, optionsOf({{"CacheSize", charRow("big")}})).message,
              "options.CacheSize must be a real numeric scalar (megabytes); got a 1-by-3 char array");
    EXPECT_EQ(solveWith(1, q, {1, 0}, optionsOf({{"Cache", scalar(1)}})).message,
              "options has an unknown field 'Cache'; the known fields are Tolerance, MaxIterations, Display, "
              "InitialPoint, UpperBound and CacheSize");
    // A stored Q's answer does not depend on the room for its copies.
    const std::vector<double> b = {1, 0.2};
    expectSameBits(solveWith(2, q, b, optionsOf({{"CacheSize", scalar(1e-6)}})), solveWith(2, q, b), "stored Q");
    mxDestroyArray(q);
}

TEST_F(DescribedQPlugin, GaussianGivesTheBitsOfTheStoredMatrixOfItsValues)
{
    const size_t n = 150, d = 4;
    const double width = 0.4;
    const std::vector<double> P = clusteredPoints(n, d, 2);
    const VectorKernel kernel = gaussianOfPoints(P.data(), n, d, width);
    std::vector<double> Q(n * n);
    for (uint32_t j = 0; j < n; ++j)
        kernelColumn(kernel, j, nullptr, static_cast<uint32_t>(n), Q.data() + j * n);
    mxArray* stored = standInCreateDouble(n, n, Q.data());
    mxArray* K = describedQ(P, n, d, "gaussian", width);
    std::vector<double> b(n, 0.0), start(n, 1.0 / n);
    for (size_t i = 0; i < n; ++i)
        b[i] = 0.01 * static_cast<double>(i % 7);
    // Each option once, and a cache too small for the store of whole
    // columns (the columns are then computed in part, as needed).
    using Options = std::vector<std::pair<const char*, double>>;
    const std::pair<const char*, Options> variants[] = {
        {"defaults", {}},
        {"tol", {{"Tolerance", 1e-9}}},
        {"bounded", {{"UpperBound", 0.05}}},
        {"warm", {{"InitialPoint", -1.0}}},
        {"tiny cache", {{"CacheSize", 0.01}}},
        {"bounded, tiny cache", {{"UpperBound", 0.02}, {"CacheSize", 0.05}}},
    };
    for (const auto& variant : variants) {
        auto options = [&]() -> mxArray* {
            if (variant.second.empty())
                return nullptr;
            std::vector<std::pair<const char*, mxArray*>> fields;
            for (const auto& field : variant.second)
                fields.push_back({field.first, field.second < 0.0 ? standInCreateDouble(n, 1, start.data())
                                                                  : scalar(field.second)});
            return optionsOf(fields);
        };
        const Outcome got = solveWith(2, K, b, options());
        expectSameBits(got, solveWith(2, stored, b, options()), variant.first);
        EXPECT_EQ(got.fields.at(3).value, 1.0) << variant.first << ": not converged";
    }
    mxDestroyArray(K);
    mxDestroyArray(stored);
}

TEST_F(DescribedQPlugin, LinearGivesCertifiedSMOsBitsPastTheLimitOfAStoredQ)
{
    for (size_t n : {size_t{40}, size_t{70000}}) {
        const size_t d = 3;
        const std::vector<double> P = clusteredPoints(n, d, 3);
        std::vector<double> b(n);
        for (size_t i = 0; i < n; ++i)
            b[i] = P[i] * 0.5;
        const VectorKernel kernel = linearOfPoints(P.data(), static_cast<uint32_t>(n), d);
        const SolverSettings solver = defaultSettings();
        const double tol = defaultToleranceAtScale(kernelLargestEntry(kernel), b.data(), static_cast<uint32_t>(n), solver.path);
        CertifiedSettings settings{tol, 100ull * n > 10000000ull ? 100ull * n : 10000000ull, nullptr, nullptr, nullptr,
                                   &solver, nullptr};
        std::vector<double> x(n);
        CertifiedReport report{};
        certifiedSMO(kernelSource(kernel), b.data(), settings, x.data(), report);

        mxArray* K = describedQ(P, n, d, "linear");
        const Outcome got = solveWith(2, K, b);
        mxDestroyArray(K);
        ASSERT_FALSE(got.raised) << got.message;
        EXPECT_EQ(got.columns, n);
        EXPECT_EQ(bitsOf(got.x), bitsOf(x)) << n;
        EXPECT_EQ(bitsOf(got.fields.at(1).value), bitsOf(report.gap)) << n;
        EXPECT_EQ(got.fields.at(3).value, report.converged ? 1.0 : 0.0) << n;
        EXPECT_TRUE(report.converged) << n;
    }
    // No points: no weights.
    mxArray* none = describedQ({}, 0, 3, "gaussian", 1.0);
    const Outcome empty = solveWith(2, none, {});
    mxDestroyArray(none);
    ASSERT_FALSE(empty.raised) << empty.message;
    EXPECT_EQ(empty.rows, 1u);
    EXPECT_EQ(empty.columns, 0u);
}

TEST_F(DescribedQPlugin, EveryRefusalOfTheHostsMemoryIsRaisedInTheCallersMode)
{
    if (hostFloatModes().empty())
        GTEST_SKIP() << "no floating-point mode to try on this processor";
    const size_t n = 60, d = 2;
    const std::vector<double> P = clusteredPoints(n, d, 4);
    mxArray* K = describedQ(P, n, d, "gaussian", 0.3);
    EXPECT_GT(expectTheModeBackWhenMemoryRunsOut([&] { return solveWith(1, K, std::vector<double>(n, 0.0)); }), 0u);
    mxDestroyArray(K);
}

}  // namespace
