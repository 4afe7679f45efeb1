// What the plug-ins' gateways (simplexQP.cpp, simplexQPopt.cpp, simplexLSQ.cpp) share:
// how their entry points are exported, mexVersion, the argument count they
// take, and how the result row is created on each host. Each plug-in's
// gateway is the one source of it that includes this header, so the
// definition of mexVersion below is made once in each plug-in.
#ifndef SIMPLEXQP_PLUGIN_ENTRY_H
#define SIMPLEXQP_PLUGIN_ENTRY_H

#include <cstdint>

#include "mex_host.h"

// The entry points a host looks up by name. Everything else is hidden; the
// link settings in build/ fix, per platform, how they are exported.
#ifdef _WIN32
#define SIMPLEXQP_ENTRY extern "C"
#else
#define SIMPLEXQP_ENTRY extern "C" __attribute__((visibility("default")))
#endif

// The interface generation the plug-in was built for, which the Linux
// hosts ask for.
SIMPLEXQP_ENTRY const char* mexVersion(void)
{
    return "MATLAB R14 native";
}

namespace pluginEntry {

inline bool takesTwoOrThreeArguments(int nrhs)
{
    return static_cast<unsigned>(nrhs) - 2u <= 1u;
}

// SIMPLEXQP_CREATE_700: the 64-bit MATLAB builds bind the compatibility
// entry points (32-bit dimensions and indices) of the calls that take them;
// every other build binds the plain ones.
// rows and columns below 2^31 (the 32-bit hosts' and the _700 call's int).
inline mxArray* createMatrix(uint32_t rows, uint32_t columns)
{
#ifdef SIMPLEXQP_CREATE_700
    return mxCreateDoubleMatrix_700(static_cast<int>(rows), static_cast<int>(columns), mxREAL);
#else
    return mxCreateDoubleMatrix(rows, columns, mxREAL);
#endif
}

inline mxArray* createRowVector(uint32_t n)
{
    return createMatrix(1, n);
}

}  // namespace pluginEntry

#endif
