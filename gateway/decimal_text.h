// A double as printf's "%g" writes it (six significant digits, trailing
// zeros dropped, exponent form below 1e-4 and from 1e6 on: "0.1", "1e+300",
// "-2.5e-07"), for the gateway's messages.
//
// Written out rather than taken from the C library, whose Windows versions
// round differently and which the messages otherwise do without: the digits
// come from the double's exact decimal expansion, rounded half to even, so
// every platform writes the same text. Finite values only.
#ifndef SIMPLEXQP_DECIMAL_TEXT_H
#define SIMPLEXQP_DECIMAL_TEXT_H

#include <cstdint>
#include <cstring>

namespace decimalText {

constexpr int significantDigits = 6;
// "-1.23457e-308" and its terminating zero, with room to spare.
constexpr size_t capacity = 16;
// The same for "%.<digits>g": digits, sign, point, "e-308" and the zero.
template <int digits>
constexpr size_t capacityFor()
{
    return digits + 9;
}

// The exact decimal expansion of a finite double: value = digits * 10^shift,
// digits least significant first. The largest (2^53 * 5^1074 for the
// smallest subnormals) has 767 digits.
struct Expansion {
    uint8_t digits[800];
    int length;
    int shift;
};

inline void multiplyBy(Expansion& expansion, unsigned factor)
{
    unsigned carry = 0;
    for (int k = 0; k < expansion.length; ++k) {
        const unsigned product = expansion.digits[k] * factor + carry;
        expansion.digits[k] = static_cast<uint8_t>(product % 10);
        carry = product / 10;
    }
    while (carry) {
        expansion.digits[expansion.length++] = static_cast<uint8_t>(carry % 10);
        carry /= 10;
    }
}

// |value| = mantissa * 2^exponent = mantissa * 2^exponent (exponent >= 0)
// or mantissa * 5^-exponent * 10^exponent (exponent < 0).
inline void expand(uint64_t mantissa, int exponent, Expansion& expansion)
{
    expansion.length = 0;
    do {
        expansion.digits[expansion.length++] = static_cast<uint8_t>(mantissa % 10);
        mantissa /= 10;
    } while (mantissa);
    expansion.shift = exponent < 0 ? exponent : 0;
    for (int k = 0; k < (exponent < 0 ? -exponent : exponent); ++k)
        multiplyBy(expansion, exponent < 0 ? 5 : 2);
}

// The leading significant digits of a non-zero expansion, rounded half to
// even, and the decimal exponent of the first: |value| ~ d.ddddd * 10^x.
template <int digits>
inline int roundToSignificant(const Expansion& expansion, uint8_t (&leading)[digits])
{
    const int top = expansion.length - 1;
    auto digitAt = [&](int k) { return k >= 0 ? expansion.digits[k] : 0; };
    for (int j = 0; j < digits; ++j)
        leading[j] = static_cast<uint8_t>(digitAt(top - j));
    const int next = top - digits;  // the first digit dropped
    bool beyondHalf = false;
    for (int k = next - 1; k >= 0 && !beyondHalf; --k)
        beyondHalf = expansion.digits[k] != 0;
    const int dropped = digitAt(next);
    int exponent = top + expansion.shift;
    if (dropped > 5 || (dropped == 5 && (beyondHalf || leading[digits - 1] % 2))) {
        int j = digits - 1;
        while (j >= 0 && leading[j] == 9)
            leading[j--] = 0;
        if (j >= 0) {
            ++leading[j];
        } else {  // 999999.5 -> 1000000
            leading[0] = 1;
            ++exponent;
        }
    }
    return exponent;
}

// Writes value into text (capacityFor<digits>() characters), as
// "%.<digits>g" would.
template <int digits>
inline void writeDigits(double value, char* text)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    char* out = text;
    if (bits >> 63)
        *out++ = '-';
    const int biased = static_cast<int>(bits >> 52 & 0x7ff);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (biased == 0 && fraction == 0) {
        *out++ = '0';
        *out = '\0';
        return;
    }
    Expansion expansion;
    expand(biased ? fraction | uint64_t{1} << 52 : fraction, (biased ? biased : 1) - 1075, expansion);
    uint8_t leading[digits];
    const int exponent = roundToSignificant<digits>(expansion, leading);

    // Digits with the point after position `point` (negative: zeros first),
    // then trailing zeros of the fraction dropped.
    const bool scientific = exponent < -4 || exponent >= digits;
    const int point = scientific ? 0 : exponent;
    int last = digits - 1;
    while (last > point && leading[last] == 0)
        --last;
    if (point < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int k = point + 1; k < 0; ++k)
            *out++ = '0';
    }
    for (int j = 0; j <= last; ++j) {
        *out++ = static_cast<char>('0' + leading[j]);
        if (j == point && j < last)
            *out++ = '.';
    }
    if (scientific) {
        const int magnitude = exponent < 0 ? -exponent : exponent;
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        if (magnitude >= 100)
            *out++ = static_cast<char>('0' + magnitude / 100);
        *out++ = static_cast<char>('0' + magnitude / 10 % 10);
        *out++ = static_cast<char>('0' + magnitude % 10);
    }
    *out = '\0';
}

// Writes value into text (capacity characters), as "%g" would.
inline void write(double value, char* text)
{
    writeDigits<significantDigits>(value, text);
}

}  // namespace decimalText

#endif
