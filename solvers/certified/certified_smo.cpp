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
// its exact gradients are where the steps begin.
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
// The gap need not fall from one check to the next (steps lower f, not the
// gap), so the run keeps the checked point of least gap and, if it ends
// unconverged at a worse one, answers with that point and its report.
//
// Why every run ends: the iteration cap bounds the steps of all rounds
// together, and a round that takes no step (the target met at once, or a
// step that rounds to no change) leaves x, and so the exact gap and
// objective, as they were; the run goes on only after a round that lowers
// one of them below every earlier value. For Q that is not positive
// semidefinite the steps still lower f (a non-convex pair moves all of the
// pivot's weight), and the run ends at a point whose gap bounds how far it
// is from satisfying the first-order conditions.
#include "certified_smo.h"

#include "certified_parts.h"
#include "column_cache.h"
#include "../common/host_scratch.h"
#include "../common/problem.h"

namespace {

// Coordinates are shrunk away this often (LIBSVM's interval, at most n).
constexpr uint32_t shrinkInterval = 1000;
// Room for copies of columns (column_cache.h).
constexpr double cacheBytes = 32.0 * 1024 * 1024;
// A pair's curvature stands at this fraction of the largest diagonal entry
// when it is not positive (of the data's magnitude, where the diagonal is
// 0), so that choices do not change when Q is scaled.
constexpr double tauFraction = 1e-12;
// Each round aims this far below the last exact gap (and no lower than the
// target), so that the exact check brings back shrunk coordinates while
// the steps still matter to the gap.
constexpr double roundFraction = 1.0 / 16;

struct Scratch {
    ActiveSet set;
    double* diagonal;
    uint32_t* columns;
    double* products;
    double* magnitudes;
    double* weights;
    double* best;   // the x of least exact gap so far
    double* start;  // the caller's starting point, kept (null for a cold start)
};

Scratch takeScratch(uint32_t n, bool warm)
{
    const size_t doubles = sizeof(double) * n;
    const size_t indices = sizeof(uint32_t) * n;
    Scratch s;
    s.set.size = 0;
    s.set.version = 1;
    s.set.index = static_cast<uint32_t*>(mxMalloc(indices));
    s.set.gradient = static_cast<double*>(mxMalloc(doubles));
    s.set.weight = static_cast<double*>(mxMalloc(doubles));
    s.set.diagonal = static_cast<double*>(mxMalloc(doubles));
    s.set.score = static_cast<double*>(mxMalloc(doubles));
    s.set.giving = static_cast<uint32_t*>(mxMalloc(indices));
    s.set.givingSlot = static_cast<uint32_t*>(mxMalloc(indices));
    s.set.givingCount = 0;
    s.diagonal = static_cast<double*>(mxMalloc(doubles));
    s.columns = static_cast<uint32_t*>(mxMalloc(indices));
    s.products = static_cast<double*>(mxMalloc(doubles));
    s.magnitudes = static_cast<double*>(mxMalloc(doubles));
    s.weights = static_cast<double*>(mxMalloc(doubles));
    s.best = static_cast<double*>(mxMalloc(doubles));
    s.start = warm ? static_cast<double*>(mxMalloc(doubles)) : nullptr;
    return s;
}

void releaseScratch(Scratch& s)
{
    if (s.start)
        mxFree(s.start);
    mxFree(s.best);
    mxFree(s.weights);
    mxFree(s.magnitudes);
    mxFree(s.products);
    mxFree(s.columns);
    mxFree(s.diagonal);
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

// The violation at the start vertex: its gradient less the smallest.
double startGap(const double* gradient, uint32_t start, uint32_t n)
{
    double least = gradient[start];
    for (uint32_t k = 0; k < n; ++k)
        least = gradient[k] < least ? gradient[k] : least;
    return gradient[start] - least;
}

// Every coordinate in the active set again, with x and the gradient in
// set.gradient (indexed by coordinate).
void activateAll(ActiveSet& set, const double* x, const double* diagonal, uint32_t n)
{
    set.size = n;
    ++set.version;
    for (uint32_t k = 0; k < n; ++k) {
        set.index[k] = k;
        set.weight[k] = x[k];
        set.diagonal[k] = diagonal[k];
    }
}

// x from the active set; coordinates outside it have weight 0.
void writeWeights(const ActiveSet& set, uint32_t n, double* x)
{
    for (uint32_t k = 0; k < n; ++k)
        x[k] = 0.0;
    for (uint32_t k = 0; k < set.size; ++k)
        x[set.index[k]] = set.weight[k];
}

uint32_t supportSize(const double* x, uint32_t n)
{
    uint32_t count = 0;
    for (uint32_t k = 0; k < n; ++k)
        count += x[k] > 0.0;
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
    certifiedSMO(Q, b, n, CertifiedSettings{tol, maxIterations, nullptr, nullptr, nullptr}, x, report);
}

void certifiedSMO(const double* Q, const double* b, uint32_t n, const CertifiedSettings& settings, double* x,
                  CertifiedReport& report)
{
    const double tol = settings.tol;
    const uint64_t maxIterations = settings.maxIterations;
    report = CertifiedReport{0.0, 0.0, 0, 0.0 <= tol, 0};
    if (n == 0)
        return;
    Scratch s = takeScratch(n, settings.start != nullptr);
    double largestDiagonal = 0.0;
    for (uint32_t k = 0; k < n; ++k) {
        s.diagonal[k] = Q[at(k, k, n)];
        const double magnitude = s.diagonal[k] < 0.0 ? -s.diagonal[k] : s.diagonal[k];
        largestDiagonal = magnitude > largestDiagonal ? magnitude : largestDiagonal;
    }
    const uint32_t shrinkEvery = n < shrinkInterval ? n : shrinkInterval;
    const uint32_t vertex = bestVertex(s.diagonal, b, n);

    // The steps and the checks work in units where the data's magnitude is
    // near 1 (certified_parts.h), the same numbers at every scale 2^k.
    const double scale = workingScale(Q, s.diagonal, b, n, vertex);
    const double tau = tauFraction * (largestDiagonal > 0.0 ? largestDiagonal * scale : 1.0);
    for (uint32_t k = 0; k < n; ++k)
        s.diagonal[k] *= scale;

    // A warm start is checked before any step, as the rounds' checks are:
    // its exact gradients are where the steps begin.
    const bool warm = settings.start != nullptr;
    double roundTarget = 0.0;
    if (warm) {
        for (uint32_t k = 0; k < n; ++k)
            s.start[k] = settings.start[k];
        for (uint32_t k = 0; k < n; ++k)
            x[k] = s.start[k];
    } else {
        for (uint32_t k = 0; k < n; ++k) {
            x[k] = k == vertex ? 1.0 : 0.0;
            // (Q e_k)_i summed as defined: 0 + Q(i,k) * 1, in working units.
            s.set.gradient[k] = Q[at(k, vertex, n)] * scale - b[k] * scale;
        }
        roundTarget = roundFraction * startGap(s.set.gradient, vertex, n);
    }
    activateAll(s.set, x, s.diagonal, n);
    ColumnCache cache = takeColumnCache(n, cacheBytes, scale);
    const CheckScratch checkScratch{s.set.gradient, s.columns, s.products, s.magnitudes, s.weights};

    const double workingTol = tol * scale;
    double target = workingTol;
    CertifiedReport bestReport{0.0, infinity(), 0, false, 0};
    CertifiedReport startReport{0.0, infinity(), 0, false, 0};
    // Whether a report's gap counts Q's asymmetry (exact_check.cpp).
    bool counted = false, bestCounted = false, startCounted = false;
    double bestGap = infinity(), bestObjective = infinity();
    uint64_t iterations = 0;
    bool stepFirst = !warm;
    for (;;) {
        StepsEnd end = StepsEnd::gapReached;
        if (stepFirst) {
            roundTarget = roundTarget > target ? roundTarget : target;
            end = takePairSteps(Q, n, s.set, cache, roundTarget, tau, shrinkEvery, maxIterations, iterations);
            writeWeights(s.set, n, x);
        }
        ExactCheck check = checkExactly(Q, b, n, x, scale, checkScratch);
        // A gap that would end the run must also bound f's own gradient,
        // which is not Qx - b where Q is not symmetric.
        counted = check.gap <= tol;
        if (counted)
            check = countAsymmetry(Q, n, x, scale, checkScratch, check);
        if (n == 1)
            check.gap = 0.0;  // x = (1), the only feasible point: g_0 - g_0 is exactly 0
        report.objective = check.objective;
        report.gap = check.gap;
        report.iterations = iterations;
        if (check.gap < bestGap) {
            for (uint32_t k = 0; k < n; ++k)
                s.best[k] = x[k];
            bestReport = report;
            bestCounted = counted;
        }
        if (!stepFirst) {
            startReport = report;
            startCounted = counted;
        }
        tellProgress(settings, report, iterations, x, n,
                     stepFirst ? CertifiedPhase::pairSteps : CertifiedPhase::start);
        stepFirst = true;
        if (check.gap <= tol || end == StepsEnd::capReached || iterations >= maxIterations)
            break;
        const bool improved = check.gap < bestGap || check.objective < bestObjective;
        if (!improved)
            break;
        bestGap = check.gap < bestGap ? check.gap : bestGap;
        bestObjective = check.objective < bestObjective ? check.objective : bestObjective;
        if (check.workingGap <= target) {
            const double room = workingTol - (check.gap * scale - check.workingGap);
            target = room > 0.0 ? 0.5 * room : 0.5 * check.workingGap;
        }
        roundTarget = roundFraction * check.workingGap;
        activateAll(s.set, x, s.diagonal, n);
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
    if (!counted && n > 1) {
        const ExactCheck check =
            countAsymmetry(Q, n, x, scale, checkScratch, checkExactly(Q, b, n, x, scale, checkScratch));
        report.objective = check.objective;
        report.gap = check.gap;
    }
    report.converged = report.gap <= tol;
    report.support = supportSize(x, n);
    releaseColumnCache(cache);
    releaseScratch(s);
}
