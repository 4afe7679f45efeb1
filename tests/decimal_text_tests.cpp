// The numbers in the gateway's messages are written as "%g" writes them,
// the same text on every platform.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "../gateway/decimal_text.h"

namespace {

std::string written(double value)
{
    char text[decimalText::capacity];
    decimalText::write(value, text);
    return text;
}

TEST(DecimalText, WritesWhatPercentGWrites)
{
    // Both forms and the switch between them, rounding half to even on the
    // exact value (0.15 is 0.1499999999999999944...), carries that add a
    // digit, and the ends of the range.
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "-0"},
        {1.0, "1"},
        {-2.5, "-2.5"},
        {0.1, "0.1"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {123456.0, "123456"},
        {1234567.0, "1.23457e+06"},
        {1234565.0, "1.23456e+06"},
        {1234575.0, "1.23458e+06"},
        {999999.5, "1e+06"},
        {9.999995, "10"},  // 9.99999500000000018...
        {9.9999949999, "9.99999"},
        {0.15, "0.15"},
        {1e300, "1e+300"},
        {-1e-300, "-1e-300"},
        {1e100, "1e+100"},
        {1.7976931348623157e308, "1.79769e+308"},
        {2.2250738585072014e-308, "2.22507e-308"},
        {4.9406564584124654e-324, "4.94066e-324"},
        {0.30000000000000004, "0.3"},
        {100.0, "100"},
        {0.000123456789, "0.000123457"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(written(c.value), c.text) << c.text;
}

#ifdef __GLIBC__
// glibc's printf rounds the exact value half to even, as the messages do.
TEST(DecimalText, AgreesWithTheCLibraryOnRandomDoubles)
{
    std::mt19937_64 random(14);
    for (int k = 0; k < 5000; ++k) {
        uint64_t bits = random();
        if (k % 2)  // half of them near 1, where the fixed form is used
            bits = (bits & 0x800fffffffffffffu) | (static_cast<uint64_t>(1003 + k % 40) << 52);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value))
            continue;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%g", value);
        ASSERT_EQ(written(value), expected) << std::hexfloat << value;
    }
}
#endif

}  // namespace
