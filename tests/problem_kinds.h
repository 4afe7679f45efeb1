// Problems of every kind the solvers meet, for sweeps that compare the
// solvers with the literal transcription: the corpus kinds plus kinds that
// push the fast paths to their edges (exact ties, wide scales, asymmetry,
// indefiniteness, zero weights, numbers too large for the error bounds).
#ifndef SIMPLEXQP_TESTS_PROBLEM_KINDS_H
#define SIMPLEXQP_TESTS_PROBLEM_KINDS_H

#include <cstdint>

#include "corpus/corpus.h"

struct ProblemKind {
    const char* name;
    CorpusProblem (*make)(uint32_t n, uint64_t seed);
};

// All kinds; every one accepts any n >= 1.
const ProblemKind* problemKinds(uint32_t& count);

#endif
