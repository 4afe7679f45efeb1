// The loops of vector_loops.h for AVX2, compiled with -mavx2 -mno-fma (the
// build adds them for this file alone, on x86 only) and run only where
// defaultSettings() finds the processor can.
#include <cstddef>
#include <cstdint>

#include "vector_loops.h"
#include "vector_loops_paths.h"

#if !defined(__AVX2__) || defined(__FMA__)
#error "vector_loops_avx2.cpp is compiled with -mavx2 -mno-fma"
#endif

#define SIMPLEXQP_LOOPS avx2Loops
#define SIMPLEXQP_LOOPS_WIDE
#include "vector_loops_kernels.h"
