// What a solver run did, for the benchmark: the entry points that fill it
// run exactly the code of SMO and multUpdate, with the settings given (the
// gateway calls them with the settings it built for its call).
#ifndef SIMPLEXQP_SOLVER_COUNTS_H
#define SIMPLEXQP_SOLVER_COUNTS_H

#include <cstdint>

#include "solver_settings.h"

struct SolverCounts {
    uint64_t passes;      // SMO passes, or multUpdate iterations
    uint64_t steps;       // SMO pair steps
    uint64_t exactRows;   // SMO rows summed exactly within steps (pivots included)
    uint64_t optionalBytes;  // most optional scratch held at once
};

void smoCounted(const double* Q, const double* b, uint32_t n, double* x, const SolverSettings& settings,
                SolverCounts& counts);
void multUpdateCounted(const double* Q, const double* b, uint32_t n, double* x, const SolverSettings& settings,
                       SolverCounts& counts);

#endif
