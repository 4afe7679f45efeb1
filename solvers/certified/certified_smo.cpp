// certifiedSMO: pair steps on gradients kept up to date, checked against
// exactly recomputed gradients before an answer is given.
//
// Start: the vertex e_k of least objective, f(e_k) = Q(k,k)/2 - b_k (the
// first such k): feasible for any b, and its gradient Q(:,k) - b is exact
// at the cost of one column. Answers are sparse for the problems this
// solver is for, so starting from one weight and adding the few that
// matter costs less than starting from n weights and removing most.
// A caller's start (the answer to a nearby problem, say) is checked
// exactly before any step instead: if it meets tol it is the answer, and
// its exact gradients are where the steps begin. With bounds a vertex is
// feasible only where its bound is 1 or more, so the cold start fills
// weights to their bounds, greedily from that vertex by least gradient
// (LIBSVM's one-class start fills the first ones), and is checked as a
// caller's start is.
//
// Rounds: pair steps (pair_steps.cpp) until the working gap is at most a
// round's target; then the exact check (exact_check.cpp). Its gap, the
// violation from exact gradients plus their rounding bound, ends the run
// when it is at most tol. Otherwise every coordinate comes back into the
// active set with its exact gradient, and another round starts. A round
// aims at a sixteenth of the last computed violation (never below the
// run's target, first tol), not at the target at once: on ill-conditioned
// problems the steps can take millions of steps to close the last orders
// of the gap, and a coordinate shrunk away early, whose gradient has since
// fallen below the others', would stay out all that time while the steps
// polish a face that is not the answer's. When the computed violation
// already met the target and only the rounding bound (or drift of the kept
// gradients) is in the way, the target is lowered to leave room for it.
//
// f depends on Q's symmetric part alone. A Q whose asymmetry matters at
// tol (at the start's column, or at a check that would end the run) is
// left for that part, rounded, which the rounds then solve instead.
//
// The gap need not fall from one check to the next (steps lower f, not the
// gap), so the run keeps the checked point of least gap and, if it ends
// unconverged at a worse one, answers with that point and its report.
//
// The polish (polish.cpp): once the exact gap has fallen far enough for the
// support to be nearly the answer's, Newton steps on the support finish
// what pair steps would take millions of steps for (many positive weights,
// ill-conditioned Q). Its point is kept only when its exact gap is lower;
// otherwise x stays as the pair steps left it, and the polish waits until
// they have lowered the gap well below that point. A caller's start is
// polished from its first check: it is the answer to a nearby problem, and
// its support is near this one's.
//
// Why every run ends promptly: the iteration cap bounds the steps of all
// rounds together, and each round after the first may take at most
// roundGrowth times the steps of the last round that halved the gap (at
// least n), so a round aimed below what rounding lets the steps reach ends
// after about as many steps as the rounds before it. A round that neither
// halves the gap nor lowers f by more than rounding ends the run, as does
// the eighth such round in a row. For Q that is not positive
// semidefinite the steps still lower f (a non-convex pair moves all of the
// pivot's weight), and the run ends at a point whose gap bounds how far it
// is from satisfying the first-order conditions.
#include "certified_smo.h"

#include <cmath>

#include "certified_parts.h"
#include "column_cache.h"
#include "polish.h"
#include "../common/host_scratch.h"
#include "../sources/column_store.h"
#include "../sources/dense_source.h"
#include "../common/problem.h"
#include "../common/vector_loops.h"

