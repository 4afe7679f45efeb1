// The pieces of certifiedSMO (certified_smo.cpp): the working set of
// coordinates its pair steps look at, the steps themselves
// (pair_steps.cpp), and the exact check of a point (exact_check.cpp).
#ifndef SIMPLEXQP_CERTIFIED_PARTS_H
#define SIMPLEXQP_CERTIFIED_PARTS_H

#include <cstdint>

// The coordinates that can still take part in a pair step, in ascending
// order of index, with what a step needs of each held side by side: reading
// them is a walk through memory, and a coordinate that is shrunk away costs
// nothing until the next exact check puts it back.
struct ActiveSet {
    uint32_t size;
    uint32_t* index;    // the coordinate at each position, ascending
    double* gradient;   // g = Qx - b, kept up to date by the steps
    double* weight;     // x
    double* diagonal;   // Q(i, i)
    uint64_t version;   // changes whenever the positions change
    // Scratch of the steps: each position's score as a partner; the
    // positions of positive weight (in no particular order) and where each
    // stands in that list.
    double* score;
    uint32_t* giving;
    uint32_t* givingSlot;
    uint32_t givingCount;
};

struct ColumnCache;

// Why a run of pair steps ended.
enum class StepsEnd {
    gapReached,  // the working gap is at most the target (or no pair can improve)
    stalled,     // the best pair's step rounds to no change of x
    capReached,  // the iteration cap
};

// Pair steps on the active set until its gap, the largest gradient of a
// positive weight minus the smallest gradient, is at most target.
// tau stands in for the curvature of pairs along which f is not convex.
// Shrinks the set after the first step and then every shrinkEvery steps. Counts steps in iterations.
// Columns come through cache (column_cache.h).
StepsEnd takePairSteps(const double* Q, uint32_t n, ActiveSet& set, ColumnCache& cache, double target, double tau,
                       uint32_t shrinkEvery, uint64_t maxIterations, uint64_t& iterations);

// What an exact check of x found.
struct ExactCheck {
    double objective;  // f(x), from the exact row products
    double gap;        // an upper bound on the KKT violation of x
    double workingGap; // the same violation from the computed gradients alone, without the bound
};

// Gradients of x summed exactly as (Qx)_i is defined (ascending k from
// +0.0, minus b_i) into gradient (n), and the rounding bound of that
// computation added to the gap. columns (n) and products, magnitudes (n)
// are scratch.
ExactCheck checkExactly(const double* Q, const double* b, uint32_t n, const double* x, double* gradient,
                        uint32_t* columns, double* products, double* magnitudes);

#endif
