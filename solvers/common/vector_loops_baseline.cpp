// The loops of vector_loops.h for the build's own target: the only path on
// processors without AVX2 and on other architectures.
#include <cstddef>
#include <cstdint>

#include "vector_loops.h"
#include "vector_loops_paths.h"

#define SIMPLEXQP_LOOPS baselineLoops
#include "vector_loops_kernels.h"
