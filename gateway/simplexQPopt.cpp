// x = simplexQPopt(Q, b), x = simplexQPopt(Q, b, tol),
// x = simplexQPopt(Q, b, options), [x, info] = simplexQPopt(...): the
// simplex QP solved to a certified tolerance by certifiedSMO. Q is a dense
// n-by-n matrix, or a struct K that describes it by points and a kernel
// (described_q.h), whose columns the solver computes as it needs them.
//
// Three steps: the call is checked (counts, then each argument's class and
// shape, options' and K's fields too, then the values) with the same checks
// and messages as simplexQP's for a dense Q (apart from the third argument,
// tol or options (opt_options.h), and the sum of b, which this solver does
// not divide by), before anything is created; what the solver reads is
// prepared (x, the bounds, the start); the solver runs, in the standard
// floating-point mode. With a second result, info tells how the run ended;
// with one, a run that ended above tol raises a warning, so that it is
// never silent.
#include <cstdint>

#include "../solvers/certified/certified_smo.h"
#include "argument_checks.h"
#include "certified_gateway.h"
#include "described_q.h"
#include "float_environment.h"
#include "mex_host.h"
#include "opt_display.h"
#include "opt_options.h"
#include "plugin_entry.h"

namespace {

// info: the report's figures as scalars, converged as a logical.
mxArray* infoStruct(const double (&figures)[certifiedGateway::infoFieldCount])
{
    mxArray* values[] = {mxCreateDoubleScalar(figures[0]), mxCreateDoubleScalar(figures[1]),
                         mxCreateDoubleScalar(figures[2]), mxCreateLogicalScalar(figures[3] != 0.0),
                         mxCreateDoubleScalar(figures[4]), mxCreateDoubleScalar(figures[5])};
    return certifiedGateway::infoStruct(values);
}

}  // namespace

SIMPLEXQP_ENTRY void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    // Every check before anything is created: each argument's class and
    // shape (options' fields too), then the values.
    certifiedGateway::checkCounts(nlhs, nrhs);
    // The processor is asked for its vector path here, once per call.
    SolverSettings solver = defaultSettings();
    const bool described = describedQ::isDescribed(prhs[0]);
    const describedQ::Described shape = described ? describedQ::checkShape(prhs[0]) : describedQ::Described{};
    const size_t n = described ? shape.n : argumentChecks::checkQShape(prhs[0]);
    argumentChecks::checkBShape(prhs[1], n);
    const optOptions::Options options = nrhs == 3 ? optOptions::checkThird(prhs[2], n) : optOptions::defaults();
    const double* Q = described ? nullptr : mxGetPr(prhs[0]);
    const VectorKernel kernel = described ? describedQ::kernelOf(shape) : VectorKernel{};
    const double* b = mxGetPr(prhs[1]);
    const double largestQ = described ? describedQ::checkValues(shape, kernel, solver.path)
                                      : argumentChecks::checkQValues(Q, n, solver.path);
    argumentChecks::checkBFinite(b, n);
    const double* given = options.upperBound ? mxGetPr(options.upperBound) : nullptr;
    const size_t givenCount = given ? mxGetNumberOfElements(options.upperBound) : 0;
    const bool bounded = given && optOptions::checkUpperBoundValues(given, givenCount, n);
    const double* x0 = options.initialPoint ? mxGetPr(options.initialPoint) : nullptr;
    if (x0)
        optOptions::checkInitialPointValues(x0, n, given, givenCount);

    const uint32_t order = static_cast<uint32_t>(n);
    // With no result asked for the host still takes the first one (as ans).
    // Created in the caller's mode: the host raises its error here when it
    // has no memory for the result.
    plhs[0] = pluginEntry::createRowVector(order);
    double* x = mxGetPr(plhs[0]);
    // A scalar bound's block is taken in the caller's mode too.
    const certifiedGateway::Bounds bounds = certifiedGateway::boundsOf(given, givenCount, bounded, n);
    const double* const upper = bounds.upper;
    // The answer's bits and its certificate hold in the standard mode only
    // (the rounding bound counts subnormal results), whatever the caller's.
    floatEnvironment::Saved callers = floatEnvironment::enterStandard();
    solver.host = HostScratch{floatEnvironment::takeInCallersMode, &callers};
    const double tol =
        options.hasTolerance ? options.tolerance : defaultToleranceAtScale(largestQ, b, order, solver.path);
    if (x0)
        optOptions::projectInitialPoint(x0, n, upper, x);

    CertifiedSettings settings{tol, options.hasMaxIterations ? options.maxIterations : certifiedGateway::iterationCap(order),
                               x0 ? x : nullptr, nullptr, nullptr, &solver, upper};
    settings.cacheBytes = options.cacheBytes;
    if (options.display == optOptions::Display::iter) {
        floatEnvironment::restore(callers);
        optDisplay::showHeading(order, tol);
        floatEnvironment::enterStandard();
        settings.progress = certifiedGateway::showCheckInCallersMode;
        settings.progressContext = &callers;
    }
    CertifiedReport report;
    if (described)
        certifiedSMO(kernelSource(kernel), b, settings, x, report);
    else
        certifiedSMO(Q, b, order, settings, x, report);
    if (bounds.spread)
        mxFree(bounds.spread);
    double figures[certifiedGateway::infoFieldCount];
    certifiedGateway::figuresOf(report, figures);
    floatEnvironment::restore(callers);
    if (options.display != optOptions::Display::off)
        optDisplay::showEnd(report, tol);
    if (nlhs == 2)
        plhs[1] = infoStruct(figures);
    else if (!report.converged)
        mexWarnMsgIdAndTxt("simplexQPopt:notConverged",
                           "not converged: gap %g is above tol %g; x is the checked point of least "
                           "gap, reached after %.0f pair steps ([x, info] = simplexQPopt(...) "
                           "reports the gap without this warning)",
                           report.gap, tol, figures[2]);
}
