// The only host operations the numerical core uses: scratch memory. The
// solvers take their blocks at entry and release them before returning; a
// host that ends a call early releases what is still taken.
#ifndef SIMPLEXQP_HOST_SCRATCH_H
#define SIMPLEXQP_HOST_SCRATCH_H

#include <cstddef>

extern "C" {
void* mxMalloc(size_t bytes);
void mxFree(void* block);
}

#endif