namespace {

// Coordinates are shrunk away this often (LIBSVM's interval, at most n).
constexpr uint32_t shrinkInterval = 1000;
// A pair's curvature stands at this fraction of the largest diagonal entry
// when it is not positive (of the data's magnitude, where the diagonal is
// 0), so that choices do not change when Q is scaled.
constexpr double tauFraction = 1e-12;
// Each round aims this far below the last exact gap (and no lower than the
// target), so that the exact check brings back shrunk coordinates while
// the steps still matter to the gap.
constexpr double roundFraction = 1.0 / 16;
// A round may take this many times the steps of the last round that
// lowered the exact gap (and at least n): a round aimed below what
// rounding lets the steps reach would otherwise step until the cap.
constexpr uint64_t roundGrowth = 4;
// A round that does not lower the gap goes on only if it lowered f by more
// than this fraction of |f| and the gap (less is rounding: steps in the
// noise at a tolerance rounding makes unreachable), and at most this many
// such rounds in a row.
constexpr double objectiveNoise = 0x1p-40;
constexpr double lowering = 0.5;
constexpr int flatRounds = 8;
// The largest n whose Q's symmetric part is copied (8n² bytes, 512 MiB).
constexpr uint32_t largestSymmetrisedOrder = 8192;
// Within this factor of tol, a round that lowers the gap at all is progress.
constexpr double lastStretch = 4.0;
// The polish (polish.h) is first tried once the exact gap is this far below
// the start vertex's: before that the support is far from the answer's and
// the polish spends its steps dropping and adding. Measured at the default
// tolerance on the benchmark's six families at n = 1000, 2000 and 4000
// (every run converged each time): 2^-10 took 4.6 s in all, trying at
// every check 8.5 s, 2^-7 10.0 s and 2^-13 9.8 s (each by a few problems
// whose polish took the long way round).
constexpr double polishTrigger = 0x1p-10;
// After a polish that did not lower the gap, the next is tried only once
// pair steps have brought the gap this far below it.
constexpr double polishRetryFraction = 1.0 / 256;

struct Scratch {
    ActiveSet set;
    double* diagonal;
    uint32_t* columns;
    double* products;
    double* magnitudes;
    double* weights;
    double* best;   // the x of least exact gap so far
    double* start;  // the caller's starting point, kept (null for a cold start)
    double* source; // the source's own (CheckScratch), null where it needs none
};

Scratch takeScratch(uint32_t n, bool warm, bool bounded, uint32_t sourceDoubles, const HostScratch& host)
{
    const size_t doubles = sizeof(double) * n;
    const size_t indices = sizeof(uint32_t) * n;
    Scratch s;
    s.set.size = 0;
    s.set.version = 1;
    s.set.index = static_cast<uint32_t*>(takeFromHost(host, indices));
    s.set.gradient = static_cast<double*>(takeFromHost(host, doubles));
    s.set.weight = static_cast<double*>(takeFromHost(host, doubles));
    s.set.diagonal = static_cast<double*>(takeFromHost(host, doubles));
    s.set.score = static_cast<double*>(takeFromHost(host, doubles));
    s.set.giving = static_cast<uint32_t*>(takeFromHost(host, indices));
    s.set.givingSlot = static_cast<uint32_t*>(takeFromHost(host, indices));
    s.set.givingCount = 0;
    s.set.upper = bounded ? static_cast<double*>(takeFromHost(host, doubles)) : nullptr;
    s.set.receiving = bounded ? static_cast<double*>(takeFromHost(host, doubles)) : nullptr;
    s.set.shrunkWeight = bounded ? static_cast<double*>(takeFromHost(host, doubles)) : nullptr;
    s.diagonal = static_cast<double*>(takeFromHost(host, doubles));
    s.columns = static_cast<uint32_t*>(takeFromHost(host, indices));
    s.products = static_cast<double*>(takeFromHost(host, doubles));
    s.magnitudes = static_cast<double*>(takeFromHost(host, doubles));
    s.weights = static_cast<double*>(takeFromHost(host, doubles));
    s.best = static_cast<double*>(takeFromHost(host, doubles));
    s.start = warm ? static_cast<double*>(takeFromHost(host, doubles)) : nullptr;
    s.source = sourceDoubles ? static_cast<double*>(takeFromHost(host, sizeof(double) * sourceDoubles)) : nullptr;
    return s;
}

void releaseScratch(Scratch& s)
{
    if (s.source)
        mxFree(s.source);
    if (s.start)
        mxFree(s.start);
    mxFree(s.best);
    mxFree(s.weights);
    mxFree(s.magnitudes);
    mxFree(s.products);
    mxFree(s.columns);
    mxFree(s.diagonal);
    if (s.set.upper) {
        mxFree(s.set.shrunkWeight);
        mxFree(s.set.receiving);
        mxFree(s.set.upper);
    }
    mxFree(s.set.givingSlot);
    mxFree(s.set.giving);
    mxFree(s.set.score);
    mxFree(s.set.diagonal);
    mxFree(s.set.weight);
    mxFree(s.set.gradient);
    mxFree(s.set.index);
}

uint32_t bestVertex(const double* diagonal, const double* b, uint32_t n)
{
    uint32_t best = 0;
    double least = diagonal[0] * 0.5 - b[0];
    for (uint32_t k = 1; k < n; ++k) {
        const double f = diagonal[k] * 0.5 - b[k];
        if (f < least) {
            least = f;
            best = k;
        }
    }
    return best;
}

// The cold start within bounds, greedy: the vertex of least f(e_k) filled
// to its bound, then each time the weight of least gradient at the point so
// far (the first among equals), until the weights sum to 1, the last one
// taking what is left; every weight at its bound where the bounds sum to
// less. For a kernel that picks points far from those taken, the spread a
// one-class answer's support has. One column of Q and one pass over the
// gradients per weight filled, about what the start's exact check costs
// again. gradient and buffer (n each) are scratch; Q and b are read in
// working units.
void fillToBounds(const QSource& q, const double* b, double scale, const double* upper, uint32_t vertex, double* x,
                  double* gradient, double* buffer)
{
    const uint32_t n = q.n;
    for (uint32_t k = 0; k < n; ++k) {
        x[k] = 0.0;
        gradient[k] = -(b[k] * scale);
    }
    double sum = 0.0;
    uint32_t next = upper[vertex] > 0.0 ? vertex : n;
    for (;;) {
        if (next == n) {
            double least = infinity();
            for (uint32_t k = 0; k < n; ++k)
                if (x[k] == 0.0 && upper[k] > 0.0 && (next == n || gradient[k] < least)) {
                    least = gradient[k];
                    next = k;
                }
            if (next == n)
                return;
        }
        const double left = 1.0 - sum;
        const double weight = upper[next] < left ? upper[next] : left;
        x[next] = weight;
        sum += weight;
        if (!(sum < 1.0) || !(weight > 0.0))
            return;
        const double* const column = wholeColumn(q, next, buffer);
        const double change = weight * scale;
        for (uint32_t k = 0; k < n; ++k)
            gradient[k] = gradient[k] + column[k] * change;
        next = n;
    }
}

// The violation at the start vertex: its gradient less the smallest.
double startGap(const double* gradient, uint32_t start, uint32_t n)
{
    double least = gradient[start];
    for (uint32_t k = 0; k < n; ++k)
        least = gradient[k] < least ? gradient[k] : least;
    return gradient[start] - least;
}

// Every coordinate in the active set again, with x and the gradient in
// set.gradient (indexed by coordinate), and the bounds where there are any.
void activateAll(ActiveSet& set, const double* x, const double* diagonal, const double* upper, uint32_t n)
{
    set.size = n;
    ++set.version;
    for (uint32_t k = 0; k < n; ++k) {
        set.index[k] = k;
        set.weight[k] = x[k];
        set.diagonal[k] = diagonal[k];
    }
    if (upper)
        for (uint32_t k = 0; k < n; ++k)
            set.upper[k] = upper[k];
}

// x from the active set; coordinates outside it have weight 0, or with
// bounds the weight they were shrunk away at.
void writeWeights(const ActiveSet& set, uint32_t n, double* x)
{
    for (uint32_t k = 0; k < n; ++k)
        x[k] = set.upper ? set.shrunkWeight[k] : 0.0;
    for (uint32_t k = 0; k < set.size; ++k)
        x[set.index[k]] = set.weight[k];
}

// Each pair step's rounding moves sum(x) by an ulp or so; millions of them
// (a run to the cap) can take it further from 1 than rounding a sum of n
// weights explains, (n + 16) eps, the margin within which x is accepted
// back as a start. Past a quarter of that, the largest weight takes up the
// difference (before x is checked, so that the check is of the point
// answered); below it, x is left as it is, to the last bit. With bounds
// (upper, or null) the weight stays within its own.
bool keepOnTheSimplex(double* x, uint32_t n, const double* upper)
{
    double sum = 0.0;
    uint32_t largest = 0;
    for (uint32_t k = 0; k < n; ++k) {
        sum += x[k];
        largest = x[k] > x[largest] ? k : largest;
    }
    const double off = sum - 1.0;
    if (!(std::fabs(off) > (n + 16.0) * 0x1p-54))
        return false;
    const double moved = x[largest] - off;
    x[largest] = moved > 0.0 ? moved : 0.0;
    if (upper && !(x[largest] < upper[largest]))
        x[largest] = upper[largest];
    return true;
}

uint32_t supportSize(const double* x, uint32_t n)
{
    uint32_t count = 0;
    for (uint32_t k = 0; k < n; ++k)
        count += x[k] > 0.0;
    return count;
}

uint32_t boundCount(const double* x, const double* upper, uint32_t n)
{
    uint32_t count = 0;
    if (upper)
        for (uint32_t k = 0; k < n; ++k)
            count += x[k] == upper[k];
    return count;
}

void tellProgress(const CertifiedSettings& settings, const CertifiedReport& report, uint64_t iterations,
                  const double* x, uint32_t n, CertifiedPhase phase)
{
    if (settings.progress)
        settings.progress(settings.progressContext,
                          CertifiedProgress{iterations, report.gap, report.objective, supportSize(x, n), phase});
}

}  // namespace

