// x = simplexQPopt(Q, b), x = simplexQPopt(Q, b, tol),
// [x, info] = simplexQPopt(...): the simplex QP solved to a certified
// tolerance by certifiedSMO.
//
// Checks the call with the same checks and messages as simplexQP (apart
// from the third argument, and the sum of b, which this solver does not
// divide by), then solves into the result row. With a second result, info
// tells how the run ended; with one, a run that ended above tol raises a
// warning, so that it is never silent.
#include <cstdint>

#include "../solvers/certified/certified_smo.h"
#include "argument_checks.h"
#include "float_environment.h"
#include "mex_host.h"
#include "plugin_entry.h"

namespace {

// Pair steps before a run ends unconverged: as LIBSVM, at least ten million
// and 100 per coordinate.
uint64_t iterationCap(uint32_t n)
{
    const uint64_t perCoordinate = 100ull * n;
    return perCoordinate > 10000000ull ? perCoordinate : 10000000ull;
}

void checkCounts(int nlhs, int nrhs)
{
    if (!pluginEntry::takesTwoOrThreeArguments(nrhs))
        mexErrMsgTxt("Takes 2-3 input arguments");
    if (nlhs > 2)
        mexErrMsgTxt("Outputs one or two results");
}

mxArray* infoStruct(const CertifiedReport& report)
{
    const char* fields[] = {"objective", "gap", "iterations", "converged"};
    mxArray* values[] = {mxCreateDoubleScalar(report.objective), mxCreateDoubleScalar(report.gap),
                         mxCreateDoubleScalar(static_cast<double>(report.iterations)),
                         mxCreateLogicalScalar(report.converged)};
#ifdef SIMPLEXQP_CREATE_700
    mxArray* info = mxCreateStructMatrix_700(1, 1, 4, fields);
    for (int f = 0; f < 4; ++f)
        mxSetField_700(info, 0, fields[f], values[f]);
#else
    mxArray* info = mxCreateStructMatrix(1, 1, 4, fields);
    for (int f = 0; f < 4; ++f)
        mxSetField(info, 0, fields[f], values[f]);
#endif
    return info;
}

}  // namespace

SIMPLEXQP_ENTRY void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    checkCounts(nlhs, nrhs);
    argumentChecks::checkArguments(nrhs, prhs, argumentChecks::checkTolerance, false);

    // The answer's bits and its certificate hold in the standard mode only
    // (the rounding bound counts subnormal results), whatever the caller's.
    const floatEnvironment::Saved callers = floatEnvironment::enterStandard();
    const uint32_t n = static_cast<uint32_t>(mxGetN(prhs[0]));
    const double* Q = mxGetPr(prhs[0]);
    const double* b = mxGetPr(prhs[1]);
    const double tol = nrhs == 3 ? mxGetScalar(prhs[2]) : defaultTolerance(Q, b, n);
    // With no result asked for the host still takes the first one (as ans).
    plhs[0] = pluginEntry::createRowVector(n);
    double* x = mxGetPr(plhs[0]);

    CertifiedReport report;
    certifiedSMO(Q, b, n, tol, iterationCap(n), x, report);
    floatEnvironment::restore(callers);
    if (nlhs == 2)
        plhs[1] = infoStruct(report);
    else if (!report.converged)
        mexWarnMsgIdAndTxt("simplexQPopt:notConverged",
                           "not converged: gap %g is above tol %g; x is the checked point of least "
                           "gap, reached after %.0f pair steps ([x, info] = simplexQPopt(...) "
                           "reports the gap without this warning)",
                           report.gap, tol, static_cast<double>(report.iterations));
}
