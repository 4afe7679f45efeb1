// The processor's floating-point mode while a plug-in computes.
//
// The solvers' bits are those of IEEE double arithmetic with rounding to
// nearest and subnormal numbers kept. A host, or a library loaded into it,
// may have set another rounding direction or flush-to-zero /
// denormals-are-zero, which would change simplexQP's answers and make
// simplexQPopt's rounding bound (which counts subnormal results) untrue.
// So each gateway, once its arguments are checked, saves the caller's mode
// and sets the standard one: round to nearest, subnormals kept, every
// exception masked; and it puts the caller's back before it returns, and
// before any error or warning it raises after that point (the host's error
// operation does not come back). The host's allocator raises that error
// too when it runs out of memory: the solvers take its blocks through
// takeInCallersMode below, which puts the caller's mode back around the
// host's mxMalloc.
//
// x86 (32- and 64-bit): MXCSR, where the SSE2 arithmetic runs. On 32-bit
// x86 the x87 control word too: doubles pass through x87 registers there
// (results are returned in them), and library code may compute on them; it
// gets round to nearest at double precision, so that what little x87
// arithmetic there is rounds as SSE2 does. AArch64: FPCR. Inline assembly
// rather than <xmmintrin.h> or <fenv.h>: it needs no target option (an
// SSE intrinsic does not compile into 32-bit code built without -msse),
// and <fenv.h> has no portable name for flush-to-zero. Other processors
// are assumed to run in the standard mode already.
//
// Header-only, and included by the two gateways alone, so that every build
// of them (each host and platform) gets it without listing a new source.
#ifndef SIMPLEXQP_FLOAT_ENVIRONMENT_H
#define SIMPLEXQP_FLOAT_ENVIRONMENT_H

#include <cstddef>
#include <cstdint>

#include "mex_host.h"

namespace floatEnvironment {

struct Saved {
#if defined(__x86_64__) || defined(__i386__)
    uint32_t mxcsr;
#endif
#if defined(__i386__)
    uint16_t x87;
#endif
#if defined(__aarch64__)
    uint64_t fpcr;
#endif
    int unused;  // keeps the struct non-empty on other processors
};

#if defined(__x86_64__) || defined(__i386__)
// Every exception masked (bits 7-12), round to nearest (13-14 clear),
// flush-to-zero (15) and denormals-are-zero (6) off, no flag raised.
constexpr uint32_t standardMxcsr = 0x1F80;
#endif
#if defined(__i386__)
// Every exception masked (bits 0-5), double precision (bits 8-9 = 10),
// round to nearest (bits 10-11 clear).
constexpr uint16_t standardX87 = 0x027F;
#endif

// The caller's mode, and the standard one set in its place.
inline Saved enterStandard()
{
    Saved saved;
    saved.unused = 0;
#if defined(__x86_64__) || defined(__i386__)
    uint32_t csr = standardMxcsr;
    __asm__ __volatile__("stmxcsr %0" : "=m"(saved.mxcsr) : : "memory");
    __asm__ __volatile__("ldmxcsr %0" : : "m"(csr) : "memory");
#endif
#if defined(__i386__)
    uint16_t word = standardX87;
    __asm__ __volatile__("fnstcw %0" : "=m"(saved.x87) : : "memory");
    __asm__ __volatile__("fldcw %0" : : "m"(word) : "memory");
#endif
#if defined(__aarch64__)
    // FPCR 0: round to nearest, FZ, FZ16, FIZ and AH off, no trap enabled,
    // NaNs propagated.
    uint64_t standard = 0;
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(saved.fpcr) : : "memory");
    __asm__ __volatile__("msr fpcr, %0" : : "r"(standard) : "memory");
#endif
    return saved;
}

// The caller's mode back, exactly as it was.
inline void restore(const Saved& saved)
{
#if defined(__x86_64__) || defined(__i386__)
    uint32_t csr = saved.mxcsr;
    __asm__ __volatile__("ldmxcsr %0" : : "m"(csr) : "memory");
#endif
#if defined(__i386__)
    uint16_t word = saved.x87;
    __asm__ __volatile__("fldcw %0" : : "m"(word) : "memory");
#endif
#if defined(__aarch64__)
    __asm__ __volatile__("msr fpcr, %0" : : "r"(saved.fpcr) : "memory");
#endif
    (void)saved;
}

// Has the compiler finish computing values before the mode changes next.
// It does not know that the mode changes what arithmetic gives, and may
// otherwise move a computation whose result is read only later past
// restore(): a 32-bit x86 build did so with the conversion of a count to a
// double, which gives -0 for a count of 0 when the caller rounds downward.
template <typename T>
inline void settle(const T& values)
{
    __asm__ __volatile__("" : : "m"(values) : "memory");
}

// A HostScratch take (solvers/common/host_scratch.h) for solvers that run in
// the standard mode: context is the caller's Saved mode.
inline void* takeInCallersMode(void* context, size_t bytes)
{
    restore(*static_cast<const Saved*>(context));
    void* block = mxMalloc(bytes);
    enterStandard();
    return block;
}

}  // namespace floatEnvironment

#endif