void certifiedSMO(const double* Q, const double* b, uint32_t n, double tol, uint64_t maxIterations, double* x,
                  CertifiedReport& report)
{
    certifiedSMO(Q, b, n, CertifiedSettings{tol, maxIterations, nullptr, nullptr, nullptr, nullptr, nullptr}, x, report);
}

void certifiedSMO(const double* Q, const double* b, uint32_t n, double tol, uint64_t maxIterations, double* x,
                  CertifiedReport& report, const SolverSettings& solver)
{
    certifiedSMO(Q, b, n, CertifiedSettings{tol, maxIterations, nullptr, nullptr, nullptr, &solver, nullptr}, x, report);
}

namespace {

// Whether Q's asymmetry, counted in the gap, is what keeps a point from
// converging: more than half of tol (or of the rounding floor of the
// default tolerance, (16n + 128) u in working units) where the gap is
// above tol. Below that a run on Q itself gets there (a last-bit
// asymmetry, as kernels computed by matrix products have, costs about one
// rounding of the gap).
bool asymmetryMatters(const ExactCheck& counted, const ExactCheck& uncounted, double tol, uint32_t n, double scale)
{
    const double floor = (16.0 * n + 128.0) * 0x1p-53 / scale;
    return counted.gap > tol && counted.gap - uncounted.gap > 0.5 * (tol > floor ? tol : floor);
}

// Which matrix the rounds run on.
enum class RunOn : uint8_t {
    callerMayLeave,  // the caller's Q, left as soon as its asymmetry matters
    caller,          // the caller's Q to the end, its asymmetry counted
    symmetricPart,   // Q is the caller's symmetric part, rounded: the gap counts the rounding
    symmetric,       // Q is symmetric to the bit (a source that says so): nothing to count
};

// A gap that would end the run must also bound f's own gradient, which is
// not Qx - b where Q is not symmetric: check's gap then counts Q's
// asymmetry (counted says so). Returns whether that asymmetry matters at
// tol on a run that may leave Q for its symmetric part.
bool countWhereItEnds(const QSource& q, const double* x, double scale, CheckScratch scratch, double tol, RunOn on,
                      ExactCheck& check, bool& counted)
{
    const uint32_t n = q.n;
    const double* const Q = q.held(q.context, 0);
    counted = on == RunOn::symmetricPart || on == RunOn::symmetric || check.gap <= tol;
    if (!counted || on == RunOn::symmetricPart || on == RunOn::symmetric)
        return false;
    const ExactCheck uncounted = check;
    check = countAsymmetry(Q, n, x, scale, scratch, check);
    return on == RunOn::callerMayLeave && asymmetryMatters(check, uncounted, tol, n, scale);
}

// How the rounds ended.
enum class RunEnd : uint8_t {
    answered,    // x and report are the answer
    symmetrise,  // Q's asymmetry matters at tol: solve its symmetric part
    rescale,     // products overflowed at a working scale that did not know all of Q
};

// The rounds on Q. Where they end otherwise than answered, x and report
// are meaningless but for report.iterations. A run that may leave it
// leaves Q when its asymmetry matters at tol (at the start vertex's
// column, at a check that would otherwise end the run, or at an
// unconverged end). largestQ is max |Q(r,c)| where known (0: not read,
// and the scale comes from the diagonal, b and one column; a check whose
// products overflow then asks for it). The steps are counted from
// stepsBefore.
RunEnd runRounds(const QSource& q, const double* b, const CertifiedSettings& settings, const SolverSettings& solver,
                 RunOn on, double largestQ, uint64_t stepsBefore, double* x, CertifiedReport& report)
{
    const uint32_t n = q.n;
    const bool symmetrised = on == RunOn::symmetricPart;
    const bool mayLeave = on == RunOn::callerMayLeave;
    const double tol = settings.tol;
    const uint64_t maxIterations = settings.maxIterations;
    const double* const upper = settings.upper;
    const uint32_t sourceDoubles = q.productScratch > q.gradientScratch ? q.productScratch : q.gradientScratch;
    Scratch s = takeScratch(n, settings.start != nullptr, upper != nullptr, sourceDoubles, solver.host);
    q.diagonal(q.context, s.diagonal);
    double largestDiagonal = 0.0;
    for (uint32_t k = 0; k < n; ++k) {
        const double magnitude = s.diagonal[k] < 0.0 ? -s.diagonal[k] : s.diagonal[k];
        largestDiagonal = magnitude > largestDiagonal ? magnitude : largestDiagonal;
    }
    const uint32_t shrinkEvery = n < shrinkInterval ? n : shrinkInterval;
    const uint32_t vertex = bestVertex(s.diagonal, b, n);

    // The steps and the checks work in units where the data's magnitude is
    // near 1 (certified_parts.h), the same numbers at every scale 2^k.
    // The start's column, in s.products until the first check.
    const double* const startColumn = wholeColumn(q, vertex, s.products);
    const double scale = workingScale(q, s.diagonal, b, startColumn, largestQ, solver.path);
    const double tau = tauFraction * (largestDiagonal > 0.0 ? largestDiagonal * scale : 1.0);
    for (uint32_t k = 0; k < n; ++k)
        s.diagonal[k] *= scale;
    // A strongly unsymmetric Q shows at the start's column already, before
    // any step follows Qx - b, which is not f's gradient.
    if (mayLeave && n > 1) {
        const double half = 0.5 * (largestAsymmetryAt(q.held(q.context, 0), n, vertex) * scale);
        if (half > tol * scale && half > (16.0 * n + 128.0) * 0x1p-53) {
            releaseScratch(s);
            return RunEnd::symmetrise;
        }
    }

    // A warm start is checked before any step, as the rounds' checks are:
    // its exact gradients are where the steps begin. So is the cold start
    // within bounds, whose round target and polish trigger then come from
    // that check.
    const bool warm = settings.start != nullptr;
    const bool filled = !warm && upper != nullptr;
    double roundTarget = 0.0;
    double polishBelow = infinity();
    if (warm) {
        for (uint32_t k = 0; k < n; ++k)
            s.start[k] = settings.start[k];
        for (uint32_t k = 0; k < n; ++k)
            x[k] = s.start[k];
    } else if (filled) {
        fillToBounds(q, b, scale, upper, vertex, x, s.set.gradient, s.products);
    } else {
        for (uint32_t k = 0; k < n; ++k) {
            x[k] = k == vertex ? 1.0 : 0.0;
            // (Q e_k)_i summed as defined: 0 + Q(i,k) * 1, in working units.
            s.set.gradient[k] = startColumn[k] * scale - b[k] * scale;
        }
        roundTarget = roundFraction * startGap(s.set.gradient, vertex, n);
        // The polish's trigger compares data units (the check's gap).
        polishBelow = settings.polishBelow > 0.0 ? settings.polishBelow
                                                 : polishTrigger * (startGap(s.set.gradient, vertex, n) / scale);
    }
    activateAll(s.set, x, s.diagonal, upper, n);
    ColumnCache cache = takeColumnCache(n, settings.cacheBytes > 0.0 ? settings.cacheBytes : cacheBytesByDefault,
                                        scale, solver.host);
    const CheckScratch checkScratch{s.set.gradient, s.columns, s.products, s.magnitudes, s.weights, symmetrised,
                                    upper, s.source};

    const double workingTol = tol * scale;
    double target = workingTol;
    CertifiedReport bestReport{0.0, infinity(), 0, false, 0, 0, 0};
    CertifiedReport startReport{0.0, infinity(), 0, false, 0, 0, 0};
    // Whether a report's gap counts Q's asymmetry (exact_check.cpp).
    bool counted = false, bestCounted = false, startCounted = false;
    double bestGap = infinity(), bestObjective = infinity();
    uint64_t iterations = stepsBefore, polishSteps = 0, roundBudget = maxIterations, loweringSteps = 0;
    int flat = 0;
    bool stepFirst = !warm && !filled;
    // Once a run, a round that would end it flat sends its point to the
    // polish first, if the polish was not tried on it (below).
    bool lastResort = false, recheck = false;
    RunEnd leaving = RunEnd::answered;
    for (;;) {
        StepsEnd end = StepsEnd::gapReached;
        const uint64_t roundStart = iterations;
        if (stepFirst && !recheck) {
            roundTarget = roundTarget > target ? roundTarget : target;
            const uint64_t roundCap =
                maxIterations - iterations > roundBudget ? iterations + roundBudget : maxIterations;
            end = takePairSteps(q, s.set, cache, roundTarget, tau, shrinkEvery, roundCap, iterations);
            writeWeights(s.set, n, x);
            keepOnTheSimplex(x, n, upper);
        }
        ExactCheck check = checkExactly(q, b, x, scale, checkScratch, solver.path);
        if (check.gap == infinity() && largestQ == 0.0) {
            leaving = RunEnd::rescale;
            break;
        }
        if (countWhereItEnds(q, x, scale, checkScratch, tol, on, check, counted)) {
            leaving = RunEnd::symmetrise;
            break;
        }
        if (n == 1)
            check.gap = 0.0;  // x = (1), the only feasible point: g_0 - g_0 is exactly 0
        report.objective = check.objective;
        report.gap = check.gap;
        report.iterations = iterations;
        if (check.gap < bestReport.gap) {
            for (uint32_t k = 0; k < n; ++k)
                s.best[k] = x[k];
            bestReport = report;
            bestCounted = counted;
        }
        if (!stepFirst) {
            startReport = report;
            startCounted = counted;
            if (filled) {
                roundTarget = roundFraction * check.workingGap;
                polishBelow = settings.polishBelow > 0.0 ? settings.polishBelow : polishTrigger * check.gap;
            }
        }
        if (!recheck)
            tellProgress(settings, report, iterations, x, n,
                         stepFirst ? CertifiedPhase::pairSteps : CertifiedPhase::start);
        stepFirst = true;
        recheck = false;
        // No polish where no step may be taken (a call that only certifies).
        const bool polishing = check.gap > tol && check.gap <= polishBelow && iterations < maxIterations;
        if (polishing) {
            // The polish computes in the data's units.
            const double room = tol - (check.gap - check.workingGap / scale);
            for (uint32_t k = 0; k < n; ++k)
                s.set.gradient[k] = s.set.gradient[k] / scale;
            const PolishOutcome polish =
                polishSupport(q, b, room > 0.0 ? 0.5 * room : 0.0, solver, x, check, checkScratch);
            polishSteps += polish.steps;
            if (!polish.lowered)
                for (uint32_t k = 0; k < n; ++k)
                    s.set.gradient[k] = s.set.gradient[k] * scale;
            if (polish.lowered) {
                // Its point checked again in working units, for the steps
                // that may follow and the asymmetry (at scale 1 the
                // polish's own check is that check, unless x was moved).
                if (keepOnTheSimplex(x, n, upper) || scale != 1.0)
                    check = checkExactly(q, b, x, scale, checkScratch, solver.path);
                if (countWhereItEnds(q, x, scale, checkScratch, tol, on, check, counted)) {
                    leaving = RunEnd::symmetrise;
                    break;
                }
                report.objective = check.objective;
                report.gap = check.gap;
                if (check.gap < bestReport.gap) {
                    for (uint32_t k = 0; k < n; ++k)
                        s.best[k] = x[k];
                    bestReport = report;
                    bestCounted = counted;
                }
                tellProgress(settings, report, iterations, x, n, CertifiedPhase::polish);
            } else {
                polishBelow = polishRetryFraction * check.gap;
            }
        }
        const bool capReached = end == StepsEnd::capReached && iterations >= maxIterations;
        if (check.gap <= tol || capReached || iterations >= maxIterations)
            break;
        // A round that neither halves the gap nor lowers the objective
        // beyond rounding ends the run (gaps that creep down by the last
        // bits are rounding too), but for a gap within lastStretch of tol
        // that it lowered: there f cannot fall beyond rounding any more,
        // and a few more rounds reach tol (as a warm restart from the
        // point would).
        const double noise = objectiveNoise * (std::fabs(bestObjective) + bestGap);
        const bool fell = bestObjective - check.objective > noise;
        if (check.gap < lowering * bestGap) {
            flat = 0;
            loweringSteps = iterations - roundStart;
        } else {
            const bool crept = check.gap < bestGap && check.gap <= lastStretch * tol;
            if (!(fell || crept) || ++flat >= flatRounds) {
                // Pair steps that stall on an ill-conditioned Q far above
                // tol (a small fit whose polish waits for a gap they do
                // not reach, rounds too short for steps that zig-zag) get
                // what a warm restart from their point would: the polish
                // at once, and rounds afresh from its point.
                if (lastResort || polishing)
                    break;
                lastResort = recheck = true;
                polishBelow = infinity();
                flat = 0;
                continue;
            }
        }
        const uint64_t least = n;
        // Each flat round that still lowered f beyond rounding doubles the
        // next one's budget: steps that zig-zag on an ill-conditioned face
        // (a small fit of low rank) lower f steadily but the gap slowly.
        roundBudget = (roundGrowth * (loweringSteps > least ? loweringSteps : least)) << (fell ? flat : 0);
        bestGap = check.gap < bestGap ? check.gap : bestGap;
        bestObjective = check.objective < bestObjective ? check.objective : bestObjective;
        if (check.workingGap <= target) {
            const double room = workingTol - (check.gap * scale - check.workingGap);
            target = room > 0.0 ? 0.5 * room : 0.5 * check.workingGap;
        }
        roundTarget = roundFraction * check.workingGap;
        activateAll(s.set, x, s.diagonal, upper, n);
    }
    if (leaving != RunEnd::answered) {
        report.iterations = iterations;
        releaseColumnCache(cache);
        releaseScratch(s);
        return leaving;
    }
    if (bestReport.gap < report.gap) {
        for (uint32_t k = 0; k < n; ++k)
            x[k] = s.best[k];
        report = bestReport;
        counted = bestCounted;
    }
    // Rounding can leave the checked point of least gap a hair above the
    // start by objective; an unconverged run then answers with the start.
    // A converged one is within tol of the least objective already.
    if (warm && !(report.gap <= tol) && report.objective > startReport.objective) {
        for (uint32_t k = 0; k < n; ++k)
            x[k] = s.start[k];
        report = startReport;
        counted = startCounted;
    }
    RunEnd end = RunEnd::answered;
    if (!counted && n > 1) {
        const ExactCheck uncounted = checkExactly(q, b, x, scale, checkScratch, solver.path);
        const ExactCheck check = countAsymmetry(q.held(q.context, 0), n, x, scale, checkScratch, uncounted);
        if (mayLeave && asymmetryMatters(check, uncounted, tol, n, scale))
            end = RunEnd::symmetrise;
        report.objective = check.objective;
        report.gap = check.gap;
    }
    report.polishSteps = polishSteps;
    report.converged = report.gap <= tol;
    report.support = supportSize(x, n);
    report.atUpperBound = boundCount(x, upper, n);
    releaseColumnCache(cache);
    releaseScratch(s);
    return end;
}

}  // namespace

