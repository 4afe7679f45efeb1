// X = simplexLSQ(C, D), X = simplexLSQ(C, D, tol),
// X = simplexLSQ(C, D, options), [X, info] = simplexLSQ(...): for each
// column d of D, min ½|Cx - d|² over the simplex (x >= 0, sum(x) = 1, and
// x <= options.UpperBound), each to a certified tolerance, by the
// least-squares solver (solvers/least_squares/simplex_lsq.h), which reads C
// and never forms C'C for a large n.
//
// Three steps: the call is checked (counts, then each argument's class and
// shape, options' fields too, then the values), before anything is created;
// what the solver reads is prepared (X, the bounds, the starts); the solver
// runs, in the standard floating-point mode. With a second result, info
// holds each column's figures as 1-by-p rows; with one, columns that ended
// above tol raise one warning, so that it is never silent.
#include <cstdint>

#include "../solvers/least_squares/simplex_lsq.h"
#include "argument_checks.h"
#include "certified_gateway.h"
#include "float_environment.h"
#include "mex_host.h"
#include "opt_display.h"
#include "opt_options.h"
#include "plugin_entry.h"

namespace {

using argumentChecks::append;
using argumentChecks::appendCount;
using argumentChecks::emptyMessage;
using argumentChecks::Message;

// m, n and p are handed to the solver as 32-bit counts and to the 64-bit
// MATLAB hosts' creation call as int.
constexpr size_t largestDimension = 2147483647;

// ---- The call's checks -------------------------------------------------------

bool fitsTheHosts(const mxArray* array)
{
    return mxGetM(array) <= largestDimension && mxGetN(array) <= largestDimension;
}

bool hasRowsOf(const mxArray* array, size_t m)
{
    return mxGetM(array) == m;
}

void checkCShape(const mxArray* C)
{
    if (!argumentChecks::isRealFullDoubleMatrix(C))
        argumentChecks::rejectArgument("C", "a real, full, double m-by-n matrix", C);
    if (!fitsTheHosts(C))
        argumentChecks::rejectArgument("C", "at most 2147483647-by-2147483647", C);
}

void checkDShape(const mxArray* D, size_t m)
{
    if (!argumentChecks::isRealFullDoubleMatrix(D))
        argumentChecks::rejectArgument("D", "a real, full, double m-by-p matrix", D);
    if (!hasRowsOf(D, m)) {
        Message message = emptyMessage();
        append(message, "D must have as many rows as C (");
        appendCount(message, m);
        append(message, ")");
        argumentChecks::appendWhatWasGiven(message, D);
        mexErrMsgTxt(message.text);
    }
    if (!fitsTheHosts(D))
        argumentChecks::rejectArgument("D", "at most 2147483647-by-2147483647", D);
}

// What a checked call holds: the sizes, the data, the options and what
// their bounds and starts are.
struct Call {
    uint32_t m, n, p;
    const double* C;
    const double* D;
    optOptions::Options options;
    const double* given;  // options.UpperBound's entries, or null
    size_t givenCount;
    bool bounded;         // some bound below 1
    const double* x0;     // options.InitialPoint's entries, or null
    size_t x0Columns;     // 1 (shared by every column) or p
};

Call checkCall(int nlhs, int nrhs, const mxArray* prhs[], VectorPath path)
{
    certifiedGateway::checkCounts(nlhs, nrhs);
    checkCShape(prhs[0]);
    const size_t m = mxGetM(prhs[0]);
    const size_t n = mxGetN(prhs[0]);
    checkDShape(prhs[1], m);
    const size_t p = mxGetN(prhs[1]);
    Call call{};
    call.options = nrhs == 3 ? optOptions::checkThird(prhs[2], n, optOptions::StartShape{true, p})
                             : optOptions::defaults();
    call.m = static_cast<uint32_t>(m);
    call.n = static_cast<uint32_t>(n);
    call.p = static_cast<uint32_t>(p);
    call.C = mxGetPr(prhs[0]);
    call.D = mxGetPr(prhs[1]);
    argumentChecks::checkMatrixFinite("C", call.C, m, n, path);
    argumentChecks::checkMatrixFinite("D", call.D, m, p, path);
    const mxArray* upper = call.options.upperBound;
    call.given = upper ? mxGetPr(upper) : nullptr;
    call.givenCount = upper ? mxGetNumberOfElements(upper) : 0;
    call.bounded = call.given && optOptions::checkUpperBoundValues(call.given, call.givenCount, n);
    const mxArray* start = call.options.initialPoint;
    call.x0 = start ? mxGetPr(start) : nullptr;
    call.x0Columns = start ? mxGetN(start) : 0;
    for (size_t j = 0; j < call.x0Columns; ++j)
        optOptions::checkInitialPointValues(call.x0 + j * n, n, call.given, call.givenCount,
                                            call.x0Columns > 1 ? j + 1 : 0);
    return call;
}

// ---- What the solver reads ---------------------------------------------------

// Each column's start, projected onto the simplex, in X itself (the
// solver may start from the weights it writes).
void projectStarts(const Call& call, const double* upper, double* X)
{
    for (size_t j = 0; j < call.p; ++j)
        optOptions::projectInitialPoint(call.x0 + (call.x0Columns > 1 ? j * call.n : 0), call.n, upper,
                                        X + j * call.n);
}

// Column j's tolerance: the one given, or the one the solver takes by
// default for it. Read in the standard mode.
double toleranceOf(const Call& call, size_t j, VectorPath path)
{
    if (call.options.hasTolerance)
        return call.options.tolerance;
    return leastSquaresTolerance(call.C, call.m, call.n, call.D + j * call.m, path);
}

// "simplexLSQ: " for one column, "simplexLSQ: column 2 of 5, " for one of several.
Message speakerFor(size_t j, size_t p)
{
    Message speaker = emptyMessage();
    append(speaker, "simplexLSQ: ");
    if (p > 1) {
        append(speaker, "column ");
        appendCount(speaker, j + 1);
        append(speaker, " of ");
        appendCount(speaker, p);
        append(speaker, ", ");
    }
    return speaker;
}

// ---- Running and reporting -----------------------------------------------------

// 'iter': column by column, each with its heading and its end, every check
// printed as it is made (a run of its own per column, on the columns' one C).
void runShowingEachColumn(const Call& call, const LeastSquaresSettings& settings, floatEnvironment::Saved& callers,
                          VectorPath path, double* X, CertifiedReport* reports)
{
    for (size_t j = 0; j < call.p; ++j) {
        const double tol = toleranceOf(call, j, path);
        const Message speaker = speakerFor(j, call.p);
        floatEnvironment::restore(callers);
        optDisplay::showHeading(call.n, tol, speaker.text);
        floatEnvironment::enterStandard();
        LeastSquaresSettings column = settings;
        column.certified.start = settings.certified.start ? settings.certified.start + j * call.n : nullptr;
        leastSquaresOnSimplex(call.C, call.m, call.n, call.D + j * call.m, 1, column, X + j * call.n, reports + j);
        floatEnvironment::restore(callers);
        optDisplay::showEnd(reports[j], tol, speaker.text);
        floatEnvironment::enterStandard();
    }
}

void showEachEnd(const Call& call, const CertifiedReport* reports, floatEnvironment::Saved& callers, VectorPath path)
{
    for (size_t j = 0; j < call.p; ++j) {
        const double tol = toleranceOf(call, j, path);
        const Message speaker = speakerFor(j, call.p);
        floatEnvironment::restore(callers);
        optDisplay::showEnd(reports[j], tol, speaker.text);
        floatEnvironment::enterStandard();
    }
}

// info: a 1-by-1 struct whose fields are 1-by-p rows; figures holds field
// f's row from figures + f p.
mxArray* infoStruct(const double* figures, uint32_t p)
{
    mxArray* values[certifiedGateway::infoFieldCount];
    for (int f = 0; f < certifiedGateway::infoFieldCount; ++f) {
        values[f] = pluginEntry::createRowVector(p);
        double* row = mxGetPr(values[f]);
        for (size_t j = 0; j < p; ++j)
            row[j] = figures[f * static_cast<size_t>(p) + j];
    }
    return certifiedGateway::infoStruct(values);
}

// What the warning says of the columns that did not converge.
struct Unconverged {
    double count, columns;
    double first;  // 1-based
    double gap, tol, iterations;
};

Unconverged unconvergedOf(const Call& call, const CertifiedReport* reports, VectorPath path)
{
    Unconverged unconverged{0.0, static_cast<double>(call.p), 0.0, 0.0, 0.0, 0.0};
    for (size_t j = call.p; j-- > 0;) {
        if (reports[j].converged)
            continue;
        unconverged.count += 1.0;
        unconverged.first = static_cast<double>(j + 1);
        unconverged.gap = reports[j].gap;
        unconverged.iterations = static_cast<double>(reports[j].iterations);
    }
    if (unconverged.count > 0.0)
        unconverged.tol = toleranceOf(call, static_cast<size_t>(unconverged.first) - 1, path);
    return unconverged;
}

}  // namespace

