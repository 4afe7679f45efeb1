// What the gateways of the certified solver's plug-ins (simplexQPopt.cpp,
// simplexLSQ.cpp) share: the counts they take, the pair-step cap, the
// bounds handed to the solver, the info struct's fields and how 'iter'
// prints a check in the caller's floating-point mode.
#ifndef SIMPLEXQP_CERTIFIED_GATEWAY_H
#define SIMPLEXQP_CERTIFIED_GATEWAY_H

#include <cstdint>

#include "../solvers/certified/certified_smo.h"
#include "float_environment.h"
#include "mex_host.h"
#include "opt_display.h"
#include "plugin_entry.h"

namespace certifiedGateway {

// Pair steps before a run ends unconverged: as LIBSVM, at least ten million
// and 100 per coordinate.
inline uint64_t iterationCap(uint32_t n)
{
    const uint64_t perCoordinate = 100ull * n;
    return perCoordinate > 10000000ull ? perCoordinate : 10000000ull;
}

inline void checkCounts(int nlhs, int nrhs)
{
    if (!pluginEntry::takesTwoOrThreeArguments(nrhs))
        mexErrMsgTxt("Takes 2-3 input arguments");
    if (nlhs > 2)
        mexErrMsgTxt("Outputs one or two results");
}

// The bounds the solver reads: n of them, or null where none binds (so
// that such a run has the unbounded run's bits). A scalar bound becomes
// one per weight in a block taken here, in the caller's mode; spread says
// whether it was (the caller frees it).
struct Bounds {
    const double* upper;
    double* spread;
};

inline Bounds boundsOf(const double* given, size_t givenCount, bool bounded, size_t n)
{
    double* const spread = bounded && givenCount == 1 ? static_cast<double*>(mxMalloc(sizeof(double) * n)) : nullptr;
    for (size_t i = 0; spread && i < n; ++i)
        spread[i] = given[0];
    return Bounds{spread ? spread : bounded ? given : nullptr, spread};
}

// The info struct's fields: objective, gap, iterations, converged,
// support, atUpperBound.
constexpr int infoFieldCount = 6;

// A report's figures as the host's doubles, converged as 1 or 0. Converted
// in the standard floating-point mode, and settled there: a 32-bit x86
// build turns an unsigned count into a double by arithmetic that gives -0
// for a count of 0 when the caller rounds downward.
inline void figuresOf(const CertifiedReport& report, double (&figures)[infoFieldCount])
{
    figures[0] = report.objective;
    figures[1] = report.gap;
    figures[2] = static_cast<double>(report.iterations);
    figures[3] = report.converged ? 1.0 : 0.0;
    figures[4] = static_cast<double>(report.support);
    figures[5] = static_cast<double>(report.atUpperBound);
    floatEnvironment::settle(figures);
}

// A 1-by-1 struct holding values[f] in field f (it owns them).
inline mxArray* infoStruct(mxArray* (&values)[infoFieldCount])
{
    const char* fields[infoFieldCount] = {"objective", "gap", "iterations", "converged", "support", "atUpperBound"};
#ifdef SIMPLEXQP_CREATE_700
    mxArray* info = mxCreateStructMatrix_700(1, 1, infoFieldCount, fields);
    for (int f = 0; f < infoFieldCount; ++f)
        mxSetField_700(info, 0, fields[f], values[f]);
#else
    mxArray* info = mxCreateStructMatrix(1, 1, infoFieldCount, fields);
    for (int f = 0; f < infoFieldCount; ++f)
        mxSetField(info, 0, fields[f], values[f]);
#endif
    return info;
}

// Display 'iter' prints through the host (and has it flush its output,
// where an interrupt may end the call) in the caller's floating-point mode;
// context holds that mode.
inline void showCheckInCallersMode(void* context, const CertifiedProgress& progress)
{
    const floatEnvironment::Saved& callers = *static_cast<const floatEnvironment::Saved*>(context);
    floatEnvironment::restore(callers);
    optDisplay::showCheck(nullptr, progress);
    floatEnvironment::enterStandard();
}

}  // namespace certifiedGateway

#endif
