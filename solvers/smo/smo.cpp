// Sequential minimal optimisation over the simplex.
//
// A pass starts with every coordinate active. Each step takes the active
// coordinate of largest weight (the pivot), finds the coordinate whose
// gradient differs most from the pivot's (the partner) and moves weight
// between the two by the exact line minimum, clipped to keep both weights
// non-negative. After a pass the objective decides whether to go on.
//
// The answer is the one the plain algorithm gives, to the last bit; what
// makes it fast is where the row products come from: estimates kept current
// with rigorous error bounds (gradient_estimate.h), so that the partner
// search sums only a few rows exactly (search_point.cpp).
//
// Why the run ends: a pass after which the run goes on leaves a finite
// objective at least 1e-5 below the previous one. The objectives therefore
// fall strictly, through finitely many doubles, and the run ends, after at
// most 2 + (range of f over the weights it can reach) / 1e-5 passes; but
// that can be a very long time. With entries of huge magnitude,
// rounding-sized steps can each lower the objective by more than 1e-5; on an
// indefinite Q whose entries span a wide range the passes can converge
// linearly at a rate close to 1 (a 6-by-6 Q with entries of 1e6 and near 1
// takes 15.8 million passes, see tests/termination_tests.cpp). Those runs
// are the plain algorithm's, and keep its answers. An objective that is
// not finite (an Inf or NaN in Q, or products that overflow) ends the run at
// once: with it neither objective rule could ever stop the run, and passes
// that keep rewriting x by rounding-sized steps would go on for ever. Runs
// whose objectives are all finite are unchanged.
#include <cmath>
#include <cstring>

#include "../common/host_scratch.h"
#include "../common/matrix_facts.h"
#include "../common/problem.h"
#include "../common/products.h"
#include "../common/vector_loops.h"
#include "../simplex_qp.h"
#include "smo_parts.h"
#include "../common/solver_counts.h"

namespace {

// Exact row products at x into the estimates, and from them the objective.
double refreshAndEvaluate(const double* Q, const double* b, const double* x, SmoWork& work)
{
    work.columnCount = termsToSum(x, work.n, work.finiteQ, work.columns);
    refreshEstimate(work.estimate, work.path, Q, x, work.columns, work.columnCount);
    return objective(b, x, work.estimate.rows, work.n);
}

}  // namespace

void smoCounted(const double* Q, const double* b, uint32_t n, double* x, const SolverSettings& settings,
                SolverCounts& counts)
{
    counts = SolverCounts{};
    if (n == 0)
        return;
    SmoWork work{};
    work.n = n;
    work.path = settings.path;
    work.active = static_cast<unsigned char*>(takeFromHost(settings.host, n));
    work.columns = static_cast<uint32_t*>(takeFromHost(settings.host, sizeof(uint32_t) * n));
    work.magnitudes = static_cast<double*>(takeFromHost(settings.host, sizeof(double) * (static_cast<size_t>(n) + 1)));
    work.rows = static_cast<uint32_t*>(takeFromHost(settings.host, sizeof(uint32_t) * (static_cast<size_t>(n) + 1)));
    work.estimate.rows = static_cast<double*>(takeFromHost(settings.host, sizeof(double) * n));
    work.estimate.n = n;

    const MatrixFacts facts = examineMatrix(settings.path, Q, n);
    work.finiteQ = facts.finite;
    work.symmetric = facts.symmetric;
    work.largestB = largestMagnitudeOf(settings.path, b, n);
    work.estimate.largestQ = facts.largest;
    work.estimate.dataBounded = facts.finite && facts.largest <= 0x1p1000 && work.largestB <= 0x1p1000;

    startingPoint(b, n, x);
    refreshAndEvaluate(Q, b, x, work);
    std::memset(work.active, 1, n);
    double previousObjective = smoInitialObjective;
    bool stop = false;
    while (!stop) {
        PairBackup lastStep;
        const int updates = runPass(Q, b, x, work, lastStep);
        ++work.counts.passes;
        const double f = refreshAndEvaluate(Q, b, x, work);
        // The stopping rules, in this order.
        if (f > previousObjective) {
            // A rise undoes the pass's last pair step only.
            x[lastStep.a] = lastStep.xa;
            x[lastStep.p] = lastStep.xp;
            stop = true;
        } else if (std::fabs(f - previousObjective) < objectiveTolerance) {
            stop = true;
        }
        if (updates == 0)
            stop = true;
        if (!std::isfinite(f))
            stop = true;  // x stays as the rules above left it
        std::memset(work.active, 1, n);
        previousObjective = f;
    }
    counts = work.counts;

    mxFree(work.estimate.rows);
    mxFree(work.rows);
    mxFree(work.magnitudes);
    mxFree(work.columns);
    mxFree(work.active);
}

void SMO(const double* Q, const double* b, uint32_t n, double* x)
{
    SolverCounts counts;
    smoCounted(Q, b, n, x, defaultSettings(), counts);
}