SIMPLEXQP_ENTRY void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    // The processor is asked for its vector path here, once per call.
    SolverSettings solver = defaultSettings();
    const Call call = checkCall(nlhs, nrhs, prhs, solver.path);
    const uint32_t n = call.n;
    const uint32_t p = call.p;

    // Created in the caller's mode: the host raises its error here when it
    // has no memory. With no result asked for the host still takes the first
    // one (as ans).
    plhs[0] = pluginEntry::createMatrix(n, p);
    double* X = mxGetPr(plhs[0]);
    const certifiedGateway::Bounds bounds = certifiedGateway::boundsOf(call.given, call.givenCount, call.bounded, n);
    CertifiedReport* const reports =
        p ? static_cast<CertifiedReport*>(mxMalloc(sizeof(CertifiedReport) * p)) : nullptr;
    double* const figures =
        p ? static_cast<double*>(mxMalloc(sizeof(double) * certifiedGateway::infoFieldCount * p)) : nullptr;

    // The answers' bits and their certificates hold in the standard mode
    // only, whatever the caller's.
    floatEnvironment::Saved callers = floatEnvironment::enterStandard();
    solver.host = HostScratch{floatEnvironment::takeInCallersMode, &callers};
    if (call.x0)
        projectStarts(call, bounds.upper, X);
    const optOptions::Options& options = call.options;
    LeastSquaresSettings settings{
        CertifiedSettings{options.tolerance,
                          options.hasMaxIterations ? options.maxIterations : certifiedGateway::iterationCap(n),
                          call.x0 ? X : nullptr, nullptr, nullptr, &solver, bounds.upper},
        !options.hasTolerance};
    settings.certified.cacheBytes = options.cacheBytes;
    if (options.display == optOptions::Display::iter) {
        settings.certified.progress = certifiedGateway::showCheckInCallersMode;
        settings.certified.progressContext = &callers;
        runShowingEachColumn(call, settings, callers, solver.path, X, reports);
    } else {
        leastSquaresOnSimplex(call.C, call.m, n, call.D, p, settings, X, reports);
        if (options.display == optOptions::Display::final)
            showEachEnd(call, reports, callers, solver.path);
    }
    for (size_t j = 0; j < p; ++j) {
        double column[certifiedGateway::infoFieldCount];
        certifiedGateway::figuresOf(reports[j], column);
        for (int f = 0; f < certifiedGateway::infoFieldCount; ++f)
            figures[f * static_cast<size_t>(p) + j] = column[f];
    }
    const Unconverged unconverged =
        nlhs == 2 ? Unconverged{} : unconvergedOf(call, reports, solver.path);
    floatEnvironment::settle(unconverged);
    if (bounds.spread)
        mxFree(bounds.spread);
    if (reports)
        mxFree(reports);
    floatEnvironment::restore(callers);

    if (nlhs == 2)
        plhs[1] = infoStruct(figures, p);
    if (figures)
        mxFree(figures);
    if (unconverged.count > 0.0)
        mexWarnMsgIdAndTxt("simplexLSQ:notConverged",
                           "not converged in %.0f of %.0f columns: the first, column %.0f, has gap %g above "
                           "tol %g; its x is the checked point of least gap, reached after %.0f pair steps "
                           "([X, info] = simplexLSQ(...) reports every column's gap without this warning)",
                           unconverged.count, unconverged.columns, unconverged.first, unconverged.gap,
                           unconverged.tol, unconverged.iterations);
}
