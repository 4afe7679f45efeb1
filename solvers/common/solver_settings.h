// How a solver run may go about its work: which vector path its hot loops
// take, and where it gets the scratch that only makes it faster. Neither
// changes an answer. The public SMO and multUpdate use defaultSettings();
// the tests and the benchmark pass their own.
#ifndef SIMPLEXQP_SOLVER_SETTINGS_H
#define SIMPLEXQP_SOLVER_SETTINGS_H

#include <cstddef>

#include "vector_path.h"

// Scratch a solver can do without. take may refuse (return null), and the
// solver then goes the way that needs none: such scratch must never make a
// call fail that the plain algorithm would finish, so it does not come from
// the host's allocator, which ends the call when it cannot give a block.
struct OptionalScratch {
    void* (*take)(size_t bytes);
    void (*give)(void* block);  // every block take gave, once
};

struct SolverSettings {
    VectorPath path;
    OptionalScratch optional;
};

// The widest vector path the processor runs; optional scratch from the C
// library's allocator.
SolverSettings defaultSettings();

#endif
