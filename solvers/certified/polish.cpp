// The polish: a primal active-set method on the support S of x.
//
// On S the answer solves Q_SS x_S - mu 1 = b_S, sum x_S = 1. From x with
// gradients g, the Newton step d on S solves
//     Q_SS d - mu 1 = -g_S,   sum d = 0,
// so with M = Q_SS + shift I factored once, u = M^-1 g_S, v = M^-1 1:
//     mu = sum u / sum v,   d = mu v - u.
// Only the Hessian on the simplex's tangent space {sum d = 0} matters, and
// there Q_SS and Q_SS + rho 11ᵀ are the same quadratic form: (Q_SS + rho
// 11ᵀ) d - mu 1 = -g_S with sum d = 0 is the system above, so its step is
// the same. Where Q_SS is refused, M takes rho 11ᵀ too: Q indefinite but
// convex on the simplex (a kernel less sigma 11ᵀ, a centred kernel, a
// shifted covariance) then polishes as its positive definite twin.
// Where x + d leaves the simplex, the step stops at the boundary and the
// coordinate that reached 0 leaves S (its row leaves the factor by a
// rank-one update); once S's gradients agree better than coordinates
// outside S undercut them, those coordinates join S (rows appended).
//
// With upper bounds, S is the weights strictly between their bounds: those
// at u stay fixed there (their columns still count in the gradients), a
// step also stops where a member reaches its bound, and a weight at its
// bound is freed (joins S) once its gradient is above S's by more than S's
// own spread, as one at 0 joins when below. Without bounds every test of
// them is skipped, and the polish takes the steps it took before.
//
// Every step's gradients are the exact ones (the products summed as the
// exact check sums them), so the next Newton step on the same S corrects
// what the shift and rounding left: iterative refinement against Q itself,
// at the cost of one product per step. The shift lets Q_SS be singular
// (duplicate columns, Q of low rank): the step is then one of the
// solutions, and the refinement converges toward the face's minimum.
//
// Everything is a fixed sequence of IEEE operations, the products on any
// vector path giving the same bits (vector_loops.h), so the polished point
// is the same on every platform.
#include "polish.h"

#include <cmath>
#include <cstring>

#include "support_factor.h"
#include "../common/problem.h"
#include "../common/vector_loops.h"

