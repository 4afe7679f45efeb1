// The kernels' exp: within one unit in the last place of e^x, measured
// against the platform's long double expl (whose own error is far below a
// double's last bit), and exact where it must be.
#include <cfloat>
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "draw.h"
#include "sources/portable_exp.h"

namespace {

// |y - e^x| in units of the last place of the double nearest e^x
// (2^-1074 in the subnormal range).
double ulpError(double x, double y)
{
    const long double wide = expl(static_cast<long double>(x));
    const double nearest = static_cast<double>(wide);
    int exponent;
    std::frexp(nearest, &exponent);
    const long double unit = nearest < DBL_MIN ? 0x1p-1074L : std::ldexp(1.0L, exponent - 53);
    return static_cast<double>(fabsl(static_cast<long double>(y) - wide) / unit);
}

// The largest error over count arguments drawn uniformly from [from, to).
double largestError(double from, double to, uint32_t count, uint64_t seed, double& worstArgument)
{
    Draw draw{seed};
    double largest = 0.0;
    for (uint32_t j = 0; j < count; ++j) {
        const double x = from + (to - from) * unit(draw);
        const double error = ulpError(x, portableExp(x));
        if (error > largest) {
            largest = error;
            worstArgument = x;
        }
    }
    return largest;
}

TEST(PortableExp, WithinOneUnitInTheLastPlace)
{
    if (LDBL_MANT_DIG < 64)
        GTEST_SKIP() << "long double has " << LDBL_MANT_DIG << " bits here: no wider exp to measure against";
    struct Range {
        double from, to;
        uint32_t count;
    };
    // The whole finite range, the kernels' (arguments <= 0, most near 0),
    // near 0 where the reduction does nothing, and the subnormal results.
    const Range ranges[] = {{-745.2, 709.78, 2000000}, {-40.0, 0.0, 2000000}, {-1e-3, 1e-3, 500000},
                            {-745.2, -708.0, 500000}};
    for (const Range& range : ranges) {
        double worst = 0.0;
        const double largest = largestError(range.from, range.to, range.count, 25, worst);
        std::printf("exp on [%g, %g), %u arguments: largest error %.4f ulp at %a\n", range.from, range.to,
                    range.count, largest, worst);
        EXPECT_LT(largest, 1.0) << "at " << worst;
    }
}

TEST(PortableExp, ExactValuesAndLimits)
{
    EXPECT_EQ(portableExp(0.0), 1.0);
    EXPECT_EQ(portableExp(-0.0), 1.0);
    EXPECT_EQ(portableExp(-746.0), 0.0);
    EXPECT_FALSE(std::signbit(portableExp(-746.0)));
    EXPECT_EQ(portableExp(-HUGE_VAL), 0.0);
    EXPECT_EQ(portableExp(710.0), HUGE_VAL);
    EXPECT_EQ(portableExp(HUGE_VAL), HUGE_VAL);
    EXPECT_TRUE(std::isnan(portableExp(NAN)));
    // The largest arguments below overflow, and results at the foot of the
    // subnormal range: finite and positive.
    EXPECT_LT(portableExp(709.78), HUGE_VAL);
    EXPECT_GT(portableExp(-745.0), 0.0);
    EXPECT_LT(portableExp(-745.0), DBL_MIN);
    // Monotone across the points where the reduction's k changes.
    for (int k = -1070; k < 1020; ++k) {
        const double x = k * 0.6931471805599453 + 0.34657359027997264;
        EXPECT_LE(portableExp(std::nextafter(x, -HUGE_VAL)), portableExp(x)) << x;
        EXPECT_LE(portableExp(x), portableExp(std::nextafter(x, HUGE_VAL))) << x;
    }
}

}  // namespace
