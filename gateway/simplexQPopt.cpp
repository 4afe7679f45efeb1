// x = simplexQPopt(Q, b), x = simplexQPopt(Q, b, tol),
// x = simplexQPopt(Q, b, options), [x, info] = simplexQPopt(...): the
// simplex QP solved to a certified tolerance by certifiedSMO.
//
// Checks the call with the same checks and messages as simplexQP (apart
// from the third argument, tol or options (opt_options.h), and the sum of
// b, which this solver does not divide by), then solves into the result
// row, from the options' initial point if there is one. With a second result, info
// tells how the run ended; with one, a run that ended above tol raises a
// warning, so that it is never silent.
#include <cstdint>

#include "../solvers/certified/certified_smo.h"
#include "argument_checks.h"
#include "float_environment.h"
#include "mex_host.h"
#include "opt_display.h"
#include "opt_options.h"
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

// The report's counts as the host's doubles. Converted in the standard
// floating-point mode: a 32-bit x86 build turns an unsigned count into a
// double by subtracting 2^52 from a double that holds it, which gives -0
// for a count of 0 when the caller rounds downward.
struct InfoFigures {
    double objective;
    double gap;
    double iterations;
    bool converged;
    double support;
    double atUpperBound;
};

InfoFigures figuresOf(const CertifiedReport& report)
{
    return InfoFigures{report.objective,
                       report.gap,
                       static_cast<double>(report.iterations),
                       report.converged,
                       static_cast<double>(report.support),
                       static_cast<double>(report.atUpperBound)};
}

mxArray* infoStruct(const InfoFigures& figures)
{
    const char* fields[] = {"objective", "gap", "iterations", "converged", "support", "atUpperBound"};
    mxArray* values[] = {mxCreateDoubleScalar(figures.objective), mxCreateDoubleScalar(figures.gap),
                         mxCreateDoubleScalar(figures.iterations), mxCreateLogicalScalar(figures.converged),
                         mxCreateDoubleScalar(figures.support), mxCreateDoubleScalar(figures.atUpperBound)};
    const int count = static_cast<int>(sizeof fields / sizeof fields[0]);
#ifdef SIMPLEXQP_CREATE_700
    mxArray* info = mxCreateStructMatrix_700(1, 1, count, fields);
    for (int f = 0; f < count; ++f)
        mxSetField_700(info, 0, fields[f], values[f]);
#else
    mxArray* info = mxCreateStructMatrix(1, 1, count, fields);
    for (int f = 0; f < count; ++f)
        mxSetField(info, 0, fields[f], values[f]);
#endif
    return info;
}

// Display 'iter' prints through the host (and has it flush its output,
// where an interrupt may end the call) in the caller's floating-point mode;
// context holds that mode.
void showCheckInCallersMode(void* context, const CertifiedProgress& progress)
{
    const floatEnvironment::Saved& callers = *static_cast<const floatEnvironment::Saved*>(context);
    floatEnvironment::restore(callers);
    optDisplay::showCheck(nullptr, progress);
    floatEnvironment::enterStandard();
}

}  // namespace

SIMPLEXQP_ENTRY void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    // Every check before anything is created: each argument's class and
    // shape (options' fields too), then the values.
    checkCounts(nlhs, nrhs);
    // The processor is asked for its vector path here, once per call.
    SolverSettings solver = defaultSettings();
    const size_t n = argumentChecks::checkQShape(prhs[0]);
    argumentChecks::checkBShape(prhs[1], n);
    const optOptions::Options options = nrhs == 3 ? optOptions::checkThird(prhs[2], n) : optOptions::defaults();
    const double* Q = mxGetPr(prhs[0]);
    const double* b = mxGetPr(prhs[1]);
    const double largestQ = argumentChecks::checkQValues(Q, n, solver.path);
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
    // A scalar bound becomes one per weight, its block taken in the
    // caller's mode too; bounds that cannot bind are none, so that such a
    // run has the unbounded run's bits.
    double* const spread = bounded && givenCount == 1 ? static_cast<double*>(mxMalloc(sizeof(double) * n)) : nullptr;
    for (size_t i = 0; spread && i < n; ++i)
        spread[i] = given[0];
    const double* const upper = spread ? spread : bounded ? given : nullptr;
    // The answer's bits and its certificate hold in the standard mode only
    // (the rounding bound counts subnormal results), whatever the caller's.
    floatEnvironment::Saved callers = floatEnvironment::enterStandard();
    solver.host = HostScratch{floatEnvironment::takeInCallersMode, &callers};
    const double tol =
        options.hasTolerance ? options.tolerance : defaultToleranceAtScale(largestQ, b, order, solver.path);
    if (x0)
        optOptions::projectInitialPoint(x0, n, upper, x);

    CertifiedSettings settings{tol, options.hasMaxIterations ? options.maxIterations : iterationCap(order),
                               x0 ? x : nullptr, nullptr, nullptr, &solver, upper};
    if (options.display == optOptions::Display::iter) {
        floatEnvironment::restore(callers);
        optDisplay::showHeading(order, tol);
        floatEnvironment::enterStandard();
        settings.progress = showCheckInCallersMode;
        settings.progressContext = &callers;
    }
    CertifiedReport report;
    certifiedSMO(Q, b, order, settings, x, report);
    if (spread)
        mxFree(spread);
    const InfoFigures figures = figuresOf(report);
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
                           report.gap, tol, figures.iterations);
}
