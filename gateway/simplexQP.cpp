// x = simplexQP(Q, b) or x = simplexQP(Q, b, method): the plug-in's entry.
//
// Check the call, prepare the result, run the chosen solver, which writes
// its answer straight into the result array.
#include <cstdint>

#include "../solvers/common/solver_counts.h"
#include "argument_checks.h"
#include "float_environment.h"
#include "mex_host.h"
#include "plugin_entry.h"

namespace {

constexpr int32_t methodStandardQP = 1;
constexpr int32_t methodSMO = 2;
constexpr int32_t methodMultUpdate = 3;

// ---- Checking the call ----------------------------------------------------

void checkCounts(int nlhs, int nrhs)
{
    if (!pluginEntry::takesTwoOrThreeArguments(nrhs))
        mexErrMsgTxt("Takes 2-3 input arguments");
    if (nlhs != 1)
        mexErrMsgTxt("Outputs one result");
}

// ---- Preparing ------------------------------------------------------------

// The method code is the double truncated toward zero to a 64-bit integer,
// of which the low 32 bits count. A value that is not a number or lies
// outside the 64-bit range gives the integer with only the top bit set, as
// the x86 conversion does, so its code is 0. Spelled out because the bare
// C++ conversion of such a value is undefined.
int32_t methodCode(double value)
{
    constexpr double twoTo63 = 9223372036854775808.0;
    const int64_t whole = (value >= -twoTo63 && value < twoTo63) ? static_cast<int64_t>(value) : INT64_MIN;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(whole)));
}

}  // namespace

SIMPLEXQP_ENTRY void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    checkCounts(nlhs, nrhs);
    // The processor is asked for its vector path here, once per call.
    SolverSettings settings = defaultSettings();
    argumentChecks::checkArguments(nrhs, prhs, settings.path);

    const uint32_t n = static_cast<uint32_t>(mxGetN(prhs[0]));
    const int32_t method = nrhs == 3 ? methodCode(mxGetScalar(prhs[2])) : methodSMO;
    const double* Q = mxGetPr(prhs[0]);
    const double* b = mxGetPr(prhs[1]);
    // Created in the caller's mode: the host raises its error here when it
    // has no memory for the result.
    plhs[0] = pluginEntry::createRowVector(n);
    double* x = mxGetPr(plhs[0]);
    // The answer's bits are those of the standard mode, whatever the caller's.
    floatEnvironment::Saved callers = floatEnvironment::enterStandard();
    settings.host = HostScratch{floatEnvironment::takeInCallersMode, &callers};

    SolverCounts counts;
    switch (method) {
    case methodStandardQP:
        floatEnvironment::restore(callers);
        mexErrMsgTxt("Sorry -- standard QP not implemented in MEX yet.");
    case methodSMO:
        smoCounted(Q, b, n, x, settings, counts);
        break;
    case methodMultUpdate:
        multUpdateCounted(Q, b, n, x, settings, counts);
        break;
    default:
        break;  // Any other code answers with the all-zero result.
    }
    floatEnvironment::restore(callers);
}
