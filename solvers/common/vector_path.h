// Which of the processor's vector units the hot loops use. Every path gives
// the same bits: each computes the same sums, term by term in the same
// order, with separate multiplications and additions (never fused), and
// only spreads independent sums (one per row) across the lanes of wider
// registers.
#ifndef SIMPLEXQP_VECTOR_PATH_H
#define SIMPLEXQP_VECTOR_PATH_H

#include <cstdint>

enum class VectorPath : uint8_t {
    baseline,  // what every build's target has (SSE2 on x86)
    avx2,      // 256-bit AVX2 registers, x86 only
};

// The widest path this processor and its operating system can run: AVX2
// where the processor has it and the system saves its registers, the
// baseline otherwise and on every other architecture. Asks the processor
// each time (a few instructions), so that nothing is kept between calls.
VectorPath availableVectorPath();

const char* vectorPathName(VectorPath path);

#endif
