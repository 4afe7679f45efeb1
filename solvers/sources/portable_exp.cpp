// x = k ln2 + r with |r| <= ln2/2, ln2 in two parts whose first has its
// low bits zero, so that k ln2hi is exact for every k that can occur and
// r = (x - k ln2hi) - k ln2lo loses nothing to cancellation. Then
//     e^r = 1 + 2r / (R(r) - r),  R(r) = r (e^r + 1) / (e^r - 1),
// with R a fixed even polynomial in r of degree 10 (a minimax fit with an
// error below 2^-59 on the range), arranged so that the last addition to
// 1 is the only large rounding: the form of the classic 4.4BSD / Sun
// routines, whose constants these are. 2^k is applied through the exponent
// bits, or for a subnormal result by two products, the second rounding
// once.
#include "portable_exp.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr double ln2Hi = 0x1.62e42feep-1;    // 32 significant bits
constexpr double ln2Lo = 0x1.a39ef35793c76p-33;
constexpr double inverseLn2 = 0x1.71547652b82fep+0;
constexpr double p1 = 0x1.555555555553ep-3;
constexpr double p2 = -0x1.6c16c16bebd93p-9;
constexpr double p3 = 0x1.1566aaf25de2cp-14;
constexpr double p4 = -0x1.bbd41c5d26bf1p-20;
constexpr double p5 = 0x1.6376972bea4d0p-25;
// Beyond these e^x rounds to +Inf or to +0.0.
constexpr double overflowAbove = 0x1.62e42fefa39efp+9;   // ln(largest double)
constexpr double zeroBelow = -0x1.74910d52d3051p+9;      // ln(2^-1075)

// 2^k for -1022 <= k <= 1023, from its exponent bits.
double powerOfTwo(int k)
{
    const uint64_t bits = static_cast<uint64_t>(k + 1023) << 52;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

double portableExp(double x)
{
    if (!(x == x))
        return x;
    if (x > overflowAbove)
        return __builtin_inf();
    if (x < zeroBelow)
        return 0.0;
    // The nearest integer to x / ln2, by truncation of a value moved half
    // away from zero: the conversion truncates in every rounding mode.
    const double scaled = x * inverseLn2;
    const int k = static_cast<int>(scaled < 0.0 ? scaled - 0.5 : scaled + 0.5);
    const double hi = x - k * ln2Hi;
    const double lo = k * ln2Lo;
    const double r = hi - lo;
    const double t = r * r;
    const double c = r - t * (p1 + t * (p2 + t * (p3 + t * (p4 + t * p5))));
    const double y = 1.0 - ((lo - (r * c) / (2.0 - c)) - hi);
    if (k >= -1021) {
        // k = 1024 only where y < 1: y 2 2^1023 stays finite.
        return k == 1024 ? y * 2.0 * powerOfTwo(1023) : y * powerOfTwo(k);
    }
    // A subnormal result: exact down to 2^-1021, then one rounding.
    return (y * powerOfTwo(k + 1000)) * 0x1p-1000;
}
