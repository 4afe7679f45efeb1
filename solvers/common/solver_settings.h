// How a solver run may go about its work: which vector path its hot loops
// take, how it takes the host's scratch, and where it gets the scratch that
// only makes it faster. None changes an answer. The public SMO and
// multUpdate use defaultSettings(); the gateways build theirs from it once
// per call, and the tests and the benchmark pass their own.
#ifndef SIMPLEXQP_SOLVER_SETTINGS_H
#define SIMPLEXQP_SOLVER_SETTINGS_H

#include <cstddef>

#include "host_scratch.h"
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
    HostScratch host;
    OptionalScratch optional;
};

// The widest vector path the processor runs, asked here alone: the question
// can cost microseconds (on a virtual machine it traps to the hypervisor),
// so a run asks once and hands the answer down. The host's blocks straight
// from mxMalloc; optional scratch from the C library's allocator.
SolverSettings defaultSettings();

#endif
