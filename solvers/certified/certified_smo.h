// certifiedSMO: the simplex-constrained QP solved to a certified tolerance.
//
// Minimises f(x) = ½·xᵀQx − bᵀx subject to 0 ≤ x ≤ u and Σx = 1 (u an
// optional upper bound on each weight, +Inf where there is none), for a dense
// column-major n-by-n Q and b of n entries, until the KKT violation of x,
// computed from exactly recomputed gradients and rounded up, is at most
// tol, or until maxIterations pair steps were taken.
// A run that ends unconverged answers with the point of least gap that
// its exact checks found. Results are reproducible to the last bit on
// every platform.
//
// The KKT violation is max over x_i > 0 of g_i minus min over x_j < u_j of g_j
// (0 where no weight is below its bound: x = u is then the only feasible point),
// g = ((Q + Q')/2) x - b, f's gradient: zero exactly at the points that
// satisfy the first-order conditions. The steps follow Qx - b, which is
// f's gradient for symmetric Q; where Q is not symmetric the gap also
// counts the difference (a last-bit asymmetry, as a kernel computed by
// matrix products has, costs about one rounding of the gap), and where
// that difference matters at tol the run solves Q's symmetric part,
// rounded, in a copy from the optional scratch (n*n doubles), the gap
// counting the rounding. For positive semidefinite Q it bounds f(x) - f*; for any
// other Q a small gap says that x satisfies the first-order conditions
// nearly (a local minimum or a saddle point of f on the simplex), nothing
// about f*.
//
// Scaling Q and b by a power of two scales the gap and objective and
// leaves x as it is, wherever the values stay normal (the pair steps and
// the checks; the polish computes in the data's units).
//
// Assumes finite Q and b and n <= 65536. With n = 0 nothing is written to
// x. Scratch through mxMalloc: 92 bytes (100 with a start, 24 more with
// bounds) per coordinate,
// plus at most 32 MiB of copies of columns; and, while the polish runs,
// its factor from the optional scratch (polish.h), which it can do
// without.
#ifndef SIMPLEXQP_CERTIFIED_SMO_H
#define SIMPLEXQP_CERTIFIED_SMO_H

#include <cstdint>

#include "../common/solver_settings.h"
#include "../sources/q_source.h"

// What a run reports besides x.
struct CertifiedReport {
    double objective;     // f(x)
    double gap;           // KKT violation of x, an upper bound on f(x) - f* where Q + Q' is positive semidefinite
    uint64_t iterations;  // pair steps taken up to x (the run may have taken more after it)
    bool converged;       // gap <= tol
    uint32_t support;     // weights of x above 0
    uint64_t polishSteps; // Newton steps of the polish (polish.h), kept or not
    uint32_t atUpperBound;  // weights of x at their bound (0 without bounds)
};

// What the run did since the exact check before, as a progress record.
enum class CertifiedPhase : uint8_t {
    start,      // nothing yet: the check of the starting point
    pairSteps,  // pair steps
    polish,     // a solve on the support
};

// One exact check's figures, handed to the caller's progress call as the
// run goes on (each check costs a pass over the support's columns, so
// there are few of them).
struct CertifiedProgress {
    uint64_t iterations;  // pair steps so far
    double gap;           // of the point just checked
    double objective;
    uint32_t support;
    CertifiedPhase phase;
};

typedef void (*CertifiedProgressCall)(void* context, const CertifiedProgress& progress);

// How a run is asked for.
struct CertifiedSettings {
    double tol;
    uint64_t maxIterations;  // pair steps before the run ends unconverged
    // Null: start from the vertex of least objective. Otherwise n weights,
    // each >= 0, summing to 1 up to rounding, which the run checks first
    // and starts from (it may be x itself). An unconverged run never
    // answers with a point of higher objective than this one; a converged
    // one is within tol of the least, for positive semidefinite Q.
    const double* start;
    CertifiedProgressCall progress;  // null: none
    void* progressContext;
    // How the run takes the host's scratch, where the polish takes its own
    // and which vector path the products take (a refusal leaves the run to
    // pair steps, with bits of their own; every path gives the same bits).
    // Null: defaultSettings().
    const SolverSettings* solver;
    // Null: no bounds. Otherwise n bounds, each >= 0 or +Inf, summing to
    // at least 1 up to rounding (a sum that falls short by rounding leaves
    // x = u, the one point the rounding allows). The start, if any, lies
    // within them. Without a start the run begins from the weights of least
    // Q(k,k)/2 - b_k filled to their bounds in that order until they sum to
    // 1. Bounds of 1 or more never bind, but are not free: a caller whose
    // bounds are all such passes null, which takes the unbounded run's
    // steps, bits and speed.
    const double* upper;
    // Bytes of copies of Q's columns the pair steps may keep (at least two
    // columns are kept, whatever it says); 0: cacheBytesByDefault.
    double cacheBytes = 0.0;
    // The exact gap below which the polish is first tried; 0: the run's
    // own, a fraction of the start's gap measured on the benchmark's
    // families (certified_smo.cpp). +Inf: from the first check.
    double polishBelow = 0.0;
};

// The copies of columns a run keeps when the caller does not say: for a
// stored Q, and for a source that computes its columns (whose whole
// columns are kept too, and cost a pass over the data each).
constexpr double cacheBytesByDefault = 32.0 * 1024 * 1024;
constexpr double computedCacheBytesByDefault = 256.0 * 1024 * 1024;

// The tolerance used when the caller gives none: (16n + 128) u M, with
// u = 2^-53 and M the larger of max |Q(r,c)| and max |b_i|, plus 4n + 16
// units of 2^-1074; close to machine precision relative to the problem's scale,
// and above the rounding allowance of the gap for every n and every scale,
// zero and subnormal data included (exact_check.cpp), so that it can be met.
// Reads all of Q once, on the path of defaultSettings().
double defaultTolerance(const double* Q, const double* b, uint32_t n);

// The same for a caller that has max |Q(r,c)| already (largestQ), from the
// pass that checked Q: only b is read, on path.
double defaultToleranceAtScale(double largestQ, const double* b, uint32_t n, VectorPath path);

// Q (n*n) and b (n) are read; x (n) is written; report is written. A gap of
// +Inf means that the gradients could not be computed (products overflow).
void certifiedSMO(const double* Q, const double* b, uint32_t n, const CertifiedSettings& settings, double* x,
                  CertifiedReport& report);

// The same for Q from any source (sources/q_source.h): q.n weights, b of
// q.n entries. A dense source gives the bits of the call above. Where the
// source computes its own gradients (q.gradients), report.objective is what
// they return, f plus the source's constant. Q not symmetric is solved only
// for a source that holds its columns (its symmetric part is then copied,
// as above); n is limited only by the scratch: about 100 bytes a weight,
// the cache of columns, and the polish's factor.
void certifiedSMO(const QSource& q, const double* b, const CertifiedSettings& settings, double* x,
                  CertifiedReport& report);

// A cold run, silent: the settings above with no start and no progress call.
void certifiedSMO(const double* Q, const double* b, uint32_t n, double tol, uint64_t maxIterations, double* x,
                  CertifiedReport& report);

// The same with the caller's settings: the polish's scratch comes from
// settings.optional (a refusal leaves the run to pair steps, with bits of
// its own), its products take settings.path (the same bits on any path).
void certifiedSMO(const double* Q, const double* b, uint32_t n, double tol, uint64_t maxIterations, double* x,
                  CertifiedReport& report, const SolverSettings& settings);

#endif