namespace {

constexpr uint32_t none = UINT32_MAX;

// Heaps of indices under a strict total order `before`, kept here rather
// than taken from <algorithm>: the order of equal elements is then ours on
// every platform, and the plug-in needs no more of the C++ library than
// the macOS builds declare. The root is the element that comes last.
template <typename Before>
void siftDown(uint32_t* heap, uint32_t size, uint32_t at, Before before)
{
    for (;;) {
        uint32_t child = 2 * at + 1;
        if (child >= size)
            return;
        if (child + 1 < size && before(heap[child], heap[child + 1]))
            ++child;
        if (!before(heap[at], heap[child]))
            return;
        const uint32_t moved = heap[at];
        heap[at] = heap[child];
        heap[child] = moved;
        at = child;
    }
}

template <typename Before>
void makeHeap(uint32_t* heap, uint32_t size, Before before)
{
    for (uint32_t at = size / 2; at-- > 0;)
        siftDown(heap, size, at, before);
}

// Leaves the `most` first elements of items[0, count) under `before` in
// items[0, most), in ascending index order.
template <typename Before>
void keepFirst(uint32_t* items, uint32_t count, uint32_t most, Before before)
{
    if (most == 0)
        return;
    makeHeap(items, most, before);
    for (uint32_t k = most; k < count; ++k) {
        if (before(items[k], items[0])) {
            items[0] = items[k];
            siftDown(items, most, 0, before);
        }
    }
    const auto ascending = [](uint32_t a, uint32_t c) { return a < c; };
    makeHeap(items, most, ascending);
    for (uint32_t end = most; end > 1; --end) {
        const uint32_t last = items[0];
        items[0] = items[end - 1];
        items[end - 1] = last;
        siftDown(items, end - 1, 0, ascending);
    }
}
// The first shift is this many units of rounding of the largest diagonal
// entry per member of S (about what the factorisation's rounding can take
// from a pivot); each refusal multiplies it by shiftGrowth, at most
// shiftTries times. Measured at the default tolerance on the benchmark's
// six families at n = 1000 to 4000: 2^-52 took 4.8 s in all, 2^-46 4.8 s,
// 2^-40 5.1 s (the refinement undoes a larger shift more slowly), and a
// shift of 1e-30 (all but none) 159 s with 7 of 18 runs unconverged:
// without it, kernel blocks that are singular in rounding give steps of
// noise that the polish cannot keep.
constexpr double firstShiftUnits = 0x1p-52;
constexpr double shiftGrowth = 0x1p10;
constexpr int shiftTries = 3;
// Where Q_SS + shift I is refused, rho is first the largest |Q(r,c)| on S
// (for a kernel P of entries in [0, 1] less sigma 11ᵀ, at least sigma where
// P nearly vanishes somewhere on S: M is then P + (rho - sigma) 11ᵀ), then
// onesGrowth times the last, at most onesTries times. Some rho always
// serves a Q positive definite on the tangent space (Finsler's lemma: Q_SS
// + rho 11ᵀ is positive definite for every rho above a bound); a larger
// one costs accuracy in the step (M's condition grows with it), which the
// refinement on exact gradients wins back, and a Q that is not convex on
// the simplex is refused at every rho, as before.
constexpr double onesGrowth = 16.0;
constexpr int onesTries = 3;
// Steps at S's minimum in a row that lower neither the working gap nor f
// before the polish gives up (drops in between are progress of their own).
constexpr uint32_t stallSteps = 3;

struct Work {
    SupportFactor factor;
    uint32_t count;       // members of S
    uint32_t* members;    // S in the factor's row order
    uint32_t* ascending;  // S in ascending order, for the products
    uint32_t* rowOf;      // n: each coordinate's row, none outside S
    uint32_t* moved;      // capacity: the members a stopped step moved, in row order
    double* u;            // capacity each
    double* v;
    double* d;
    double* spare;
    double* bestX;          // n: the polished point of least working gap
    double* startX;         // n: x as it came (after bestX)
    double* startGradient;  // n: its exact gradients (after startX)
    // n, with bounds (after startGradient; null without): Q x over the
    // weights held at their bounds, kept as they come and go, so that a
    // step's products cost S's columns alone (at large ν most of a
    // one-class answer sits at its bound).
    double* held;
    const double* upper;    // n bounds, or null
    // For a source that computes its columns (null for one that holds
    // them): four columns of n (the moved members' at S's rows, a whole
    // one for w.held), and the factor's columns (support_factor.h).
    double* columns;
    void* block;            // all of the above, from optional
    OptionalScratch optional;
    double* source;         // the source's scratch for products (CheckScratch)
};

// Whether coordinate i, outside S, is held at a positive bound.
inline bool heldAtBound(const Work& w, const double* x, uint32_t i)
{
    return w.upper && x[i] != 0.0;
}

// One block for all of it, so that the polish runs whole or not at all.
// With bounds (upper, n, or null), n doubles more for w.held.
bool takeWork(const OptionalScratch& optional, VectorPath path, uint32_t n, uint32_t capacity, const double* upper,
              bool computed, Work& w)
{
    const size_t factorDoubles = rowStart(capacity);
    const size_t nDoubles = upper ? 4 : 3;
    const size_t computedDoubles = computed ? 12 * static_cast<size_t>(n) + capacity : 0;
    const size_t doubles =
        factorDoubles + 12 * static_cast<size_t>(capacity) + nDoubles * static_cast<size_t>(n) + computedDoubles;
    const size_t indices = 3 * static_cast<size_t>(n) + capacity;
    void* const block = optional.take(sizeof(double) * doubles + sizeof(uint32_t) * indices);
    if (block == nullptr)
        return false;
    w.block = block;
    w.optional = optional;
    double* next = static_cast<double*>(block);
    w.factor.lower = next;
    next += factorDoubles;
    w.u = next;
    w.v = (next += capacity);
    w.d = (next += capacity);
    w.spare = (next += capacity);
    w.factor.interleaved = (next += capacity);
    w.bestX = (next += 8 * static_cast<size_t>(capacity));
    w.startX = (next += n);
    w.startGradient = (next += n);
    w.held = upper ? (next += n) : nullptr;
    w.upper = upper;
    next += n;
    w.columns = computed ? next : nullptr;
    w.factor.scattered = computed ? next + 4 * static_cast<size_t>(n) : nullptr;
    w.factor.compact = computed ? next + 12 * static_cast<size_t>(n) : nullptr;
    next += computedDoubles;
    uint32_t* indexNext = reinterpret_cast<uint32_t*>(next);
    w.members = indexNext;
    w.ascending = indexNext + n;
    w.rowOf = indexNext + 2 * static_cast<size_t>(n);
    w.moved = indexNext + 3 * static_cast<size_t>(n);
    w.factor.capacity = capacity;
    w.factor.path = path;
    w.factor.size = 0;
    w.factor.ones = 0.0;
    return true;
}

// More rows, once S has filled the block: a block of twice the capacity (at
// most n, and largestPolishedSupport) takes over the factor, S and the
// points kept, so that the polish goes on rather than ending for want of
// rows (digits-wide, every weight positive at the answer: its first polish
// stopped at 1339 of 1797 rows, and the second factored 1745 afresh).
// False, the block as it was, where it is as large as it may be or the
// larger one is refused.
bool growWork(uint32_t n, Work& w)
{
    const uint32_t most = n < largestPolishedSupport ? n : largestPolishedSupport;
    const uint32_t old = w.factor.capacity;
    if (old >= most)
        return false;
    Work grown;
    if (!takeWork(w.optional, w.factor.path, n, old < most / 2 ? 2 * old : most, w.upper, w.columns != nullptr,
                  grown))
        return false;
    std::memcpy(grown.factor.lower, w.factor.lower, sizeof(double) * rowStart(w.factor.size));
    std::memcpy(grown.members, w.members, sizeof(uint32_t) * n);
    std::memcpy(grown.rowOf, w.rowOf, sizeof(uint32_t) * n);
    std::memcpy(grown.bestX, w.bestX, sizeof(double) * (w.upper ? 4 : 3) * static_cast<size_t>(n));
    grown.count = w.count;
    grown.factor.size = w.factor.size;
    grown.factor.ones = w.factor.ones;
    grown.factor.shift = w.factor.shift;
    grown.source = w.source;
    w.optional.give(w.block);
    w = grown;
    return true;
}

// g = Qx - b summed as the exact check sums it (with bounds, S's terms so
// summed, then the held weights' added). A source that computes f's
// gradient itself gives it over every positive weight, without the bounds
// the exact check needs, and f plus its constant; otherwise the objective
// is left to the caller (NaN).
double exactGradients(const QSource& q, const double* b, VectorPath path, const double* x, Work& w,
                      double* products, double* gradient)
{
    const uint32_t n = q.n;
    uint32_t count = 0;
    if (q.gradients) {
        for (uint32_t k = 0; k < n; ++k) {
            w.ascending[count] = k;
            count += x[k] != 0.0;
        }
        return q.gradients(q.context, path, x, w.ascending, count, 1.0, gradient, nullptr, w.source);
    }
    for (uint32_t k = 0; k < n; ++k) {
        w.ascending[count] = k;
        count += w.rowOf[k] != none;
    }
    q.products(q.context, path, x, w.ascending, count, products, nullptr, w.source);
    if (w.upper)
        for (uint32_t i = 0; i < n; ++i)
            products[i] = products[i] + w.held[i];
    for (uint32_t i = 0; i < n; ++i)
        gradient[i] = products[i] - b[i];
    return objectiveOverSupport(b, x, products, n);
}

// w.held from scratch: the weights outside S that are not 0 (unused by a
// source that computes its gradients).
void sumHeld(const QSource& q, VectorPath path, const double* x, Work& w)
{
    uint32_t count = 0;
    for (uint32_t k = 0; k < q.n; ++k) {
        w.ascending[count] = k;
        count += w.rowOf[k] == none && heldAtBound(w, x, k);
    }
    q.products(q.context, path, x, w.ascending, count, w.held, nullptr, w.source);
}

// w.held += Q(:,i) change, as weight i comes to (or leaves) its bound.
void shiftHeld(const QSource& q, uint32_t i, double change, Work& w)
{
    if (q.gradients)
        return;
    const double* const column = wholeColumn(q, i, w.columns);
    for (uint32_t r = 0; r < q.n; ++r)
        w.held[r] = w.held[r] + column[r] * change;
}

// Q(i, j), as every other operation of the source computes it.
double entryOf(const QSource& q, uint32_t i, uint32_t j)
{
    const double* const held = q.held(q.context, j);
    if (held)
        return held[i];
    double entry;
    q.column(q.context, j, &i, 1, &entry);
    return entry;
}

// Factors Q_SS + ones 11ᵀ + shift I for S = members, the shift as small as
// the factorisation accepts among the few tried.
bool factorWithShift(const QSource& q, double ones, Work& w)
{
    double largest = 0.0;
    for (uint32_t r = 0; r < w.count; ++r) {
        const double diagonal = std::fabs(entryOf(q, w.members[r], w.members[r]) + ones);
        largest = diagonal > largest ? diagonal : largest;
    }
    double shift = (w.count * firstShiftUnits) * largest;
    for (int attempt = 0; attempt < shiftTries; ++attempt, shift *= shiftGrowth) {
        w.factor.size = 0;
        w.factor.ones = ones;
        w.factor.shift = shift;
        if (appendRows(q, w.members, w.count, w.factor))
            return true;
    }
    return false;
}

// The factor of S with rho 11ᵀ, for a Q_SS that was refused without it.
bool factorWithOnes(const QSource& q, Work& w)
{
    double ones = 0.0;
    for (uint32_t c = 0; c < w.count; ++c) {
        const double* const held = q.held(q.context, w.members[c]);
        if (!held)
            q.column(q.context, w.members[c], w.members, w.count, w.spare);
        for (uint32_t r = 0; r < w.count; ++r) {
            const double magnitude = std::fabs(held ? held[w.members[r]] : w.spare[r]);
            ones = magnitude > ones ? magnitude : ones;
        }
    }
    for (int attempt = 0; attempt < onesTries; ++attempt, ones *= onesGrowth)
        if (factorWithShift(q, ones, w))
            return true;
    return false;
}

// The factor of S: of Q_SS itself where it is accepted (so that positive
// definite problems keep their bits), with rho 11ᵀ otherwise.
bool factorAll(const QSource& q, Work& w)
{
    return factorWithShift(q, 0.0, w) || factorWithOnes(q, w);
}

// The Newton step on S into w.d; false if it is not a number.
bool newtonStep(const double* gradient, Work& w)
{
    const uint32_t m = w.count;
    // g_S less a constant gives the same d (mu takes the constant); less
    // S's middle gradient, u is of the size of the gradients' spread, not
    // of their level, and so is its rounding. Solved as it was, g_S's level
    // (the multiplier; Q's size with rho 11ᵀ, a kernel less sigma 11ᵀ) left
    // steps that stalled at gaps ten to a hundred times the PSD twin's.
    double highest = -infinity(), lowest = infinity();
    for (uint32_t r = 0; r < m; ++r) {
        const double g = gradient[w.members[r]];
        highest = g > highest ? g : highest;
        lowest = g < lowest ? g : lowest;
    }
    const double middle = 0.5 * highest + 0.5 * lowest;
    for (uint32_t r = 0; r < m; ++r) {
        w.u[r] = gradient[w.members[r]] - middle;
        w.v[r] = 1.0;
    }
    solveWithFactor(w.factor, w.u, w.v);
    double sumU = 0.0, sumV = 0.0;
    for (uint32_t r = 0; r < m; ++r) {
        sumU = sumU + w.u[r];
        sumV = sumV + w.v[r];
    }
    if (!(sumV > 0.0))
        return false;
    const double mu = sumU / sumV;
    bool numbers = mu - mu == 0.0;
    for (uint32_t r = 0; r < m; ++r) {
        w.d[r] = mu * w.v[r] - w.u[r];
        numbers = numbers && w.d[r] - w.d[r] == 0.0;
    }
    return numbers;
}

// x += alpha d with the largest alpha <= 1 that keeps 0 <= x <= u, the
// member that stops it at exactly 0 or exactly its bound. Keeps S's
// weights before the step in w.u. Returns whether a member stopped the step.
bool stepToBoundary(double* x, Work& w)
{
    const uint32_t m = w.count;
    double alpha = 1.0;
    uint32_t blocking = none;
    bool blockedAbove = false;
    for (uint32_t r = 0; r < m; ++r)
        if (w.d[r] < 0.0) {
            const double ratio = x[w.members[r]] / -w.d[r];
            if (ratio < alpha) {
                alpha = ratio;
                blocking = r;
                blockedAbove = false;
            }
        } else if (w.upper && w.d[r] > 0.0) {
            const uint32_t i = w.members[r];
            const double ratio = (w.upper[i] - x[i]) / w.d[r];
            if (ratio < alpha) {
                alpha = ratio;
                blocking = r;
                blockedAbove = true;
            }
        }
    for (uint32_t r = 0; r < m; ++r) {
        const uint32_t i = w.members[r];
        w.u[r] = x[i];
        const double moved = x[i] + alpha * w.d[r];
        x[i] = r == blocking || !(moved > 0.0) ? 0.0 : moved;
        if (w.upper && ((r == blocking && blockedAbove) || !(moved < w.upper[i])))
            x[i] = w.upper[i];
    }
    return blocking != none;
}

// g_i += sum_r Q(i, members r) (x - w.u)_r for the members i alone: what a
// step that stopped at the boundary needs for the next step on S, at the
// cost of Q_SS rather than of all n rows. Each g_i takes the terms of the
// members that moved in their row order, four columns at a time, and the
// members i are visited in ascending order, each column read forwards:
// one column and one member at a time, in row order, this was a third of
// the polish's time on realizable mixtures (n = 1000), waiting on reads.
void followOnSupport(const QSource& q, const double* x, Work& w, double* gradient)
{
    const uint32_t n = q.n;
    const uint32_t m = w.count;
    uint32_t count = 0;
    for (uint32_t r = 0; r < m; ++r) {
        const double change = x[w.members[r]] - w.u[r];
        w.moved[count] = w.members[r];
        w.d[count] = change;
        count += change != 0.0;
    }
    uint32_t* const members = w.ascending;  // free until the next products
    for (uint32_t k = 0, r = 0; k < n; ++k) {
        members[r] = k;
        r += w.rowOf[k] != none;
    }
    // A source that computes its columns gives them at S's rows alone,
    // r-th entry for members[r]: the same values, m of them rather than n.
    const bool computed = w.columns != nullptr;
    const double* c[4];
    const auto columnAt = [&](uint32_t t, uint32_t slot) {
        if (!computed)
            return q.held(q.context, w.moved[t]);
        double* const out = w.columns + static_cast<size_t>(slot) * n;
        q.column(q.context, w.moved[t], members, m, out);
        return static_cast<const double*>(out);
    };
    uint32_t t = 0;
    for (; t + 4 <= count; t += 4) {
        for (uint32_t k = 0; k < 4; ++k)
            c[k] = columnAt(t + k, k);
        const double d0 = w.d[t], d1 = w.d[t + 1], d2 = w.d[t + 2], d3 = w.d[t + 3];
        if (computed)
            for (uint32_t r = 0; r < m; ++r) {
                const uint32_t i = members[r];
                gradient[i] = (((gradient[i] + c[0][r] * d0) + c[1][r] * d1) + c[2][r] * d2) + c[3][r] * d3;
            }
        else
            for (uint32_t r = 0; r < m; ++r) {
                const uint32_t i = members[r];
                gradient[i] = (((gradient[i] + c[0][i] * d0) + c[1][i] * d1) + c[2][i] * d2) + c[3][i] * d3;
            }
    }
    for (; t < count; ++t) {
        const double* const column = columnAt(t, 0);
        const double change = w.d[t];
        for (uint32_t r = 0; r < m; ++r) {
            const uint32_t i = members[r];
            gradient[i] = gradient[i] + column[computed ? r : i] * change;
        }
    }
}

// Members whose weight is 0 (or at its bound, held from now on) leave S,
// from the last row, so that the rows still to visit keep their numbers.
void dropZeros(const QSource& q, const double* x, Work& w)
{
    for (uint32_t r = w.count; r-- > 0;) {
        const uint32_t i = w.members[r];
        if (x[i] > 0.0 && !(w.upper && !(x[i] < w.upper[i])))
            continue;
        if (x[i] > 0.0)
            shiftHeld(q, i, x[i], w);
        removeRow(w.factor, r, w.spare);
        w.rowOf[i] = none;
        for (uint32_t t = r + 1; t < w.count; ++t) {
            w.members[t - 1] = w.members[t];
            w.rowOf[w.members[t - 1]] = t - 1;
        }
        --w.count;
    }
}

// sum x = 1 again, as far as one correction of S's largest weight (the
// first among equals) can make it: d sums to 0 only up to rounding. The
// weights held at their bounds count in the sum; the corrected weight
// stays within its bounds.
void restoreSum(double* x, uint32_t n, const Work& w)
{
    double sum = 0.0;
    uint32_t largest = none;
    for (uint32_t i = 0; i < n; ++i) {
        if (w.rowOf[i] == none) {
            if (heldAtBound(w, x, i))
                sum = sum + x[i];
            continue;
        }
        sum = sum + x[i];
        if (largest == none || x[i] > x[largest])
            largest = i;
    }
    if (largest == none)
        return;
    x[largest] = x[largest] + (1.0 - sum);
    if (w.upper) {
        x[largest] = x[largest] > 0.0 ? x[largest] : 0.0;
        x[largest] = x[largest] < w.upper[largest] ? x[largest] : w.upper[largest];
    }
}

struct Spread {
    double highestIn, lowestIn;  // over S
    uint32_t lowestOut;          // the coordinate at 0 outside S of least gradient (the first), or none
    double highestHeld;          // the largest gradient of a weight held at its bound (-Inf: none)
};

// Outside S, a weight at a bound of 0 can neither give nor take.
Spread spreadOf(const double* gradient, const double* x, uint32_t n, const Work& w)
{
    Spread s{-infinity(), infinity(), none, -infinity()};
    double lowestOut = infinity();
    for (uint32_t i = 0; i < n; ++i) {
        const double g = gradient[i];
        if (w.rowOf[i] != none) {
            s.highestIn = g > s.highestIn ? g : s.highestIn;
            s.lowestIn = g < s.lowestIn ? g : s.lowestIn;
        } else if (heldAtBound(w, x, i)) {
            s.highestHeld = g > s.highestHeld ? g : s.highestHeld;
        } else if (g < lowestOut && !(w.upper && w.upper[i] == 0.0)) {
            lowestOut = g;
            s.lowestOut = i;
        }
    }
    return s;
}

// Coordinates join S one at a time at first; each time all newcomers stay
// and the step reaches S's minimum, twice as many may join next time (up to
// an eighth of S), and any refusal or drop starts again from one. Where
// every weight is positive at the answer, S then grows from what pair steps
// left to all n in a few dozen steps rather than one step per coordinate
// (all-positive family, n = 4000: 390 polish steps one at a time), while
// sparse answers, where a batch of the lowest gradients holds coordinates
// that do not belong, keep to single joins (joining an eighth of S at once
// there took runs to the cap).
constexpr uint32_t joinFraction = 8;

// The coordinates outside S at 0 whose gradient is below threshold join S
// (and, with bounds, those held at their bound whose gradient is above
// ceiling), those furthest beyond first if there are more than S can take
// now. Returns how many joined (their rows are S's last); 0 when none could.
uint32_t join(const QSource& q, const double* gradient, const double* x, double threshold, double ceiling,
              uint32_t batch, Work& w)
{
    const uint32_t n = q.n;
    const uint32_t largest = 1 + w.count / joinFraction;
    uint32_t most = batch < largest ? batch : largest;
    if (most > w.factor.capacity - w.count)
        growWork(n, w);
    uint32_t* const candidates = w.ascending;  // free until the next products
    uint32_t count = 0;
    for (uint32_t i = 0; i < n; ++i) {
        candidates[count] = i;
        if (w.upper)
            count += w.rowOf[i] == none && w.upper[i] > 0.0 &&
                     (x[i] == 0.0 ? gradient[i] < threshold : gradient[i] > ceiling);
        else
            count += w.rowOf[i] == none && gradient[i] < threshold;
    }
    const uint32_t room = w.factor.capacity - w.count;
    most = most < room ? most : room;
    if (count > most && w.upper) {
        // How far beyond, the larger first, ties to the lower index.
        const auto beyond = [gradient, x, threshold, ceiling](uint32_t a) {
            return x[a] == 0.0 ? threshold - gradient[a] : gradient[a] - ceiling;
        };
        keepFirst(candidates, count, most, [beyond](uint32_t a, uint32_t c) {
            return beyond(a) > beyond(c) || (beyond(a) == beyond(c) && a < c);
        });
        count = most;
    } else if (count > most) {
        // The lowest gradients, ties to the lower index: a total order, so
        // the choice is the same on every platform.
        keepFirst(candidates, count, most, [gradient](uint32_t a, uint32_t c) {
            return gradient[a] < gradient[c] || (gradient[a] == gradient[c] && a < c);
        });
        count = most;
    }
    const uint32_t first = w.count;
    for (uint32_t k = 0; k < count; ++k)
        w.members[first + k] = candidates[k];
    bool factored = appendRows(q, w.members, count, w.factor);
    if (!factored && w.factor.size == first && w.factor.ones == 0.0) {
        // No newcomer keeps Q_SS positive definite: S with them is factored
        // again with rho 11ᵀ. If that is refused too, the polish ends (the
        // factor is not used again).
        w.count = first + count;
        if (!factorWithOnes(q, w))
            return 0;
        w.count = first;
        factored = true;
    }
    const uint32_t rows = w.factor.size - first;  // the rows completed
    for (uint32_t k = 0; k < rows; ++k) {
        const uint32_t i = w.members[first + k];
        w.rowOf[i] = first + k;
        if (x[i] != 0.0)
            shiftHeld(q, i, -x[i], w);
    }
    w.count = w.factor.size;
    return factored || rows > 0 ? rows : 0;
}

// Removes the newcomers (S's last `joined` rows) whose step would not take
// them off their bound: not positive from 0, not negative from above.
// Returns true when none was removed (the step stands).
bool dropRefused(const QSource& q, uint32_t joined, const double* x, Work& w)
{
    bool kept = true;
    const uint32_t firstNew = w.count - joined;
    for (uint32_t r = w.count; r-- > firstNew;) {
        const uint32_t i = w.members[r];
        if (x[i] == 0.0 ? w.d[r] > 0.0 : w.d[r] < 0.0)
            continue;
        kept = false;
        if (x[i] != 0.0)
            shiftHeld(q, i, x[i], w);
        removeRow(w.factor, r, w.spare);
        w.rowOf[w.members[r]] = none;
        for (uint32_t t = r + 1; t < w.count; ++t) {
            w.members[t - 1] = w.members[t];
            w.rowOf[w.members[t - 1]] = t - 1;
        }
        --w.count;
    }
    return kept;
}

// The active-set iteration itself; leaves the point of least working gap
// in x. The gradients of all n coordinates are computed afresh only after
// a full Newton step (S's minimum, where the gap is measured and a
// coordinate may join); a step stopped by the boundary only drops a
// member, and S's own gradients follow it.
uint32_t iterate(const QSource& q, const double* b, double target, VectorPath path, uint32_t maxSteps, double* x,
                 double* gradient, double* products, Work& w)
{
    const uint32_t n = q.n;
    double bestGap = infinity(), bestObjective = infinity(), objective = infinity();
    uint32_t steps = 0, sinceBest = 0;
    bool fresh = true;  // gradient holds the exact gradients of x
    uint32_t batch = 1;  // how many may join next
    std::memcpy(w.bestX, x, sizeof(double) * n);
    for (;;) {
        uint32_t joined = 0;
        if (fresh) {
            const Spread s = spreadOf(gradient, x, n, w);
            const double lowestOut = s.lowestOut == none ? infinity() : gradient[s.lowestOut];
            const double highest = s.highestHeld > s.highestIn ? s.highestHeld : s.highestIn;
            const double gap = highest - (lowestOut < s.lowestIn ? lowestOut : s.lowestIn);
            const bool lowerGap = gap < bestGap, lowerObjective = objective < bestObjective;
            if (lowerGap) {
                bestGap = gap;
                std::memcpy(w.bestX, x, sizeof(double) * n);
            }
            bestObjective = lowerObjective ? objective : bestObjective;
            if (lowerGap || lowerObjective)
                sinceBest = 0;
            else if (++sinceBest >= stallSteps)
                break;
            if (!(gap > target))
                break;
            // Coordinates join S only once S's own gradients agree better
            // than they undercut them: before that, the Newton step on S
            // moves the multiplier more than a newcomer would.
            const double spread = s.highestIn - s.lowestIn;
            if ((lowestOut < s.lowestIn && s.lowestIn - lowestOut > spread) ||
                (s.highestHeld > s.highestIn && s.highestHeld - s.highestIn > spread)) {
                joined = join(q, gradient, x, s.lowestIn - spread, s.highestIn + spread, batch, w);
                if (joined == 0)
                    break;
            }
        }
        if (steps >= maxSteps || !newtonStep(gradient, w))
            break;
        // Newcomers the step would take weight from (S's gradients still
        // disagree too much) leave again at once, and the step is taken
        // again without them.
        bool welcome = true;
        if (joined > 0 && !(welcome = dropRefused(q, joined, x, w)) && !newtonStep(gradient, w))
            break;
        const bool stopped = stepToBoundary(x, w);
        if (joined > 0)
            batch = welcome && !stopped ? (batch < w.factor.capacity ? 2 * batch : batch) : 1;
        restoreSum(x, n, w);
        ++steps;
        fresh = !stopped;
        if (stopped)
            followOnSupport(q, x, w, gradient);
        dropZeros(q, x, w);
        if (fresh)
            objective = exactGradients(q, b, path, x, w, products, gradient);
    }
    std::memcpy(x, w.bestX, sizeof(double) * n);
    return steps;
}

}  // namespace

