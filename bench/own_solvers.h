// The project's own solvers on one benchmark problem: certifiedSMO at its
// default tolerance and at 1e-6, and simplexQP's SMO and multUpdate.
#ifndef SIMPLEXQP_BENCH_OWN_SOLVERS_H
#define SIMPLEXQP_BENCH_OWN_SOLVERS_H

#include <cstdio>
#include <string>

#include "bench_problems.h"

// Times each solver (best of `repeats`), writes its answer to answerDir and
// its record to runs; with certifiedOnly, or bounds (upper, n entries;
// empty: none), certifiedSMO's runs alone. False when an answer cannot be
// written.
bool runOwnSolvers(const BenchProblem& problem, const std::vector<double>& upper, const std::string& answerDir,
                   int repeats, FILE* runs, bool certifiedOnly = false);

#endif
