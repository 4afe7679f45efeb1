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

// How the solvers take the host's blocks. A host's mxMalloc that cannot give
// a block raises the host's error, and the call never comes back: a gateway
// that runs the solvers in a floating-point mode of its own must have put
// the caller's back before then, so its take does (context: what it needs
// for that), and sets its own again once the block is given. mxFree never
// raises, and is called directly.
struct HostScratch {
    void* (*take)(void* context, size_t bytes);
    void* context;
};

inline void* takeFromHost(const HostScratch& host, size_t bytes)
{
    return host.take(host.context, bytes);
}

#endif
