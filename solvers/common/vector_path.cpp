#include "vector_path.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>

namespace {

// XCR0, the register state the operating system saves and restores. The
// instruction is spelled out: its intrinsic needs the XSAVE target flag.
uint64_t savedRegisterState()
{
    uint32_t low, high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

bool processorRunsAvx2()
{
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    const bool avx = (ecx >> 28) & 1;
    const bool osSavesRegisters = (ecx >> 27) & 1;  // OSXSAVE: xgetbv may be used
    if (!avx || !osSavesRegisters)
        return false;
    // SSE and AVX state (bits 1 and 2) both saved: the upper halves of the
    // 256-bit registers survive a switch of threads.
    if ((savedRegisterState() & 6) != 6)
        return false;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
        return false;
    return (ebx >> 5) & 1;
}

}  // namespace

VectorPath availableVectorPath()
{
    return processorRunsAvx2() ? VectorPath::avx2 : VectorPath::baseline;
}

#else

VectorPath availableVectorPath()
{
    return VectorPath::baseline;
}

#endif

const char* vectorPathName(VectorPath path)
{
    return path == VectorPath::avx2 ? "AVX2" : "baseline";
}
