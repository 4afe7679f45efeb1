// certifiedSMO's polish: Newton steps on the support of x, where pair steps
// crawl (many positive weights, ill-conditioned Q).
#ifndef SIMPLEXQP_POLISH_H
#define SIMPLEXQP_POLISH_H

#include <cstdint>

#include "certified_parts.h"
#include "../common/solver_settings.h"

// The most positive weights the polish takes on (its factor is then at most
// 8 · 8192 · 8193 / 2 bytes, 256 MiB): beyond that it is not tried.
constexpr uint32_t largestPolishedSupport = 8192;

struct PolishOutcome {
    uint32_t steps;  // Newton steps taken
    bool lowered;    // the exact gap is below the one x had
};

// From x (on the simplex, within the bounds in scratch.upper if any;
// gradient its exact gradients and check its exact
// check), Newton steps on the support toward a working gap of target,
// coordinates dropped at the boundary and added where their gradient is
// below the support's. x, gradient and check then hold the point of least
// exact gap of the two: the polished one if its gap is lower, x as it was
// otherwise. Its scratch (the factor in packed form, and a few vectors of
// n; a block of twice the rows, up to n and largestPolishedSupport, when S
// outgrows it) comes from settings.optional; if the first is refused, or
// the support has more than largestPolishedSupport weights, x is left as
// it was. Q need only be convex on the simplex (polish.cpp).
// scratch is the exact check's (certified_parts.h); its gradient holds x's
// exact gradients, and the polish computes, in the data's units (scale 1).
PolishOutcome polishSupport(const QSource& q, const double* b, double target, const SolverSettings& settings,
                            double* x, ExactCheck& check, CheckScratch scratch);

#endif