PolishOutcome polishSupport(const QSource& q, const double* b, double target, const SolverSettings& settings,
                            double* x, ExactCheck& check, CheckScratch scratch)
{
    const uint32_t n = q.n;
    double* const gradient = scratch.gradient;
    double* const products = scratch.products;
    const double* const upper = scratch.upper;
    // S starts as the weights strictly between their bounds.
    uint32_t support = 0;
    for (uint32_t k = 0; k < n; ++k)
        support += x[k] > 0.0 && !(upper && !(x[k] < upper[k]));
    if (support == 0 || support > largestPolishedSupport)
        return PolishOutcome{0, false};
    // Room for S to grow by half before the block must grow (growWork).
    const uint32_t room = support + support / 2 + 16;
    const uint32_t capacity = room < n ? (room < largestPolishedSupport ? room : largestPolishedSupport) : n;
    Work w;
    const bool computed = !q.holds;
    if (!takeWork(settings.optional, settings.path, n, capacity, upper, computed, w))
        return PolishOutcome{0, false};
    w.source = scratch.source;
    w.count = 0;
    for (uint32_t k = 0; k < n; ++k) {
        w.rowOf[k] = none;
        if (x[k] > 0.0 && !(upper && !(x[k] < upper[k]))) {
            w.rowOf[k] = w.count;
            w.members[w.count++] = k;
        }
    }
    PolishOutcome outcome{0, false};
    if (factorAll(q, w)) {
        std::memcpy(w.startX, x, sizeof(double) * n);
        std::memcpy(w.startGradient, gradient, sizeof(double) * n);
        if (upper && !q.gradients)
            sumHeld(q, settings.path, x, w);
        const uint32_t maxSteps = 64 + 4 * support;
        outcome.steps = iterate(q, b, target, settings.path, maxSteps, x, gradient, products, w);
        const ExactCheck polished = checkExactly(q, b, x, 1.0, scratch, settings.path);
        if (polished.gap < check.gap) {
            check = polished;
            outcome.lowered = true;
        } else {
            std::memcpy(x, w.startX, sizeof(double) * n);
            std::memcpy(gradient, w.startGradient, sizeof(double) * n);
        }
    }
    w.optional.give(w.block);
    return outcome;
}
