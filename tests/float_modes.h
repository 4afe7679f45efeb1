// The processor modes a host might leave set when it calls a plug-in
// (another rounding direction, flush-to-zero, denormals-are-zero), set and
// read here through the control registers themselves, independently of
// the plug-ins' own code, so that a test can call a plug-in in each and
// then see whether the caller's mode came back.
#ifndef SIMPLEXQP_TESTS_FLOAT_MODES_H
#define SIMPLEXQP_TESTS_FLOAT_MODES_H

#include <cstdint>
#include <vector>

struct ControlWords {
    uint64_t main;  // MXCSR on x86, FPCR on AArch64
    uint16_t x87;   // 32-bit x86 only
    bool operator==(const ControlWords& other) const { return main == other.main && x87 == other.x87; }
};

inline ControlWords readControlWords()
{
    ControlWords words{0, 0};
#if defined(__x86_64__) || defined(__i386__)
    uint32_t csr;
    __asm__ __volatile__("stmxcsr %0" : "=m"(csr) : : "memory");
    words.main = csr & ~uint32_t{0x3F};  // not the sticky exception flags
#endif
#if defined(__i386__)
    __asm__ __volatile__("fnstcw %0" : "=m"(words.x87) : : "memory");
#endif
#if defined(__aarch64__)
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(words.main) : : "memory");
#endif
    return words;
}

inline void writeControlWords(ControlWords words)
{
#if defined(__x86_64__) || defined(__i386__)
    uint32_t csr = static_cast<uint32_t>(words.main);
    __asm__ __volatile__("ldmxcsr %0" : : "m"(csr) : "memory");
#endif
#if defined(__i386__)
    __asm__ __volatile__("fldcw %0" : : "m"(words.x87) : "memory");
#endif
#if defined(__aarch64__)
    __asm__ __volatile__("msr fpcr, %0" : : "r"(words.main) : "memory");
#endif
    (void)words;
}

struct FloatMode {
    const char* name;
    ControlWords words;
};

// The modes worth trying on this processor, each from the standard one
// (round to nearest, subnormals kept, exceptions masked). Empty where the
// tests know no control register.
inline std::vector<FloatMode> hostFloatModes()
{
    std::vector<FloatMode> modes;
#if defined(__x86_64__) || defined(__i386__)
    const uint16_t x87 = readControlWords().x87;
    const uint64_t standard = 0x1F80;
    modes.push_back({"downward", {standard | 0x2000, x87}});
    modes.push_back({"upward", {standard | 0x4000, x87}});
    modes.push_back({"toward zero", {standard | 0x6000, x87}});
    modes.push_back({"flush to zero", {standard | 0x8000, x87}});
    modes.push_back({"denormals are zero", {standard | 0x0040, x87}});
    modes.push_back({"both, and upward", {standard | 0x8040 | 0x4000, x87}});
#endif
#if defined(__i386__)
    // x87: round upward, its precision as the caller's (the tests read
    // results through x87 registers, which an emulator may round to it).
    modes.push_back({"x87 upward", {0x1F80, static_cast<uint16_t>((x87 & ~0x0C00) | 0x0800)}});
#endif
#if defined(__aarch64__)
    modes.push_back({"downward", {uint64_t{2} << 22, 0}});
    modes.push_back({"upward", {uint64_t{1} << 22, 0}});
    modes.push_back({"toward zero", {uint64_t{3} << 22, 0}});
    modes.push_back({"flush to zero", {uint64_t{1} << 24, 0}});
#endif
    return modes;
}

#endif