// f depends on Q's symmetric part alone, and so does its minimiser. Where
// Q's asymmetry matters at tol, the run solves that part, rounded, in a
// copy of n*n doubles from the optional scratch (a refusal leaves the run
// on Q itself, with its honest, unconverged gap). Symmetric Q, and Q
// unsymmetric in the last bits, never take the copy. A source that says Q
// is symmetric (a kernel's, computed so) has nothing to count.
namespace {

void runOnSource(const QSource& q, const double* b, const CertifiedSettings& settings, const SolverSettings& solver,
                 double* x, CertifiedReport& report)
{
    const uint32_t n = q.n;
    double* S = nullptr;
    DenseMatrix symmetrised{nullptr, n};
    QSource source = q;
    RunOn on = q.symmetric ? RunOn::symmetric : RunOn::callerMayLeave;
    double largestQ = 0.0;
    for (;;) {
        const RunEnd end = runRounds(source, b, settings, solver, on, largestQ, report.iterations, x, report);
        if (end == RunEnd::answered)
            break;
        if (end == RunEnd::rescale) {
            // Q's entries span more than the diagonal, b and the start's
            // column showed: the scale from all of Q keeps finite products finite.
            largestQ = q.largestEntry(q.context, solver.path);
            continue;
        }
        // At most 512 MiB: a copy as large as Q itself, for a Q far larger,
        // could take what the host needs (the system may promise memory it
        // cannot give when it is written).
        const bool fits = n <= largestSymmetrisedOrder && static_cast<uint64_t>(n) * n <= SIZE_MAX / sizeof(double);
        S = fits ? static_cast<double*>(solver.optional.take(sizeof(double) * static_cast<size_t>(n) * n)) : nullptr;
        if (S) {
            symmetricPart(q.held(q.context, 0), n, S);
            symmetrised.Q = S;
            source = denseSource(symmetrised, true);
            on = RunOn::symmetricPart;
        } else {
            on = RunOn::caller;
        }
    }
    if (S)
        solver.optional.give(S);
}

}  // namespace

