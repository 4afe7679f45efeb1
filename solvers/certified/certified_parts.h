// The pieces of certifiedSMO (certified_smo.cpp): the working set of
// coordinates its pair steps look at, the steps themselves
// (pair_steps.cpp), and the exact check of a point (exact_check.cpp).
#ifndef SIMPLEXQP_CERTIFIED_PARTS_H
#define SIMPLEXQP_CERTIFIED_PARTS_H

#include <cstdint>

#include "../common/vector_path.h"
#include "../sources/q_source.h"

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
    double* upper;      // each weight's bound; null where no weight has one
    // With bounds, by coordinate: the weight each had when it was shrunk
    // away (0 or its bound), which x keeps until it is back in the set.
    double* shrunkWeight;
    uint64_t version;   // changes whenever the positions change
    // Scratch of the steps: each position's score as a partner (and, with
    // bounds, its gradient where it can receive weight, +Inf where it is at
    // its bound); the positions of positive weight (in no particular order)
    // and where each stands in that list.
    double* score;
    double* receiving;
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
// positive weight minus the smallest gradient of a weight below its bound,
// is at most target.
// tau stands in for the curvature of pairs along which f is not convex.
// Shrinks the set after the first step and then every shrinkEvery steps. Counts steps in iterations.
// Columns come through cache (column_cache.h).
StepsEnd takePairSteps(const QSource& q, ActiveSet& set, ColumnCache& cache, double target, double tau,
                       uint32_t shrinkEvery, uint64_t maxIterations, uint64_t& iterations);

// What an exact check of x found.
struct ExactCheck {
    double objective;  // f(x), from the exact row products
    double gap;        // an upper bound on the KKT violation of x
    double workingGap; // the same violation from the computed gradients alone, without the bound, in working units
};

// Where checkExactly writes: gradient (n) receives scale (Qx - b) and
// magnitudes (n) the error bound of each; the rest is scratch: columns
// (n), products, weights (n each). upper is read: the weights' bounds (n),
// null where there are none; the check and the polish take them from here.
struct CheckScratch {
    double* gradient;
    uint32_t* columns;
    double* products;
    double* magnitudes;
    double* weights;
    // Q is not the caller's but its symmetric part rounded, 0.5 Q(i,k) +
    // 0.5 Q(k,i) to nearest (certified_smo.cpp): the gap then also counts
    // how far each entry may be from the exact one.
    bool symmetrised;
    const double* upper;
    // The source's own scratch for its products and gradients (the larger
    // of q.productScratch and q.gradientScratch doubles).
    double* source;
};

// Gradients of x summed exactly as (Qx)_i is defined (ascending k from
// +0.0, minus b_i), in working units: Q and b times scale, a power of two.
// Their rounding bound added to the violation gives the gap, in the data's
// units. Where Q is not symmetric this bounds the violation of Qx - b, not
// yet of f's gradient.
// The products take path.
// A source that computes f's gradient itself (q.gradients) gives the
// gradients and their bounds in place of the products and b, and the
// objective its f plus its constant.
ExactCheck checkExactly(const QSource& q, const double* b, const double* x, double scale, CheckScratch scratch,
                        VectorPath path);

// The check of x that checkExactly left in scratch, with the difference
// between Qx - b and f's gradient, which Q's asymmetry makes, counted in
// its gap: a bound on the violation of f itself. Reads rows of Q.
ExactCheck countAsymmetry(const double* Q, uint32_t n, const double* x, double scale, CheckScratch scratch,
                          const ExactCheck& check);

// max over i of |Q(i,k) - Q(k,i)|: how unsymmetric Q is at column k.
double largestAsymmetryAt(const double* Q, uint32_t n, uint32_t k);

// S (n*n) = 0.5 Q + 0.5 Q', each entry rounded to nearest: exactly
// symmetric, and within u of its size (plus 2^-1074) of f's own matrix.
void symmetricPart(const double* Q, uint32_t n, double* S);

// The power of two that brings Q and b near 1 (working units), so that
// the steps' scores and the check's products neither underflow nor
// overflow where the data's own values do not: 2^-e for the exponent e of
// the largest of |Q(k,k)| (in diagonal), |b_k| and |Q(k, start)| (all of Q
// if those are 0, read on path), at most 2^1023; 1 for all-zero data.
// Where largestQ, max |Q(r,c)|, is given (not 0), e is at least its
// exponent, so that no product with an entry of Q overflows.
// startColumn is Q(:, start), n entries; all of Q is read through
// q.largestEntry.
double workingScale(const QSource& q, const double* diagonal, const double* b, const double* startColumn,
                    double largestQ, VectorPath path);

// Q(:, c) whole: the source's own column where it holds one, else computed
// into buffer (n doubles).
inline const double* wholeColumn(const QSource& q, uint32_t c, double* buffer)
{
    const double* const held = q.held(q.context, c);
    if (held)
        return held;
    q.column(q.context, c, nullptr, q.n, buffer);
    return buffer;
}

#endif