// A source that computes its columns is read through a store of whole
// columns (sources/column_store.h) where the room allows some: three
// quarters of it, the rest for the active rows' copies.
void certifiedSMO(const QSource& q, const double* b, const CertifiedSettings& settings, double* x,
                  CertifiedReport& report)
{
    report = CertifiedReport{0.0, 0.0, 0, 0.0 <= settings.tol, 0, 0, 0};
    if (q.n == 0)
        return;
    const SolverSettings solver = settings.solver ? *settings.solver : defaultSettings();
    const double room = settings.cacheBytes > 0.0 ? settings.cacheBytes
                        : q.holds                 ? cacheBytesByDefault
                                                  : computedCacheBytesByDefault;
    ColumnStore store;
    const bool storing = !q.holds && takeColumnStore(q, 0.75 * room, solver.host, store);
    CertifiedSettings run = settings;
    run.cacheBytes = storing ? 0.25 * room : room;
    runOnSource(storing ? storedColumnsSource(store) : q, b, run, solver, x, report);
    if (storing)
        releaseColumnStore(store);
}

void certifiedSMO(const double* Q, const double* b, uint32_t n, const CertifiedSettings& settings, double* x,
                  CertifiedReport& report)
{
    const DenseMatrix matrix{Q, n};
    certifiedSMO(denseSource(matrix, false), b, settings, x, report);
}
